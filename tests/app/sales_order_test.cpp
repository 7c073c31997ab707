// The order and its save, without windows, on a real database file.
#include <sqlite3.h>

#include "app/SalesOrder.h"
#include "app/SalesQuery.h"
#include "store/DataSet.h"
#include "tests/app/AppFixture.h"

namespace {

TOrderLine Line(const std::string& id, const std::string& name, const std::string& sale, const std::string& cost,
                const std::string& qty, const std::string& attr = "", const std::string& code = "",
                const std::string& remark = "")
{
    TOrderLine l;
    l.cells = {id, name, sale, cost, qty, attr, code, remark};
    return l;
}

int Trace(unsigned, void* ctx, void*, void* x)
{
    std::string sql = static_cast<const char*>(x);
    if (sql.rfind("--", 0) != 0) static_cast<std::vector<std::string>*>(ctx)->push_back(sql.substr(0, 12));
    return 0;
}

}  // namespace

class SalesOrderTest : public AppHomeTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        if (IsSkipped()) return;
        Sql("insert into spxx(id, spbm, spmc, spsx, spjj, spsj, spkc, bz) values "
            "(1, 'A1', '红色T恤', 'L码', 20, 35.5, 10, '夏季'), (2, 'B2', '帽子', '', 3.25, 9.9, 5, ''), "
            "(3, 'C3', '袜子', '', 1, 2, 100, '')");
        // The server hands out keys from a counter that rows given their own
        // key do not move on.
        if (GetParam() == THome::Server) Sql("select setval(pg_get_serial_sequence('spxx', 'id'), 3)");
        conn.Open();
    }
    void TearDown() override
    {
        Connection::SetStepFault(nullptr);
        conn.Close();
        AppTest::TearDown();
    }
    std::string Stock(int id)
    {
        store::DataSet q(conn);
        q.SetSQL("select spkc from spxx where id = " + std::to_string(id));
        q.Open();
        return q.FieldText(0);
    }
    using Connection = store::Connection;
    store::Connection conn;
    TSalesOrder order;
};

TEST_P(SalesOrderTest, three_lines_are_stored_with_alternating_insert_and_update_in_one_transaction)
{
    order.AddLine(Line("1", "红色T恤", "35.5", "20", "1", "L码", "A1", "夏季"));
    order.AddLine(Line("2", "帽子", "9.9", "3.25", "2"));
    order.AddLine(Line("3", "袜子", "2", "1", "4"));
    std::vector<std::string> trace;
    bool file = GetParam() == THome::File;  // the statement trace is SQLite's
    if (file) sqlite3_trace_v2(conn.Handle(), SQLITE_TRACE_STMT, Trace, &trace);
    EXPECT_EQ(order.Save(conn, "ORD-1"), 3);
    if (file) sqlite3_trace_v2(conn.Handle(), 0, nullptr, nullptr);
    std::vector<std::string> expected{"begin immedi", "insert into ", "update spxx ", "insert into ",
                                      "update spxx ", "insert into ", "update spxx ", "commit"};
    if (file) EXPECT_EQ(trace, expected);
    EXPECT_EQ(Count("xssp", "ddbh = 'ORD-1'"), 3);
    EXPECT_EQ(Count("xssp", "spmc = '红色T恤' and sj = 35.5 and jj = 20 and gmsl = 1 and spsx = 'L码' and "
                            "spbm = 'A1' and bz = '夏季' and xssj like '____-__-__ __:__:__'"),
              1);
    EXPECT_EQ(Stock(1), "9");
    EXPECT_EQ(Stock(2), "3");
    EXPECT_EQ(Stock(3), "96");
    EXPECT_EQ(order.LineCount(), 3);  // the window empties the grid after its message
}

TEST_P(SalesOrderTest, the_same_goods_twice_gives_two_lines_and_lowers_the_stock_twice)
{
    order.AddLine(Line("2", "帽子", "9.9", "3.25", "1"));
    order.AddLine(Line("2", "帽子", "9.9", "3.25", "3"));
    order.Save(conn, "o");
    EXPECT_EQ(Count("xssp", "spmc = '帽子'"), 2);
    EXPECT_EQ(Stock(2), "1");
}

TEST_P(SalesOrderTest, cell_texts_are_stored_exactly_quotes_and_all)
{
    order.AddLine(Line("1", "他说\"好\"的 'T恤'", "35.5", "20", "1", " 宽 ", "A1\"", "x;drop table spxx"));
    order.Save(conn, "单\"号'");
    store::DataSet q(conn);
    q.SetSQL("select ddbh, spmc, spsx, spbm, bz from xssp");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.Text(0, 0), "单\"号'");
    EXPECT_EQ(q.Text(0, 1), "他说\"好\"的 'T恤'");
    EXPECT_EQ(q.Text(0, 2), " 宽 ");
    EXPECT_EQ(q.Text(0, 3), "A1\"");
    EXPECT_EQ(q.Text(0, 4), "x;drop table spxx");
}

TEST_P(SalesOrderTest, a_bad_line_is_named_and_nothing_is_stored)
{
    order.AddLine(Line("1", "红色T恤", "35.5", "20", "1"));
    order.AddLine(Line("2", "帽子", "9.9", "3.25", "两个"));
    TSalesOrder before = order;
    try {
        order.Save(conn, "o");
        FAIL() << "saved a quantity that is no number";
    } catch (const TOrderError& e) {
        EXPECT_NE(std::string(e.what()).find("第2行(帽子)"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("两个"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Stock(1), "10");
    EXPECT_EQ(order.Lines(), before.Lines());
}

TEST_P(SalesOrderTest, every_kind_of_bad_line_is_refused_before_anything_is_written)
{
    const std::pair<TOrderLine, const char*> bad[] = {
        {Line("", "", "", "", "1"), "没有商品编号"},  // a double-click on an empty picker
        {Line("1", "红色T恤", "35.5", "20", "1.5"), "不是整数"},
        {Line("1", "红色T恤", "35.5", "20", ""), "不是整数"},
        {Line("1 or 1=1", "红色T恤", "35.5", "20", "1"), "没有商品编号"},
        {Line("1", "红色T恤", "35,5", "20", "1"), "售价"},
        {Line("1", "红色T恤", "35.5", "abc", "1"), "进价"},
    };
    for (const auto& [line, what] : bad) {
        TSalesOrder o;
        o.AddLine(Line("3", "袜子", "2", "1", "1"));
        o.AddLine(line);
        try {
            o.Save(conn, "o");
            ADD_FAILURE() << "saved " << line[ocQuantity];
        } catch (const TOrderError& e) {
            EXPECT_NE(std::string(e.what()).find("第2行"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Stock(3), "100");
}

TEST_P(SalesOrderTest, goods_deleted_after_picking_refuses_the_whole_order)
{
    order.AddLine(Line("1", "红色T恤", "35.5", "20", "1"));
    order.AddLine(Line("99", "已删除", "1", "1", "1"));
    try {
        order.Save(conn, "o");
        FAIL();
    } catch (const TOrderError& e) {
        EXPECT_NE(std::string(e.what()).find("第2行(已删除)"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Stock(1), "10");
}

TEST_P(SalesOrderTest, a_failing_step_anywhere_leaves_the_database_as_before)
{
    order.AddLine(Line("1", "红色T恤", "35.5", "20", "1"));
    order.AddLine(Line("2", "帽子", "9.9", "3.25", "2"));
    // Steps: begin, insert 1, update 1, insert 2, update 2, commit.
    for (int failing = 1; failing <= 6; ++failing) {
        int step = 0;
        Connection::SetStepFault([&] { return ++step == failing; });
        EXPECT_THROW(order.Save(conn, "o"), TOrderError) << "step " << failing;
        Connection::SetStepFault(nullptr);
        EXPECT_EQ(Count("xssp"), 0) << "step " << failing;
        EXPECT_EQ(Stock(1), "10");
        EXPECT_EQ(Stock(2), "5");
        EXPECT_EQ(order.LineCount(), 2);
    }
    // Once the fault is gone the same order saves once, not twice.
    order.Save(conn, "o");
    EXPECT_EQ(Count("xssp"), 2);
    EXPECT_EQ(Stock(2), "3");
}

TEST_P(SalesOrderTest, an_empty_order_writes_nothing)
{
    EXPECT_EQ(order.Save(conn, "o"), 0);
    EXPECT_EQ(Count("xssp"), 0);
}

TEST_P(SalesOrderTest, removing_lines_keeps_the_rest_in_order_and_ignores_rows_outside)
{
    for (const char* id : {"1", "2", "3"}) order.AddLine(Line(id, id, "1", "1", "1"));
    order.RemoveLine(0);
    order.RemoveLine(4);
    order.RemoveLine(-1);
    EXPECT_EQ(order.LineCount(), 3);
    order.RemoveLine(2);
    ASSERT_EQ(order.LineCount(), 2);
    EXPECT_EQ(order.Line(1)[ocId], "1");
    EXPECT_EQ(order.Line(2)[ocId], "3");
    order.RemoveLine(2);
    order.RemoveLine(1);
    EXPECT_EQ(order.LineCount(), 0);
}

TEST_P(SalesOrderTest, a_picker_row_becomes_a_line_with_quantity_one)
{
    store::DataSet picker(conn);
    RunPickerSearch(picker, "A", "");
    ASSERT_EQ(picker.RecordCount(), 1);
    TOrderLine l = OrderLineFromPicker(picker);
    EXPECT_EQ(l, Line("1", "红色T恤", "35.5", "20", "1", "L码", "A1", "夏季"));
    RunPickerSearch(picker, "nothing", "");
    EXPECT_EQ(OrderLineFromPicker(picker), Line("", "", "", "", "1"));
}

TEST_P(SalesOrderTest, order_number_is_trimmed_of_blanks_only)
{
    EXPECT_EQ(TrimOrderNumber("  12 34\t "), "12 34");
    EXPECT_EQ(TrimOrderNumber(" \t "), "");
}

TEST_P(SalesOrderTest, a_line_without_a_sale_or_purchase_price_is_refused_naming_the_row_and_nothing_is_stored)
{
    order.AddLine(Line("1", "红色T恤", "35.5", "20", "1"));
    order.AddLine(Line("2", "帽子", "", "3.25", "1"));
    try {
        order.Save(conn, "ORD-P");
        FAIL() << "saved";
    } catch (const TOrderError& e) {
        EXPECT_NE(std::string(e.what()).find("第2行(帽子)"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("售价"), std::string::npos) << e.what();
    }
    order.SetCell(2, ocSalePrice, "9.9");
    order.SetCell(2, ocPurchasePrice, " ");
    EXPECT_THROW(order.Save(conn, "ORD-P"), TOrderError);
    EXPECT_EQ(Count("xssp"), 0);
    EXPECT_EQ(Stock(1), "10");
}

TEST_P(SalesOrderTest, a_quantity_of_zero_is_refused_and_a_return_is_stored)
{
    order.AddLine(Line("3", "袜子", "2", "1", "0"));
    EXPECT_THROW(order.Save(conn, "ORD-Z"), TOrderError);
    EXPECT_EQ(Count("xssp"), 0);
    order.SetCell(1, ocQuantity, "-2");
    EXPECT_EQ(order.Save(conn, "ORD-R"), 1);
    EXPECT_EQ(Stock(3), "102");
}

TEST_P(SalesOrderTest, stock_shortfalls_add_up_the_lines_of_one_goods_item)
{
    order.AddLine(Line("2", "帽子", "9.9", "3.25", "3", "", "B2"));
    order.AddLine(Line("1", "红色T恤", "35.5", "20", "10", "", "A1"));
    EXPECT_TRUE(order.StockShortfalls(conn).empty());  // 5 - 3 and 10 - 10 leave no gap
    order.AddLine(Line("2", "帽子", "9.9", "3.25", "3", "", "B2"));
    auto shortfalls = order.StockShortfalls(conn);
    ASSERT_EQ(shortfalls.size(), 1u);
    EXPECT_EQ(shortfalls[0], (TStockShortfall{"B2", "帽子", -1}));
    std::string question = StockShortfallQuestion(shortfalls);
    EXPECT_NE(question.find("B2 帽子: 剩余库存 -1"), std::string::npos) << question;
}

TEST_P(SalesOrderTest, totals_print_the_exact_profit_of_prices_that_binary_numbers_cannot_hold)
{
    order.AddLine(Line("1", "红色T恤", "19.99", "77.96", "1"));
    order.Save(conn, "ORD-X");
    store::DataSet lines(conn), totals(conn);
    RunSalesQuery(conn, lines, totals, TSalesFilter{});
    EXPECT_EQ(SalesTotalsText(lines, totals),
              "共1条记录,销售额:19.99元,进货成本:77.96元,利润:-57.97元,商品数量合计:1件");
}

INSTANTIATE_FOR_BOTH_HOMES(SalesOrderTest);
