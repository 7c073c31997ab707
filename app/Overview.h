// The business at a glance, without widgets: figures over a span of days, the
// daily or monthly series, the best sellers and the goods running out.
//
// Every sum is taken by the store over the stored sales lines, one line's
// amount rounded to ten-thousandths of a yuan exactly as the sales query's
// sum() rounds it, and added as integers, so the figures equal the sales
// query's totals line for the same days.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/SalesQuery.h"
#include "store/Connection.h"

// Money in ten-thousandths of a yuan (store::kCurrencyScale).
struct TFigures {
    std::int64_t revenue = 0;
    std::int64_t cost = 0;
    std::int64_t quantity = 0;
    std::int64_t orders = 0;  // distinct order numbers
    std::int64_t lines = 0;
    std::int64_t Profit() const { return revenue - cost; }
    bool operator==(const TFigures&) const = default;
};

struct TSeriesPoint {
    std::chrono::year_month_day day;  // the first day of the month in a monthly series
    TFigures figures;
};

struct TBestSeller {
    std::string code;
    std::string name;
    TFigures figures;
};

struct TLowStock {
    std::int64_t id = 0;
    std::string code;
    std::string name;
    std::string attribute;
    std::int64_t stock = 0;
};

enum class TSpan { Days30, Days90, Months12 };
enum class TRankBy { Profit, Quantity };

struct TSpanRange {
    std::chrono::year_month_day from;
    std::chrono::year_month_day to;
    bool monthly = false;
};

// 30 or 90 days ending today, or the twelve months ending with today's month.
TSpanRange SpanRange(TSpan span, std::chrono::year_month_day today);

// The four cards: today, the last 7 days, this month so far, the last 30 days.
struct TCard {
    const char* title;
    std::chrono::year_month_day from;
    std::chrono::year_month_day to;
};
std::vector<TCard> Cards(std::chrono::year_month_day today);

// Figures of the lines the filter finds (the sales query's filter).
TFigures SalesFigures(store::Connection& c, const TSalesFilter& f);
TFigures SalesFigures(store::Connection& c, std::chrono::year_month_day from, std::chrono::year_month_day to);

// One point per day (or month) of the range, days without sales as zero.
std::vector<TSeriesPoint> SalesSeries(store::Connection& c, const TSpanRange& range);

// The `limit` goods of the range with the highest profit or quantity, ties by code.
std::vector<TBestSeller> BestSellers(store::Connection& c, std::chrono::year_month_day from,
                                     std::chrono::year_month_day to, TRankBy by, int limit = 10);

// Both rankings from one grouping of the range's lines.
struct TBestSellerLists {
    std::vector<TBestSeller> byProfit;
    std::vector<TBestSeller> byQuantity;
};
TBestSellerLists BestSellerLists(store::Connection& c, std::chrono::year_month_day from, std::chrono::year_month_day to,
                                 int limit = 10);

// Goods whose stock is at or below `threshold`, lowest first, at most `limit`.
std::vector<TLowStock> LowStock(store::Connection& c, std::int64_t threshold, int limit = 500);

struct TOverview {
    std::chrono::year_month_day today;
    TSpanRange range;
    std::vector<TFigures> cards;  // in the order of Cards()
    TFigures total;               // over the whole range
    std::vector<TSeriesPoint> series;
    std::vector<TBestSeller> byProfit;
    std::vector<TBestSeller> byQuantity;
    std::vector<TLowStock> lowStock;
};

// Everything the window shows, read from one snapshot of the database.
TOverview LoadOverview(store::Connection& c, const TSpanRange& range, std::chrono::year_month_day today,
                       std::int64_t threshold);

// The overview as tab-separated text: the cards, the series and the best sellers.
std::string OverviewReport(const TOverview& o);

// Exact decimal text of a money amount: at least two decimals, more only when
// they are not zero ("1234.50", "0.1235", "-3.00").
std::string MoneyText(std::int64_t units);

// The five figures as shown everywhere, in the order of their titles.
inline constexpr const char* kFigureTitles[] = {"销售额", "进货成本", "利润", "商品数量", "订单数"};
std::vector<std::string> FigureTexts(const TFigures& f);

// True when the database holds at least one sales line.
bool HasSales(store::Connection& c);

std::chrono::year_month_day LocalToday();
