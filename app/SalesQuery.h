// The sales lines query with its totals, and the goods picker's search,
// without widgets. Every text the seller types travels as a bound parameter.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "store/Connection.h"
#include "store/DataSet.h"

inline constexpr const char* kSalesLinesSql =
    "SELECT id,ddbh as 订单编号,spmc as 商品名称,spbm as 商品编码,sj as 售价,jj as 进价,gmsl as 购买数量,"
    "spsx as 商品属性,bz as 备注,xssj as 登记时间 from xssp";
inline constexpr const char* kSalesTotalsSql =
    "SELECT sum(sj*gmsl) as 销售额,sum(jj*gmsl) as 进货成本,sum(sj*gmsl)-sum(jj*gmsl) as 利润,"
    "sum(gmsl) as 商品数量合计 from xssp";
inline constexpr const char* kPickerSql =
    "select top 10 id,spbm as 商品编码,spmc as 商品名称,spsx as 商品属性,spjj as 商品进价,spsj as 商品售价,"
    "spkc as 商品库存,bz as 备注 from spxx";

struct TSalesFilter {
    std::string order;  // contains-matches; blank (after trimming) adds no condition
    std::string code;
    std::string name;
    bool byDay = false;  // registration day between `from` and `to`, both included
    std::chrono::year_month_day from{};
    std::chrono::year_month_day to{};
};

// The range from the first to the last day of the month holding `day`.
void SetMonth(TSalesFilter& f, std::chrono::year_month_day day);

// "yyyy-mm-dd" with a real calendar day, or nothing.
std::optional<std::chrono::year_month_day> ParseDay(std::string_view text);
std::string DayText(std::chrono::year_month_day day);

// The filter's conditions, each " and ... " on a line of its own.
std::string SalesConditions(const TSalesFilter& f);
// The values of the conditions' parameters.
store::Params SalesFilterParams(const TSalesFilter& f);

// Fills `lines` with the sales lines and `totals` with their sums, read from
// one snapshot of the database so the totals cover exactly the lines listed.
// A row being edited in `lines` is posted first, so nothing typed is lost.
// On a store error `lines` stays closed.
void RunSalesQuery(store::Connection& c, store::DataSet& lines, store::DataSet& totals, const TSalesFilter& f);

// "共%d条记录,销售额:%s元,进货成本:%s元,利润:%s元,商品数量合计:%s件"
std::string SalesTotalsText(const store::DataSet& lines, const store::DataSet& totals);

// The picker's search: at most 10 goods whose code and name contain the
// texts, lowest stock first.
void RunPickerSearch(store::DataSet& picker, const std::string& code, const std::string& name);

// The fields the sales lines are shown with, in the order they are shown.
inline constexpr const char* kSalesShownFields[] = {"订单编号", "商品编码", "商品名称", "商品属性", "售价",
                                                    "进价",     "购买数量", "登记时间", "备注"};
