// Times the sales query with its totals over a large sales table, filtered to
// the current month as the window starts, against the sqlite3 shell running the
// same two selects on the same file; checks that the day condition is answered
// by the index on xssp(xssj); and times saving a 50-line order.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/SalesOrder.h"
#include "app/SalesQuery.h"
#include "store/Connection.h"
#include "store/DataSet.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono;

double Ms(Clock::time_point from) { return duration<double, std::milli>(Clock::now() - from).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

year_month_day Today()
{
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
           day{static_cast<unsigned>(local.tm_mday)};
}

// `lines` sales lines spread evenly over the twelve months ending with the
// current one, at all times of day, and 1000 goods.
void MakeDatabase(int lines, year_month_day today)
{
    store::Connection::CreateDatabase("ledgr.mdb");
    store::Connection c;
    year_month_day first = year_month_day{today.year() / today.month() / 1} - months{11};
    year_month_day end{today.year() / today.month() / last};
    auto spanDays = (sys_days{end} - sys_days{first}).count() + 1;
    store::Transaction t(c);
    c.Execute("insert into spxx(spbm, spmc, spsx, spjj, spsj, spkc) "
              "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000) "
              "select printf('SP%04d', i), '商品' || i, 'L码', 12.5, 19.99, 1000000 from n");
    c.Execute("insert into xssp(ddbh, spmc, spbm, spsx, bz, sj, jj, gmsl, xssj) "
              "with recursive n(i) as (select 1 union all select i + 1 from n where i < :lines) "
              "select printf('TB%09d', i / 2), '商品' || (i % 1000), printf('SP%04d', i % 1000), 'L码', '', "
              "19.99, 12.5, 1 + i % 3, strftime('%Y-%m-%d %H:%M:%S', :first, '+' || (i % :span) || ' days', "
              "'+' || ((i * 7919) % 86400) || ' seconds') from n",
              {{":lines", std::int64_t(lines)}, {":first", DayText(first)}, {":span", std::int64_t(spanDays)}});
    t.Commit();
}

// The two selects as the store runs them, with the filter's values written in.
std::string ShellSql(const TSalesFilter& f)
{
    std::string after = DayText(year_month_day{sys_days{f.to} + days{1}});
    std::string where = " where 1=1 and xssj >= '" + DayText(f.from) + "' and xssj < '" + after + "'";
    return std::string(kSalesLinesSql) + where + ";\n" + kSalesTotalsSql + where + ";\n";
}

bool UsesDayIndex(store::Connection& c, const char* base, const TSalesFilter& f)
{
    store::DataSet plan(c);
    plan.SetSQL("explain query plan " + std::string(base) + " where 1=1 " + SalesConditions(f));
    plan.Open();
    bool found = false;
    for (int r = 0; r < plan.RecordCount(); ++r) {
        std::string detail = plan.Text(r, plan.FieldCount() - 1);
        std::cout << "  plan: " << detail << "\n";
        found = found || detail.find("(xssj>? AND xssj<?)") != std::string::npos;
    }
    return found;
}

double QueryOnce(const TSalesFilter& f, std::string& totals, int& count)
{
    auto t0 = Clock::now();
    store::Connection c;
    store::DataSet lines(c), sums(c);
    RunSalesQuery(c, lines, sums, f);
    totals = SalesTotalsText(lines, sums);
    count = lines.RecordCount();
    return Ms(t0);
}

double ShellOnce()
{
    auto t0 = Clock::now();
    if (std::system("sqlite3 ledgr.mdb < bench_sales.sql > /dev/null") != 0) throw std::runtime_error("sqlite3 failed");
    return Ms(t0);
}

std::vector<double> SaveOrders(int rounds)
{
    store::Connection c;
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        TSalesOrder order;
        for (int i = 0; i < 50; ++i) {
            TOrderLine l;
            l.cells = {std::to_string(1 + (r * 50 + i) % 1000), "商品", "19.99", "12.5", "2", "L码", "SP", ""};
            order.AddLine(l);
        }
        auto t0 = Clock::now();
        order.Save(c, "BENCH-" + std::to_string(r));
        times.push_back(Ms(t0));
    }
    return times;
}

}  // namespace

int main(int argc, char** argv)
{
    int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    char tmpl[] = "/tmp/bench-sales-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::filesystem::current_path(tmpl);
    year_month_day today = Today();
    auto t0 = Clock::now();
    MakeDatabase(lines, today);
    std::printf("database: %d sales lines in %.0f ms (%s)\n", lines, Ms(t0), tmpl);

    TSalesFilter f;
    f.byDay = true;
    SetMonth(f, today);
    std::ofstream(std::string("bench_sales.sql")) << ShellSql(f);
    store::Connection c;
    bool indexed = UsesDayIndex(c, kSalesLinesSql, f) && UsesDayIndex(c, kSalesTotalsSql, f);
    c.Close();

    std::vector<double> ours, shell;
    std::string totals;
    int count = 0;
    for (int round = 0; round < 7; ++round) {  // alternate, so both see the same cache
        shell.push_back(ShellOnce());
        ours.push_back(QueryOnce(f, totals, count));
    }
    double ratio = Median(ours) / Median(shell);
    std::printf("month %s..%s: %d lines, %s\n", DayText(f.from).c_str(), DayText(f.to).c_str(), count, totals.c_str());
    std::printf("sales query with totals: median %.1f ms (best %.1f); sqlite3 shell: median %.1f ms (best %.1f); "
                "ratio %.2f (goal < 2)\n",
                Median(ours), *std::min_element(ours.begin(), ours.end()), Median(shell),
                *std::min_element(shell.begin(), shell.end()), ratio);
    std::printf("day condition uses the index on xssj: %s\n", indexed ? "yes" : "NO");

    std::vector<double> saves = SaveOrders(21);
    std::printf("saving a 50-line order: median %.2f ms, worst %.2f ms (goal < 50 ms)\n", Median(saves),
                *std::max_element(saves.begin(), saves.end()));
    std::filesystem::current_path("/");
    std::filesystem::remove_all(tmpl);
    return indexed && ratio < 2 ? 0 : 1;
}
