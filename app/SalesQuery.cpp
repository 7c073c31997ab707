#include "app/SalesQuery.h"

#include <cstdio>

#include "store/Value.h"

namespace {

using namespace std::chrono;

struct TTextCondition {
    const std::string TSalesFilter::*text;
    const char* fragment;
    const char* param;
};

const TTextCondition kTextConditions[] = {
    {&TSalesFilter::order, " and ddbh like :ddbh ", ":ddbh"},
    {&TSalesFilter::code, " and spbm like :spbm ", ":spbm"},
    {&TSalesFilter::name, " and spmc like :spmc ", ":spmc"},
};

// Stored times read "yyyy-mm-dd hh:mm:ss", so the days from..to are exactly
// the times from "from" up to, not including, the day after "to"; compared
// this way the index on xssj answers the range.
const char* const kDayCondition = " and xssj >= :day_from and xssj < :day_after ";

void Bind(store::DataSet& q, const TSalesFilter& f)
{
    q.ClearParams();
    for (store::Param& p : SalesFilterParams(f)) q.SetParam(p.name, std::move(p.value));
}

void OpenFiltered(store::DataSet& q, const char* base, const TSalesFilter& f)
{
    q.Close();
    q.SetSQL(std::string(base) + " where 1=1 " + SalesConditions(f));
    Bind(q, f);
    q.Open();
}

}  // namespace

void SetMonth(TSalesFilter& f, year_month_day day)
{
    f.from = day.year() / day.month() / 1;
    f.to = year_month_day{day.year() / day.month() / last};
}

std::optional<year_month_day> ParseDay(std::string_view t)
{
    if (t.size() != 10 || t[4] != '-' || t[7] != '-') return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
    auto num = [&](size_t at, size_t n) { return std::stoi(std::string(t.substr(at, n))); };
    year_month_day d{year{num(0, 4)}, month{static_cast<unsigned>(num(5, 2))}, day{static_cast<unsigned>(num(8, 2))}};
    if (!d.ok()) return std::nullopt;
    return d;
}

std::string DayText(year_month_day d)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return buf;
}

std::string SalesConditions(const TSalesFilter& f)
{
    std::string sql;
    for (const TTextCondition& c : kTextConditions)
        if (!store::Trim(f.*c.text).empty()) sql += std::string("\n") + c.fragment;
    if (f.byDay) sql += std::string("\n") + kDayCondition;
    return sql;
}

store::Params SalesFilterParams(const TSalesFilter& f)
{
    store::Params p;
    for (const TTextCondition& c : kTextConditions) {
        std::string t = store::Trim(f.*c.text);
        if (!t.empty()) p.push_back({c.param, "%" + t + "%"});
    }
    if (f.byDay) {
        p.push_back({":day_from", DayText(f.from)});
        p.push_back({":day_after", DayText(year_month_day{sys_days{f.to} + days{1}})});
    }
    return p;
}

void RunSalesQuery(store::Connection& c, store::DataSet& lines, store::DataSet& totals, const TSalesFilter& f)
{
    lines.PostPending();
    store::ReadSnapshot snapshot(c);
    try {
        OpenFiltered(lines, kSalesLinesSql, f);
        OpenFiltered(totals, kSalesTotalsSql, f);
    } catch (...) {
        lines.Close();
        throw;
    }
}

namespace {

// A sum of money as a count of ten-thousandths; the store's sum() is exact
// to that unit, so reading it back this way loses nothing.
std::optional<std::int64_t> MoneyUnits(const store::DataSet& totals, int field)
{
    if (!totals.Active() || totals.RecordCount() == 0) return std::nullopt;
    store::Value v = totals.GetValue(0, field);
    if (auto* i = std::get_if<std::int64_t>(&v)) return *i * store::kCurrencyScale;
    if (auto* d = std::get_if<double>(&v)) return store::CurrencyUnits(*d);
    return std::nullopt;
}

std::string MoneyField(std::optional<std::int64_t> units) { return units ? store::MoneyText(*units) : std::string(); }

}  // namespace

std::string SalesTotalsText(const store::DataSet& lines, const store::DataSet& totals)
{
    auto revenue = MoneyUnits(totals, 0), cost = MoneyUnits(totals, 1);
    // The profit is taken from the two exact sums, not from a difference of
    // binary numbers (which printed -57.9700000000003 for -57.97).
    std::optional<std::int64_t> profit;
    if (revenue && cost) profit = *revenue - *cost;
    std::string quantity = totals.Active() && totals.RecordCount() > 0 ? totals.Text(0, 3) : std::string();
    return "共" + std::to_string(lines.RecordCount()) + "条记录,销售额:" + MoneyField(revenue) +
           "元,进货成本:" + MoneyField(cost) + "元,利润:" + MoneyField(profit) + "元,商品数量合计:" + quantity + "件";
}

void RunPickerSearch(store::DataSet& picker, const std::string& code, const std::string& name)
{
    picker.Close();
    picker.SetSQL(std::string(kPickerSql) + " where spbm like :code  and spmc like :name order by spkc ");
    picker.ClearParams();
    picker.SetParam(":code", "%" + code + "%");
    picker.SetParam(":name", "%" + name + "%");
    picker.Open();
}
