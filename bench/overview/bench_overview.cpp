// Times the overview at a large shop's size: 100,000 goods and 1,000,000 sales
// lines over the twelve months up to today. Measures loading its figures for
// each span, the window's reload with the chart drawn, and the memory this
// takes, next to the sqlite3 shell running the same selects on the same file.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QPixmap>
#include <QSignalBlocker>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Overview.h"
#include "app/OverviewChart.h"
#include "app/overviewwindow.h"
#include "store/Connection.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono;

double Ms(Clock::time_point from) { return duration<double, std::milli>(Clock::now() - from).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// CPU time used so far by this process or by its finished children: on a
// machine shared with other work it varies far less than wall time.
double CpuMs(int who)
{
    rusage u{};
    getrusage(who, &u);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

// Resident and peak memory of this process, in MB.
double MemoryMb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atof(line.c_str() + std::string(key).size()) / 1024.0;
    return 0;
}

void MakeDatabase(int goods, int lines, year_month_day today)
{
    store::Connection::CreateDatabase("ledgr.mdb");
    store::Connection c;
    store::Transaction t(c);
    c.Execute("insert into spxx(spbm, spmc, spsx, spjj, spsj, spkc) "
              "with recursive n(i) as (select 1 union all select i + 1 from n where i < :goods) "
              "select printf('SP%06d', i), '商品' || i, 'L码', 1 + (i % 5000) / 100.0, "
              "round((1 + (i % 5000) / 100.0) * 1.35, 2), i % 400 from n",
              {{":goods", std::int64_t(goods)}});
    std::string first = DayText(year_month_day{sys_days{today} - days{364}});
    c.Execute("insert into xssp(ddbh, spmc, spbm, spsx, bz, sj, jj, gmsl, xssj) "
              "with recursive n(i) as (select 1 union all select i + 1 from n where i < :lines) "
              "select printf('TB%09d', i / 2), '商品' || (i * 7919 % :goods), printf('SP%06d', i * 7919 "
              "% :goods), "
              "'L码', '', 19.99 + (i % 7), 12.51 + (i % 5), 1 + i % 3, "
              "strftime('%Y-%m-%d %H:%M:%S', :first, '+' || (i * 365 / :lines) || ' days', "
              "'+' || ((i * 7919) % 86400) || ' seconds') from n",
              {{":lines", std::int64_t(lines)}, {":goods", std::int64_t(goods)}, {":first", first}});
    t.Commit();
    c.Execute("analyze");
}

// The selects LoadOverview runs, with the values written in, for the shell.
std::string ShellSql(const TSpanRange& r, year_month_day today)
{
    const std::string sums = "sum(cast(round(sj*gmsl*10000) as integer)) as revenue, sum(cast(round(jj*gmsl*10000) as "
                             "integer)) as cost, "
                             "sum(gmsl) as qty, count(distinct ddbh), count(*)";
    auto days = [](year_month_day from, year_month_day to) {
        return " xssj >= '" + DayText(from) + "' and xssj < '" +
               DayText(year_month_day{sys_days{to} + std::chrono::days{1}}) + "'";
    };
    std::string sql;
    for (const TCard& c : Cards(today)) sql += "select " + sums + " from xssp where" + days(c.from, c.to) + ";\n";
    sql += "select " + sums + " from xssp where" + days(r.from, r.to) + ";\n";
    // The series: one select per day (or month), as the overview runs it.
    year_month_day d = r.monthly ? r.from.year() / r.from.month() / 1 : r.from;
    while (d <= r.to) {
        auto next = r.monthly ? d + months{1} : year_month_day{sys_days{d} + std::chrono::days{1}};
        auto last = std::min(year_month_day{sys_days{next} - std::chrono::days{1}}, r.to);
        sql += "select " + sums + " from xssp where" + days(d, last) + ";\n";
        d = next;
    }
    std::string goods = "with g as materialized (select spbm, max(spmc) as spmc, " + sums + " from xssp where" +
                        days(r.from, r.to) + " and spbm is not null group by spbm) ";
    sql += goods + "select 0, * from (select * from g order by revenue - cost desc, qty desc, spbm limit "
                   "10) union all "
                   "select 1, * from (select * from g order by qty desc, revenue - cost desc, spbm limit "
                   "10);\n";
    sql += "select id, spbm, spmc, spsx, spkc from spxx where spkc <= 5 order by spkc, spbm limit "
           "500;\n";
    return sql;
}

double ShellOnce(const std::string& file)
{
    auto t0 = Clock::now();
    if (std::system(("sqlite3 ledgr.mdb < " + file + " > /dev/null").c_str()) != 0)
        throw std::runtime_error("sqlite3 failed");
    return Ms(t0);
}

const char* SpanName(TSpan s) { return s == TSpan::Days30 ? "30 days" : s == TSpan::Days90 ? "90 days" : "12 months"; }

}  // namespace

int main(int argc, char** argv)
{
    int goods = argc > 1 ? std::atoi(argv[1]) : 100000;
    int lines = argc > 2 ? std::atoi(argv[2]) : 1000000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/bench-overview-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::filesystem::current_path(tmpl);
    year_month_day today = LocalToday();
    auto t0 = Clock::now();
    MakeDatabase(goods, lines, today);
    std::printf("database: %d goods, %d sales lines in %.0f ms (%s)\n", goods, lines, Ms(t0), tmpl);

    bool fast = true;
    std::ofstream("/proc/self/clear_refs") << "5";  // peak memory counts from here
    double base = MemoryMb("VmRSS:");
    store::Connection c;
    for (TSpan span : {TSpan::Days30, TSpan::Days90, TSpan::Months12}) {
        TSpanRange r = SpanRange(span, today);
        std::ofstream("overview.sql") << ShellSql(r, today);
        std::vector<double> ours, shell, oursCpu, shellCpu;
        TOverview o;
        for (int round = 0; round < 3; ++round) {  // alternate, so both see the same cache
            double c0 = CpuMs(RUSAGE_CHILDREN);
            shell.push_back(ShellOnce("overview.sql"));
            shellCpu.push_back(CpuMs(RUSAGE_CHILDREN) - c0);
            auto t1 = Clock::now();
            double c1 = CpuMs(RUSAGE_SELF);
            o = LoadOverview(c, r, today, 5);
            oursCpu.push_back(CpuMs(RUSAGE_SELF) - c1);
            ours.push_back(Ms(t1));
        }
        std::printf("figures, %-9s: median %6.1f ms wall, %6.1f ms CPU; sqlite3 shell %6.1f ms wall, %6.1f "
                    "ms CPU; "
                    "ratio %.2f (CPU %.2f); revenue %s, %zu points\n",
                    SpanName(span), Median(ours), Median(oursCpu), Median(shell), Median(shellCpu),
                    Median(ours) / Median(shell), Median(oursCpu) / Median(shellCpu),
                    MoneyText(o.total.revenue).c_str(), o.series.size());
    }

    TOverviewWindow w;
    w.resize(1280, 800);
    w.show();
    // Opening (30 days) and each span change. "Window busy" is how long the
    // window's own thread is held (the seller can click and type again after
    // it); "shown" runs until the figures are read and the chart is drawn.
    const char* steps[] = {"open, 30 days", "change to 90 days", "change to 12 months"};
    std::vector<double> busy[3], shown[3];
    for (int round = 0; round < 3; ++round) {
        for (int span : {0, 1, 2}) {
            auto t1 = Clock::now();
            if (span == 0) {
                QSignalBlocker quiet(w.SpanBox);
                w.SpanBox->setCurrentIndex(0);
                w.Reload();
            } else {
                w.SpanBox->setCurrentIndex(span);  // reloads
            }
            w.grab();  // the window drawn with "正在统计…"
            busy[span].push_back(Ms(t1));
            w.WaitUntilLoaded();
            w.grab();
            shown[span].push_back(Ms(t1));
        }
    }
    for (int span : {0, 1, 2}) {
        fast = fast && Median(busy[span]) < 200;
        std::printf("window %-20s: window busy median %7.1f ms (goal < 200 ms), figures shown after %7.1f ms\n",
                    steps[span], Median(busy[span]), Median(shown[span]));
    }
    double peak = MemoryMb("VmHWM:");
    std::printf("memory: resident before the overview %.1f MB, peak %.1f MB, beyond the program's own %.1f "
                "MB "
                "(goal < 100 MB)\n",
                base, peak, peak - base);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(tmpl);
    return fast && peak - base < 100 ? 0 : 1;
}
