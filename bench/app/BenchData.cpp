#include "bench/app/BenchData.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "store/Connection.h"

void MakeShopDatabase(const std::string& file, int goods, int sales)
{
    if (std::filesystem::exists(file)) return;
    store::Connection::CreateDatabase(file);
    store::Connection c(file);
    store::Transaction t(c);
    c.Execute("insert into spxx(spbm, spmc, spsx, spjj, spsj, spkc, bz) "
              "with recursive n(i) as (select 1 union all select i + 1 from n where i < :goods) "
              "select printf('SP%06d', i), '商品' || (i % 500) || '号 纯棉短袖', 'L码', 10 + (i % 90) * 0.5, "
              "20 + (i % 90) * 0.75, i % 200, case when i % 3 = 0 then '夏季' else '' end from n",
              {{":goods", std::int64_t(goods)}});
    c.Execute(
        "insert into xssp(ddbh, spmc, spbm, spsx, bz, sj, jj, gmsl, xssj) "
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < :sales) "
        "select printf('D%09d', i / 2), '商品' || (i % 500) || '号', printf('SP%06d', i % 1000), 'L码', '', "
        "19.99, 12.5, 1 + i % 3, strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime', '-' || (i % 400) || ' days') from n",
        {{":sales", std::int64_t(sales)}});
    t.Commit();
}

double Seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double TimeCommand(const std::string& command)
{
    auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
    return Seconds(t0);
}
