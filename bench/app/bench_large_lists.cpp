// The two lists a seller opens over the whole of a large shop: the sales
// query with the day range unticked (lines and totals) and the goods
// window's full list, each up to its first screen of rows as a grid reads
// them, over 100,000 goods and 1,000,000 sales lines. Each is timed against
// the sqlite3 shell running the same statements on the same file (the key
// list, the first block of rows, the totals), and the memory the program
// grows by is read from /proc, also after the seller returns to the month.
// Run build/bin/bench_large_lists [database file].
#include <sys/resource.h>

#include <QApplication>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/DataControls.h"
#include "app/GoodsQuery.h"
#include "app/SalesQuery.h"
#include "bench/app/BenchData.h"

namespace {

using namespace std::chrono;

double ResidentMB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// CPU seconds (user and system) of this process or of its finished children:
// on a machine shared with other work, wall time says more about the others.
double CpuMs(int who)
{
    rusage u{};
    getrusage(who, &u);
    auto ms = [](timeval t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

// What a grid asks for to paint its first screen.
void ReadFirstScreen(const TDataSetModel& model)
{
    for (int r = 0; r < std::min(30, model.rowCount()); ++r)
        for (int c = 0; c < model.columnCount(); ++c) (void)model.data(model.index(r, c), Qt::DisplayRole);
}

double ShellMs(const std::string& file, const std::string& sql, std::vector<double>* cpu = nullptr)
{
    std::ofstream("bench_large_lists.sql") << sql;
    double c0 = CpuMs(RUSAGE_CHILDREN);
    double ms = TimeCommand("sqlite3 " + file + " < bench_large_lists.sql > /dev/null") * 1000;
    if (cpu) cpu->push_back(CpuMs(RUSAGE_CHILDREN) - c0);
    return ms;
}

std::string FirstBlock(const std::string& list, const std::string& table, const std::string& keys)
{
    return "select id," + list + " from " + table + " where id in (" + keys + " limit 200);\n";
}

const char* const kSalesList =
    "ddbh as 订单编号,spmc as 商品名称,spbm as 商品编码,sj as 售价,jj as 进价,gmsl as 购买数量,"
    "spsx as 商品属性,bz as 备注,xssj as 登记时间";
const char* const kGoodsList =
    "spbm as 商品编码,spmc as 商品名称,spsx as 商品属性,spjj as 商品进价,spsj as 商品售价,spkc as "
    "商品库存,bz as 备注";

struct Figures {
    std::vector<double> ours, shell, whole, oursCpu, shellCpu;
    double grewMB = 0;
    std::string text;
};

void Report(const char* what, const Figures& f, double goalMs)
{
    double ours = Median(f.ours), shell = Median(f.shell);
    std::printf("%s: ours %.1f ms (goal < %.0f), sqlite3 shell same statements %.1f ms, ratio %.2f; "
                "CPU ours %.1f ms, shell %.1f ms, ratio %.2f; shell listing every row %.1f ms; "
                "memory grew %.1f MB (goal < 60)\n  %s\n",
                what, ours, goalMs, shell, ours / shell, Median(f.oursCpu), Median(f.shellCpu),
                Median(f.oursCpu) / Median(f.shellCpu), Median(f.whole), f.grewMB, f.text.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string file = argc > 1 ? argv[1] : "/tmp/tallybrook-bench-large.mdb";
    MakeShopDatabase(file, 100000, 1000000);
    store::Connection c(file);
    store::DataSet lines(c), totals(c), goods(c);
    TDataSetModel linesModel(lines), goodsModel(goods);
    const std::string salesKeys = "select id from xssp where 1=1  order by id";
    const std::string salesShell =
        salesKeys + ";\n" + FirstBlock(kSalesList, "xssp", salesKeys) + kSalesTotalsSql + " where 1=1 ;\n";
    const std::string goodsKeys =
        "select id from spxx where spbm like '%%'  and spmc like '%%' and bz like '%%' order by "
        "+spkc , id";
    const std::string goodsShell = goodsKeys + ";\n" + FirstBlock(kGoodsList, "spxx", goodsKeys);
    TSalesFilter all, month;
    month.byDay = true;
    SetMonth(month, year_month_day{floor<days>(system_clock::now())});

    Figures sales, list;
    const double start = ResidentMB();
    for (int round = 0; round < 7; ++round) {  // alternate, so both see the same cache
        sales.shell.push_back(ShellMs(file, salesShell, &sales.shellCpu));
        auto t0 = steady_clock::now();
        double c0 = CpuMs(RUSAGE_SELF);
        RunSalesQuery(c, lines, totals, all);
        sales.text = SalesTotalsText(lines, totals);
        ReadFirstScreen(linesModel);
        sales.ours.push_back(Seconds(t0) * 1000);
        sales.oursCpu.push_back(CpuMs(RUSAGE_SELF) - c0);
        if (round == 0) sales.grewMB = ResidentMB() - start;
        RunSalesQuery(c, lines, totals, month);
        sales.whole.push_back(ShellMs(file, std::string(kSalesLinesSql) + " where 1=1 ;\n"));
    }
    const double afterMonth = ResidentMB();
    // Where the sales query's time goes: the totals alone, the key list alone.
    std::vector<double> sumsCpu, keysCpu;
    for (int round = 0; round < 7; ++round) {
        double c0 = CpuMs(RUSAGE_SELF);
        totals.Close();
        totals.SetSQL(std::string(kSalesTotalsSql) + " where 1=1 ");
        totals.ClearParams();
        totals.Open();
        double c1 = CpuMs(RUSAGE_SELF);
        store::Statement keys(c, salesKeys);
        while (keys.Step()) {
        }
        sumsCpu.push_back(c1 - c0);
        keysCpu.push_back(CpuMs(RUSAGE_SELF) - c1);
    }
    for (int round = 0; round < 7; ++round) {
        list.shell.push_back(ShellMs(file, goodsShell, &list.shellCpu));
        auto t0 = steady_clock::now();
        double c0 = CpuMs(RUSAGE_SELF);
        RunGoodsSearch(goods, {});
        list.text = GoodsCounterText(goods).toStdString();
        ReadFirstScreen(goodsModel);
        list.ours.push_back(Seconds(t0) * 1000);
        list.oursCpu.push_back(CpuMs(RUSAGE_SELF) - c0);
        if (round == 0) list.grewMB = ResidentMB() - afterMonth;
        list.whole.push_back(ShellMs(file, std::string("select ") + kGoodsList + " from spxx order by spkc;\n"));
    }
    Report("sales query, no day range, first screen and totals", sales, 300);
    std::printf("  of which the totals select %.1f ms CPU, the key list %.1f ms CPU\n", Median(sumsCpu),
                Median(keysCpu));
    Report("goods window, full list, first screen", list, 150);
    std::printf("back at the month view: %.1f MB above the start (%d lines listed)\n", afterMonth - start,
                lines.RecordCount());
    std::remove("bench_large_lists.sql");
    return 0;
}
