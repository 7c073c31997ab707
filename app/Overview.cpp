#include "app/Overview.h"

#include <algorithm>
#include <ctime>

#include "store/Value.h"

namespace {

using namespace std::chrono;

// Each line's amount rounded to ten-thousandths as the sales query's sum()
// rounds it, then added as integers: exact however many lines there are.
const char* const kSums = "sum(cast(round(sj*gmsl*10000) as integer)) as revenue, sum(cast(round(jj*gmsl*10000) as "
                          "integer)) as cost, "
                          "sum(gmsl) as qty, count(distinct ddbh), count(*)";
// Stored times read "yyyy-mm-dd hh:mm:ss": a range of days is a range of
// texts, answered by the index on xssj.
const char* const kDays = " xssj >= :day_from and xssj < :day_after ";

std::int64_t Int(const store::Statement& st, int col)
{
    store::Value v = st.Column(col);
    if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
    if (auto* d = std::get_if<double>(&v)) return static_cast<std::int64_t>(*d);
    return 0;
}

std::string Text(const store::Statement& st, int col) { return store::ValueText(st.Column(col)); }

// The five sums starting at column `at`.
TFigures ReadFigures(const store::Statement& st, int at)
{
    return {Int(st, at), Int(st, at + 1), Int(st, at + 2), Int(st, at + 3), Int(st, at + 4)};
}

store::Params DayParams(year_month_day from, year_month_day to)
{
    return {{":day_from", DayText(from)}, {":day_after", DayText(year_month_day{sys_days{to} + days{1}})}};
}

year_month_day FirstOfMonth(year_month_day d) { return d.year() / d.month() / 1; }

}  // namespace

TSpanRange SpanRange(TSpan span, year_month_day today)
{
    switch (span) {
    case TSpan::Days30: return {year_month_day{sys_days{today} - days{29}}, today, false};
    case TSpan::Days90: return {year_month_day{sys_days{today} - days{89}}, today, false};
    case TSpan::Months12: break;
    }
    return {FirstOfMonth(today) - months{11}, today, true};
}

std::vector<TCard> Cards(year_month_day today)
{
    sys_days t{today};
    return {{"今天", today, today},
            {"近7天", year_month_day{t - days{6}}, today},
            {"本月", FirstOfMonth(today), today},
            {"近30天", year_month_day{t - days{29}}, today}};
}

TFigures SalesFigures(store::Connection& c, const TSalesFilter& f)
{
    store::Statement st(c, std::string("select ") + kSums + " from xssp where 1=1 " + SalesConditions(f));
    st.Bind(SalesFilterParams(f));
    return st.Step() ? ReadFigures(st, 0) : TFigures{};
}

TFigures SalesFigures(store::Connection& c, year_month_day from, year_month_day to)
{
    store::Statement st(c, std::string("select ") + kSums + " from xssp where " + kDays);
    st.Bind(DayParams(from, to));
    return st.Step() ? ReadFigures(st, 0) : TFigures{};
}

// One range select per day (or month), the statement prepared once: each
// reads its stretch of the covering index in order, where a single select
// grouped by day would sort every line of the span first.
std::vector<TSeriesPoint> SalesSeries(store::Connection& c, const TSpanRange& range)
{
    store::Statement st(c, std::string("select ") + kSums + " from xssp where " + kDays);
    std::vector<TSeriesPoint> out;
    year_month_day d = range.monthly ? FirstOfMonth(range.from) : range.from;
    while (d <= range.to) {
        year_month_day next = range.monthly ? d + months{1} : year_month_day{sys_days{d} + days{1}};
        year_month_day last{sys_days{next} - days{1}};
        st.Reset();
        st.Bind(DayParams(d, std::min(last, range.to)));
        out.push_back({d, st.Step() ? ReadFigures(st, 0) : TFigures{}});
        d = next;
    }
    return out;
}

namespace {

// The goods of the range with their sums, grouped once; both rankings are
// taken from that one grouping.
const char* const kGoodsSums = "with g as materialized (select spbm, max(spmc) as spmc, {sums} from xssp where {days} "
                               "and spbm is not null group by spbm) ";

std::string Ranked(const char* order)
{
    return std::string("select * from (select * from g order by ") + order + ", spbm limit :limit)";
}

std::string WithSums(std::string sql)
{
    auto put = [&](const std::string& key, const std::string& text) { sql.replace(sql.find(key), key.size(), text); };
    put("{sums}", kSums);
    put("{days}", kDays);
    return sql;
}

}  // namespace

TBestSellerLists BestSellerLists(store::Connection& c, year_month_day from, year_month_day to, int limit)
{
    std::string sql = WithSums(kGoodsSums) + "select 0, * from " + "(" + Ranked("revenue - cost desc, qty desc") +
                      ") union all select 1, * from (" + Ranked("qty desc, revenue - cost desc") + ")";
    store::Statement st(c, sql);
    store::Params p = DayParams(from, to);
    p.push_back({":limit", std::int64_t{limit}});
    st.Bind(p);
    TBestSellerLists out;
    while (st.Step())
        (Int(st, 0) == 0 ? out.byProfit : out.byQuantity).push_back({Text(st, 1), Text(st, 2), ReadFigures(st, 3)});
    return out;
}

std::vector<TBestSeller> BestSellers(store::Connection& c, year_month_day from, year_month_day to, TRankBy by,
                                     int limit)
{
    TBestSellerLists lists = BestSellerLists(c, from, to, limit);
    return by == TRankBy::Profit ? lists.byProfit : lists.byQuantity;
}

std::vector<TLowStock> LowStock(store::Connection& c, std::int64_t threshold, int limit)
{
    store::Statement st(c, "select id, spbm, spmc, spsx, spkc from spxx where spkc <= :t order by "
                           "spkc, spbm limit :n");
    st.Bind({{":t", threshold}, {":n", std::int64_t{limit}}});
    std::vector<TLowStock> out;
    while (st.Step()) out.push_back({Int(st, 0), Text(st, 1), Text(st, 2), Text(st, 3), Int(st, 4)});
    return out;
}

TOverview LoadOverview(store::Connection& c, const TSpanRange& range, year_month_day today, std::int64_t threshold)
{
    store::ReadSnapshot snapshot(c);
    TOverview o;
    o.today = today;
    o.range = range;
    for (const TCard& card : Cards(today)) o.cards.push_back(SalesFigures(c, card.from, card.to));
    o.total = SalesFigures(c, range.from, range.to);
    o.series = SalesSeries(c, o.range);
    TBestSellerLists best = BestSellerLists(c, o.range.from, o.range.to);
    o.byProfit = std::move(best.byProfit);
    o.byQuantity = std::move(best.byQuantity);
    o.lowStock = LowStock(c, threshold);
    return o;
}

std::string MoneyText(std::int64_t units)
{
    bool negative = units < 0;
    std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    auto scale = static_cast<std::uint64_t>(store::kCurrencyScale);
    std::string frac = std::to_string(u % scale + scale).substr(1);  // four digits
    while (frac.size() > 2 && frac.back() == '0') frac.pop_back();
    return (negative ? "-" : "") + std::to_string(u / scale) + "." + frac;
}

std::vector<std::string> FigureTexts(const TFigures& f)
{
    return {MoneyText(f.revenue), MoneyText(f.cost), MoneyText(f.Profit()), std::to_string(f.quantity),
            std::to_string(f.orders)};
}

namespace {

// Codes and names may hold tabs and line breaks; escaped, a row stays one line.
std::string Cell(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        if (ch == '\t')
            out += "\\t";
        else if (ch == '\n')
            out += "\\n";
        else if (ch == '\r')
            out += "\\r";
        else if (ch == '\\')
            out += "\\\\";
        else
            out += ch;
    }
    return out;
}

std::string Row(std::vector<std::string> cells, const TFigures& f)
{
    for (std::string& t : FigureTexts(f)) cells.push_back(std::move(t));
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) line += (i ? "\t" : "") + cells[i];
    return line + "\n";
}

std::string Header(std::vector<std::string> cells)
{
    for (const char* t : kFigureTitles) cells.emplace_back(t);
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) line += (i ? "\t" : "") + cells[i];
    return line + "\n";
}

std::string BestSellerRows(const char* title, const std::vector<TBestSeller>& list)
{
    std::string out = Header({title, "商品编码", "商品名称"});
    for (size_t i = 0; i < list.size(); ++i)
        out += Row({std::to_string(i + 1), Cell(list[i].code), Cell(list[i].name)}, list[i].figures);
    return out;
}

}  // namespace

std::string OverviewReport(const TOverview& o)
{
    std::string out = Header({"概况", "起", "止"});
    std::vector<TCard> cards = Cards(o.today);
    for (size_t i = 0; i < cards.size() && i < o.cards.size(); ++i)
        out += Row({cards[i].title, DayText(cards[i].from), DayText(cards[i].to)}, o.cards[i]);
    out += Row({"所选期间", DayText(o.range.from), DayText(o.range.to)}, o.total);
    out += "\n" + Header({o.range.monthly ? "月份" : "日期"});
    for (const TSeriesPoint& p : o.series) out += Row({DayText(p.day).substr(0, o.range.monthly ? 7 : 10)}, p.figures);
    out += "\n" + BestSellerRows("利润前10", o.byProfit);
    out += "\n" + BestSellerRows("销量前10", o.byQuantity);
    return out;
}

bool HasSales(store::Connection& c)
{
    store::Statement st(c, "select exists(select 1 from xssp)");
    return st.Step() && Int(st, 0) != 0;
}

year_month_day LocalToday()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
           day{static_cast<unsigned>(local.tm_mday)};
}
