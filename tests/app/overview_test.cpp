// The overview's figures: exact, equal to the sales query's totals, with
// empty days as zero, best sellers ranked and the low-stock list.
#include "app/Overview.h"

#include <random>

#include "store/Value.h"
#include "tests/app/AppFixture.h"

using namespace std::chrono;

class OverviewTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        conn.Open();
    }
    void TearDown() override
    {
        lines.Close();
        totals.Close();
        conn.Close();
        AppTest::TearDown();
    }
    void Sale(const std::string& order, const std::string& code, double sale, double cost, int qty,
              const std::string& when)
    {
        conn.Execute("insert into xssp(ddbh, spbm, spmc, sj, jj, gmsl, xssj) values (:o, :c, :n, :s, :j, "
                     ":q, :t)",
                     {{":o", order},
                      {":c", code},
                      {":n", "商品" + code},
                      {":s", sale},
                      {":j", cost},
                      {":q", std::int64_t(qty)},
                      {":t", when}});
    }
    // The four figures of the sales query's totals line, as exact units.
    std::vector<std::int64_t> QueryTotals(const TSalesFilter& f)
    {
        RunSalesQuery(conn, lines, totals, f);
        std::vector<std::int64_t> out;
        for (int i = 0; i < 4; ++i) out.push_back(store::ParseCurrency(totals.Text(0, i)).value_or(0));
        return out;
    }
    static std::vector<std::int64_t> Units(const TFigures& f)
    {
        return {f.revenue, f.cost, f.Profit(), f.quantity * store::kCurrencyScale};
    }
    static TSalesFilter Days(const char* from, const char* to)
    {
        TSalesFilter f;
        f.byDay = true;
        f.from = *ParseDay(from);
        f.to = *ParseDay(to);
        return f;
    }

    store::Connection conn;
    store::DataSet lines{conn};
    store::DataSet totals{conn};
};

TEST_F(OverviewTest, figures_equal_the_sales_query_totals_for_spans_and_filters)
{
    std::mt19937 rng(7);
    const double prices[] = {19.99, 0.01, 3.3333, 129.5, 7.05, 0.1, 99999.99};
    store::Transaction t(conn);
    for (int i = 0; i < 3000; ++i) {
        int day = 1 + static_cast<int>(rng() % 60);
        std::string when =
            DayText(year_month_day{sys_days{2024y / 3 / 1} + days{day - 1}}) + " 23:59:5" + std::to_string(rng() % 10);
        Sale("D" + std::to_string(rng() % 900), "G" + std::to_string(rng() % 40), prices[rng() % 7], prices[rng() % 7],
             1 + static_cast<int>(rng() % 5), when);
    }
    t.Commit();
    std::vector<TSalesFilter> filters = {Days("2024-03-01", "2024-03-01"),
                                         Days("2024-03-01", "2024-03-31"),
                                         Days("2024-03-15", "2024-04-29"),
                                         Days("2025-01-01", "2025-01-31"),
                                         {}};
    TSalesFilter code = Days("2024-03-01", "2024-04-30");
    code.code = "G1";
    TSalesFilter order;
    order.order = " D12 ";
    filters.push_back(code);
    filters.push_back(order);
    for (const TSalesFilter& f : filters) {
        TFigures mine = SalesFigures(conn, f);
        EXPECT_EQ(Units(mine), QueryTotals(f)) << SalesTotalsText(lines, totals);
        EXPECT_EQ(mine.lines, lines.RecordCount());
        if (f.byDay && f.order.empty() && f.code.empty()) EXPECT_EQ(SalesFigures(conn, f.from, f.to), mine);
    }
}

TEST_F(OverviewTest, a_million_lines_at_19_99_add_up_to_the_cent)
{
    conn.Execute("with recursive c(x) as (select 1 union all select x + 1 from c where x < 1000000) "
                 "insert into xssp(ddbh, sj, jj, gmsl, xssj) "
                 "select 'o' || (x / 1000), 19.99, 12.01, 1, '2024-05-31 12:00:00' from c");
    TFigures f = SalesFigures(conn, 2024y / 5 / 31, 2024y / 5 / 31);
    EXPECT_EQ(MoneyText(f.revenue), "19990000.00");
    EXPECT_EQ(MoneyText(f.cost), "12010000.00");
    EXPECT_EQ(MoneyText(f.Profit()), "7980000.00");
    EXPECT_EQ(f.quantity, 1000000);
    EXPECT_EQ(f.orders, 1001);
    EXPECT_EQ(Units(f), QueryTotals(Days("2024-05-31", "2024-05-31")));
}

TEST_F(OverviewTest, days_without_sales_are_zero_points_of_the_series)
{
    Sale("a", "X", 10, 4, 2, "2024-02-28 09:00:00");
    Sale("b", "X", 5.5, 1, 1, "2024-03-01 18:00:00");
    std::vector<TSeriesPoint> s = SalesSeries(conn, {2024y / 2 / 28, 2024y / 3 / 1, false});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(DayText(s[1].day), "2024-02-29");
    EXPECT_EQ(s[1].figures, TFigures{});
    EXPECT_EQ(MoneyText(s[0].figures.revenue), "20.00");
    EXPECT_EQ(MoneyText(s[2].figures.Profit()), "4.50");
    EXPECT_EQ(s[2].figures.orders, 1);
}

TEST_F(OverviewTest, twelve_months_give_one_point_per_month_ending_with_this_month)
{
    Sale("a", "X", 1, 0, 3, "2023-05-31 23:00:00");
    Sale("b", "X", 1, 0, 1, "2024-04-02 08:00:00");
    TSpanRange r = SpanRange(TSpan::Months12, 2024y / 4 / 15);
    EXPECT_EQ(DayText(r.from), "2023-05-01");
    std::vector<TSeriesPoint> s = SalesSeries(conn, r);
    ASSERT_EQ(s.size(), 12u);
    EXPECT_EQ(s.front().figures.quantity, 3);
    EXPECT_EQ(DayText(s.back().day), "2024-04-01");
    EXPECT_EQ(s.back().figures.quantity, 1);
    EXPECT_EQ(SpanRange(TSpan::Days30, 2024y / 3 / 1).from, 2024y / 2 / 1);
}

TEST_F(OverviewTest, cards_cover_today_seven_days_this_month_and_thirty_days)
{
    std::vector<TCard> c = Cards(2024y / 3 / 3);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(std::string(c[0].title), "今天");
    EXPECT_EQ(DayText(c[1].from), "2024-02-26");
    EXPECT_EQ(DayText(c[2].from), "2024-03-01");
    EXPECT_EQ(DayText(c[3].from), "2024-02-03");
    for (const TCard& card : c) EXPECT_EQ(card.to, 2024y / 3 / 3);
}

TEST_F(OverviewTest, best_sellers_rank_by_profit_and_by_quantity)
{
    Sale("1", "A", 100, 10, 1, "2024-03-02 10:00:00");  // profit 90, quantity 1
    Sale("2", "B", 2, 1, 50, "2024-03-02 10:00:00");    // profit 50, quantity 50
    Sale("3", "B", 2, 1, 10, "2024-03-03 10:00:00");    // B: profit 60, quantity 60
    Sale("4", "C", 5, 5, 70, "2024-02-01 10:00:00");    // outside the days
    for (int i = 0; i < 12; ++i) Sale("x", "Z" + std::to_string(i), 1, 0.5, 1, "2024-03-02 11:00:00");
    auto byProfit = BestSellers(conn, 2024y / 3 / 1, 2024y / 3 / 31, TRankBy::Profit);
    ASSERT_EQ(byProfit.size(), 10u);
    EXPECT_EQ(byProfit[0].code, "A");
    EXPECT_EQ(byProfit[1].code, "B");
    EXPECT_EQ(MoneyText(byProfit[1].figures.Profit()), "60.00");
    EXPECT_EQ(byProfit[1].name, "商品B");
    auto byQuantity = BestSellers(conn, 2024y / 3 / 1, 2024y / 3 / 31, TRankBy::Quantity, 3);
    ASSERT_EQ(byQuantity.size(), 3u);
    EXPECT_EQ(byQuantity[0].code, "B");
    EXPECT_EQ(byQuantity[0].figures.quantity, 60);
    EXPECT_EQ(byQuantity[1].code, "A");  // quantity ties broken by profit
}

TEST_F(OverviewTest, the_low_stock_list_follows_the_stock)
{
    conn.Execute("insert into spxx(spbm, spmc, spkc) values ('A', 'a', 9), ('B', 'b', 5), ('C', 'c', 0)");
    auto list = LowStock(conn, 5);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].code, "C");
    EXPECT_EQ(list[1].code, "B");
    conn.Execute("update spxx set spkc = 4 where spbm = 'A'");
    conn.Execute("update spxx set spkc = 6 where spbm = 'B'");
    list = LowStock(conn, 5);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].code, "A");
    EXPECT_EQ(list[1].stock, 4);
    EXPECT_EQ(LowStock(conn, 9).size(), 3u);
}

TEST_F(OverviewTest, money_text_is_exact_decimal)
{
    EXPECT_EQ(MoneyText(0), "0.00");
    EXPECT_EQ(MoneyText(123450000), "12345.00");
    EXPECT_EQ(MoneyText(199900), "19.99");
    EXPECT_EQ(MoneyText(1235), "0.1235");
    EXPECT_EQ(MoneyText(1230), "0.123");
    EXPECT_EQ(MoneyText(-30000), "-3.00");
    EXPECT_EQ(MoneyText(-1), "-0.0001");
}

TEST_F(OverviewTest, the_report_prints_cards_days_and_best_sellers_tab_separated)
{
    Sale("a", "X", 19.99, 10, 2, "2024-03-02 10:00:00");
    TOverview o = LoadOverview(conn, {2024y / 3 / 1, 2024y / 3 / 3, false}, 2024y / 3 / 3, 5);
    std::string r = OverviewReport(o);
    EXPECT_NE(r.find("概况\t起\t止\t销售额\t进货成本\t利润\t商品数量\t订单数\n"), std::string::npos) << r;
    EXPECT_NE(r.find("今天\t2024-03-03\t2024-03-03\t0.00\t0.00\t0.00\t0\t0\n"), std::string::npos) << r;
    EXPECT_NE(r.find("所选期间\t2024-03-01\t2024-03-03\t39.98\t20.00\t19.98\t2\t1\n"), std::string::npos) << r;
    EXPECT_NE(r.find("2024-03-01\t0.00\t0.00\t0.00\t0\t0\n2024-03-02\t39.98\t"), std::string::npos) << r;
    EXPECT_NE(r.find("利润前10\t商品编码\t商品名称\t销售额"), std::string::npos) << r;
    EXPECT_NE(r.find("1\tX\t商品X\t39.98\t20.00\t19.98\t2\t1\n"), std::string::npos) << r;
}
