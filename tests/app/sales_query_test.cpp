// The sales query, its totals and the picker search, without windows.
#include "app/SalesQuery.h"
#include "store/SqlTranslate.h"
#include "store/Value.h"
#include "tests/app/AppFixture.h"

using namespace std::chrono;

class SalesQueryTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        conn.Open();
    }
    void TearDown() override
    {
        store::Connection::SetStepFault(nullptr);
        lines.Close();
        totals.Close();
        conn.Close();
        AppTest::TearDown();
    }
    void Sale(const char* order, const char* code, const char* name, const char* sale, const char* cost, int qty,
              const char* when)
    {
        conn.Execute("insert into xssp(ddbh, spbm, spmc, sj, jj, gmsl, xssj) values (:o, :c, :n, :s, :j, :q, :t)",
                     {{":o", std::string(order)},
                      {":c", std::string(code)},
                      {":n", std::string(name)},
                      {":s", std::stod(sale)},
                      {":j", std::stod(cost)},
                      {":q", std::int64_t(qty)},
                      {":t", std::string(when)}});
    }
    std::string Run(const TSalesFilter& f)
    {
        RunSalesQuery(conn, lines, totals, f);
        return SalesTotalsText(lines, totals);
    }
    static TSalesFilter Days(const char* from, const char* to)
    {
        TSalesFilter f;
        f.byDay = true;
        f.from = *ParseDay(from);
        f.to = *ParseDay(to);
        return f;
    }
    std::vector<std::string> Orders()
    {
        std::vector<std::string> out;
        for (int r = 0; r < lines.RecordCount(); ++r) out.push_back(lines.Text(r, lines.FieldIndex("订单编号")));
        return out;
    }

    store::Connection conn;
    store::DataSet lines{conn};
    store::DataSet totals{conn};
};

TEST_F(SalesQueryTest, no_filter_lists_every_line_with_the_fields_in_order_and_totals_over_all)
{
    Sale("A-1", "X1", "红色T恤", "35.5", "20", 2, "2024-03-01 10:00:00");
    Sale("B-2", "Y2", "帽子", "9.9", "3.25", 1, "2023-12-31 23:00:00");
    Sql("insert into xssp(ddbh) values ('空行')");  // null code, name, prices and quantity
    EXPECT_EQ(Run({}), "共3条记录,销售额:80.9元,进货成本:43.25元,利润:37.65元,商品数量合计:3件");
    const char* fields[] = {"id",   "订单编号", "商品名称", "商品编码", "售价",
                            "进价", "购买数量", "商品属性", "备注",     "登记时间"};
    ASSERT_EQ(lines.FieldCount(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(lines.FieldName(i), fields[i]);
    ASSERT_EQ(totals.FieldCount(), 4);
    EXPECT_EQ(totals.FieldName(2), "利润");
}

TEST_F(SalesQueryTest, blank_boxes_add_no_condition_and_spaces_around_a_text_are_ignored)
{
    Sale("TB-1001", "X1", "红色T恤", "1", "1", 1, "2024-03-01 10:00:00");
    Sale("TB-2002", "Y2", "蓝色帽子", "1", "1", 1, "2024-03-01 10:00:00");
    Sql("insert into xssp(ddbh) values ('TB-3003')");
    TSalesFilter f;
    f.order = "   ";
    f.code = "\t";
    Run(f);
    EXPECT_EQ(lines.RecordCount(), 3);
    f.order = "  1001 ";
    Run(f);
    EXPECT_EQ(Orders(), std::vector<std::string>{"TB-1001"});
    f = {};
    f.name = " 帽 ";
    Run(f);
    EXPECT_EQ(Orders(), std::vector<std::string>{"TB-2002"});
    f = {};
    f.code = "x";  // contains-match, as the store compares letters
    f.name = "T恤";
    Run(f);
    EXPECT_EQ(Orders(), std::vector<std::string>{"TB-1001"});
}

TEST_F(SalesQueryTest, quotes_and_sql_in_a_box_are_searched_as_text)
{
    Sale("他说\"好\"", "X'1", "a", "1", "1", 1, "2024-03-01 10:00:00");
    Sale("plain", "X2", "b", "1", "1", 1, "2024-03-01 10:00:00");
    TSalesFilter f;
    f.order = "\"";
    Run(f);
    EXPECT_EQ(Orders(), std::vector<std::string>{"他说\"好\""});
    f = {};
    f.code = "'";
    Run(f);
    EXPECT_EQ(lines.RecordCount(), 1);
    f = {};
    f.order = "\" or 1=1 or \"";
    Run(f);
    EXPECT_EQ(lines.RecordCount(), 0);
}

TEST_F(SalesQueryTest, the_day_range_includes_its_first_and_last_day_whatever_the_time)
{
    Sale("before", "", "", "1", "1", 1, "2024-02-29 23:59:59");
    Sale("first", "", "", "1", "1", 1, "2024-03-01 00:00:00");
    Sale("middle", "", "", "1", "1", 1, "2024-03-15 12:00:00");
    Sale("last-noon", "", "", "1", "1", 1, "2024-03-31 12:00:00");
    Sale("last", "", "", "1", "1", 1, "2024-03-31 23:59:59");
    Sale("after", "", "", "1", "1", 1, "2024-04-01 00:00:00");
    Run(Days("2024-03-01", "2024-03-31"));
    std::vector<std::string> expected{"first", "middle", "last-noon", "last"};
    EXPECT_EQ(Orders(), expected);
    EXPECT_EQ(SalesTotalsText(lines, totals), "共4条记录,销售额:4元,进货成本:4元,利润:0元,商品数量合计:4件");
    Run(Days("2024-03-31", "2024-03-31"));
    EXPECT_EQ(Orders(), (std::vector<std::string>{"last-noon", "last"}));
    Run(Days("2024-04-01", "2024-03-01"));
    EXPECT_TRUE(Orders().empty());
}

TEST_F(SalesQueryTest, the_day_range_across_a_year_end_and_month_of_any_day)
{
    Sale("dec", "", "", "1", "1", 1, "2023-12-31 23:59:59");
    Sale("jan", "", "", "1", "1", 1, "2024-01-01 00:00:01");
    Run(Days("2023-12-31", "2023-12-31"));
    EXPECT_EQ(Orders(), std::vector<std::string>{"dec"});
    TSalesFilter f;
    SetMonth(f, *ParseDay("2024-02-17"));
    EXPECT_EQ(DayText(f.from), "2024-02-01");
    EXPECT_EQ(DayText(f.to), "2024-02-29");
    SetMonth(f, *ParseDay("2023-12-31"));
    EXPECT_EQ(DayText(f.to), "2023-12-31");
}

TEST_F(SalesQueryTest, no_matching_line_leaves_the_values_empty)
{
    Sale("a", "", "", "1", "1", 1, "2024-03-01 10:00:00");
    TSalesFilter f;
    f.order = "none";
    EXPECT_EQ(Run(f), "共0条记录,销售额:元,进货成本:元,利润:元,商品数量合计:件");
}

TEST_F(SalesQueryTest, totals_equal_a_recomputation_over_the_listed_lines)
{
    const char* prices[] = {"19.99", "0.1", "0.2", "33.3333", "1234.5678", "0.0001", "7"};
    store::Transaction t(conn);
    for (int i = 0; i < 300; ++i)
        Sale(i % 3 ? "keep" : "drop", "", "", prices[i % 7], prices[(i + 3) % 7], 1 + i % 5, "2024-03-01 10:00:00");
    t.Commit();
    TSalesFilter f;
    f.order = "keep";
    Run(f);
    std::int64_t revenue = 0, cost = 0, quantity = 0;
    for (int r = 0; r < lines.RecordCount(); ++r) {
        std::int64_t q = *store::ParseInteger(lines.Text(r, 6));
        revenue += *store::ParseCurrency(lines.Text(r, 4)) * q;
        cost += *store::ParseCurrency(lines.Text(r, 5)) * q;
        quantity += q;
    }
    EXPECT_EQ(lines.RecordCount(), 200);
    EXPECT_EQ(*store::ParseCurrency(totals.Text(0, 0)), revenue);
    EXPECT_EQ(*store::ParseCurrency(totals.Text(0, 1)), cost);
    EXPECT_EQ(*store::ParseCurrency(totals.Text(0, 2)), revenue - cost);
    EXPECT_EQ(*store::ParseInteger(totals.Text(0, 3)), quantity);
}

TEST_F(SalesQueryTest, a_million_lines_at_19_99_total_exactly_19990000)
{
    conn.Execute("insert into xssp(ddbh, sj, jj, gmsl, xssj) with recursive c(x) as (select 1 union all "
                 "select x + 1 from c where x < 1000000) select 'o', 19.99, 9.99, 1, '2024-05-31 23:59:59' from c");
    EXPECT_EQ(Run(Days("2024-05-31", "2024-05-31")),
              "共1000000条记录,销售额:19990000元,进货成本:9990000元,利润:10000000元,商品数量合计:1000000件");
}

TEST_F(SalesQueryTest, the_day_condition_is_answered_by_the_index_on_the_registration_time)
{
    TSalesFilter f = Days("2024-03-01", "2024-03-31");
    f.order = "x";
    f.name = "y";
    for (const char* base : {kSalesLinesSql, kSalesTotalsSql}) {
        store::DataSet plan(conn);
        plan.SetSQL("explain query plan " + std::string(base) + " where 1=1 " + SalesConditions(f));
        plan.Open();
        std::string details;
        for (int r = 0; r < plan.RecordCount(); ++r) details += plan.Text(r, plan.FieldCount() - 1) + "\n";
        EXPECT_NE(details.find("INDEX xssp_"), std::string::npos) << details;
        EXPECT_NE(details.find("(xssj>? AND xssj<?)"), std::string::npos) << details;
    }
}

TEST_F(SalesQueryTest, a_row_being_edited_is_posted_before_the_query_runs_again)
{
    Sale("a", "", "", "1", "1", 1, "2024-03-01 10:00:00");
    Run({});
    lines.SetFieldText("订单编号", "改过");
    Run({});
    EXPECT_EQ(Orders(), std::vector<std::string>{"改过"});
    EXPECT_EQ(Count("xssp", "ddbh = '改过'"), 1);
}

TEST_F(SalesQueryTest, a_store_error_leaves_the_lines_closed)
{
    Sale("a", "", "", "1", "1", 1, "2024-03-01 10:00:00");
    Run({});
    int step = 0;
    store::Connection::SetStepFault([&] { return ++step == 2; });
    EXPECT_THROW(Run({}), store::StoreError);
    store::Connection::SetStepFault(nullptr);
    EXPECT_FALSE(lines.Active());
    Run({});
    EXPECT_EQ(lines.RecordCount(), 1);  // no read transaction was left open
}

TEST_F(SalesQueryTest, days_are_read_strictly)
{
    EXPECT_TRUE(ParseDay("2024-02-29"));
    EXPECT_FALSE(ParseDay("2023-02-29"));
    EXPECT_FALSE(ParseDay("2024-2-29"));
    EXPECT_FALSE(ParseDay("2024/02/29"));
    EXPECT_FALSE(ParseDay("2024-02-29'"));
    EXPECT_FALSE(ParseDay(""));
}

TEST_F(SalesQueryTest, picker_search_lists_ten_goods_lowest_stock_first_with_untrimmed_filters)
{
    for (int i = 0; i < 15; ++i)
        Sql("insert into spxx(spbm, spmc, spkc) values (:c, :n, :k)",
            {{":c", "A" + std::to_string(i)}, {":n", "商品" + std::to_string(i)}, {":k", std::int64_t(15 - i)}});
    Sql("insert into spxx(spbm, spmc, spkc) values (null, '无编码', 0)");
    store::DataSet picker(conn);
    RunPickerSearch(picker, "", "");
    ASSERT_EQ(picker.RecordCount(), 10);
    EXPECT_EQ(picker.FieldName(1), "商品编码");
    EXPECT_EQ(picker.Text(0, 1), "A14");  // the goods without a code never matches a code filter
    EXPECT_EQ(picker.Text(9, 1), "A5");
    RunPickerSearch(picker, " A1", "");
    EXPECT_EQ(picker.RecordCount(), 0);
    RunPickerSearch(picker, "A1", "商品1");
    EXPECT_EQ(picker.RecordCount(), 6);
    RunPickerSearch(picker, "\"", "");
    EXPECT_EQ(picker.RecordCount(), 0);
}
