// A data set over a result larger than a block: rows read by key as they are
// asked for, with the count, the current record and editing as for a small one.
#include <gtest/gtest.h>

#include "store/DataSet.h"
#include "tests/TempDir.h"

using namespace store;

namespace {

std::string Code(int i)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "G%04d", i);
    return buf;
}

}  // namespace

// 1000 goods G0001..G1000 whose stock falls as the code rises, listed by
// stock: row r (0-based) holds G(1000 - r).
class ManyGoods : public ::testing::Test {
protected:
    void SetUp() override
    {
        Connection::CreateDatabase(dir.file("ledgr.mdb"));
        conn.Open();
        conn.Execute("insert into spxx(spbm, spmc, spkc) "
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < 1000) "
                     "select printf('G%04d', i), '商品' || i, 1000 - i from n");
        q.SetSQL("select spbm as 商品编码, spmc as 商品名称, spkc as 商品库存 from spxx order by spkc");
        q.Open();
    }
    int Count(const std::string& where)
    {
        Statement st(conn, "select count(*) from spxx where " + where);
        st.Step();
        return static_cast<int>(std::get<std::int64_t>(st.Column(0)));
    }
    TempDir dir;
    Connection conn{dir.file("ledgr.mdb")};
    DataSet q{conn};
};

TEST_F(ManyGoods, rows_on_both_sides_of_block_boundaries_are_the_rows_listed)
{
    for (int r : {0, 199, 200, 201, 399, 400, 998, 999, 0}) EXPECT_EQ(q.Text(r, 0), Code(1000 - r)) << r;
    EXPECT_EQ(q.RecordCount(), 1000);
}

TEST_F(ManyGoods, scrolling_to_the_end_keeps_count_and_record_number_exact)
{
    for (int r = 0; r < q.RecordCount(); ++r) ASSERT_EQ(q.Text(r, 0), Code(1000 - r));
    q.Last();
    EXPECT_EQ(q.RecNo(), 1000);
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.FieldText("商品编码"), "G0001");
    q.First();
    EXPECT_EQ(q.FieldText(0), "G1000");  // read again after its block was let go
}

TEST_F(ManyGoods, an_edit_in_a_block_not_yet_read_is_posted_to_that_row)
{
    q.MoveTo(900);
    EXPECT_EQ(q.RecNo(), 901);
    q.SetFieldText("商品名称", "改过");
    q.Post();
    EXPECT_EQ(Count("spbm = 'G0100' and spmc = '改过'"), 1);
    EXPECT_EQ(q.FieldText(1), "改过");
    EXPECT_EQ(q.RecordCount(), 1000);
}

TEST_F(ManyGoods, a_delete_in_a_block_not_yet_read_removes_that_row_only)
{
    q.MoveTo(700);
    q.Delete();
    EXPECT_EQ(Count("spbm = 'G0300'"), 0);
    EXPECT_EQ(Count("1=1"), 999);
    EXPECT_EQ(q.RecordCount(), 999);
    EXPECT_EQ(q.RecNo(), 701);
    EXPECT_EQ(q.FieldText(0), "G0299");
    EXPECT_EQ(q.Text(699, 0), "G0301");
}

TEST_F(ManyGoods, an_insert_in_a_block_not_yet_read_lands_before_the_current_row)
{
    q.MoveTo(800);
    q.Insert();
    EXPECT_EQ(q.RowCount(), 1001);
    EXPECT_EQ(q.RecordCount(), 1000);
    EXPECT_EQ(q.Text(801, 0), "G0200");
    q.SetFieldText(0, "NEW");
    q.Post();
    EXPECT_EQ(q.RecordCount(), 1001);
    EXPECT_EQ(q.RecNo(), 801);
    EXPECT_EQ(q.FieldText(0), "NEW");
    EXPECT_EQ(q.Text(801, 0), "G0200");
    EXPECT_EQ(Count("spbm = 'NEW'"), 1);
}

TEST_F(ManyGoods, a_row_another_connection_deleted_shows_as_gone_and_cannot_be_saved)
{
    Connection other(dir.file("ledgr.mdb"));
    other.Open();
    other.Execute("delete from spxx where spbm = 'G0500'");
    other.Execute("update spxx set spmc = '别处改过' where spbm = 'G0499'");
    EXPECT_EQ(q.RecordCount(), 1000);
    EXPECT_TRUE(q.IsGone(500));
    EXPECT_EQ(q.Text(500, 0), "");
    EXPECT_FALSE(q.IsGone(501));
    EXPECT_EQ(q.Text(501, 0), "G0499");
    EXPECT_EQ(q.Text(501, 1), "别处改过");
    q.MoveTo(500);
    q.SetFieldText(1, "x");
    EXPECT_THROW(q.Post(), StoreError);
    q.Cancel();
    q.Reopen();
    EXPECT_EQ(q.RecordCount(), 999);
    EXPECT_EQ(q.RecNo(), 501);
    EXPECT_EQ(q.FieldText(0), "G0499");
}

TEST_F(ManyGoods, every_record_is_read_in_order_for_an_export)
{
    q.MoveTo(10);
    q.SetFieldText(0, "EDITED");
    q.Post();
    std::vector<std::string> codes;
    q.ForEachRecord([&](const std::vector<Value>& row) { codes.push_back(ValueText(row[0])); });
    ASSERT_EQ(codes.size(), 1000u);
    EXPECT_EQ(codes[0], "G1000");
    EXPECT_EQ(codes[10], "EDITED");
    EXPECT_EQ(codes[999], "G0001");
}

TEST_F(ManyGoods, an_unordered_select_lists_rows_in_key_order)
{
    DataSet s(conn);
    s.SetSQL("select spbm from spxx where spkc < 10");
    s.Open();
    ASSERT_EQ(s.RecordCount(), 10);
    EXPECT_EQ(s.Text(0, 0), "G0991");
    EXPECT_EQ(s.Text(9, 0), "G1000");
}

TEST_F(ManyGoods, a_limited_select_reads_its_rows_at_once)
{
    DataSet s(conn);
    s.SetSQL("select top 10 spbm from spxx order by spkc");
    s.Open();
    EXPECT_EQ(s.RecordCount(), 10);
    EXPECT_EQ(s.Text(9, 0), "G0991");
    EXPECT_TRUE(s.CanModify());
}

TEST_F(ManyGoods, ties_of_the_order_are_listed_in_key_order_and_descending_orders_hold)
{
    conn.Execute("update spxx set spkc = 5 where spbm in ('G0007', 'G0003', 'G0900')");
    DataSet s(conn);
    s.SetSQL("select spbm, spkc from spxx where spkc = 5 or spkc > 997 order by spkc desc, (spkc + 0) "
             "desc");
    s.Open();
    const std::vector<std::string> codes{"G0001", "G0002", "G0003", "G0007", "G0900", "G0995"};
    ASSERT_EQ(s.RecordCount(), 6);
    for (int r = 0; r < 6; ++r) EXPECT_EQ(s.Text(r, 0), codes[static_cast<size_t>(r)]);
}

TEST_F(ManyGoods, an_order_by_column_number_keeps_that_order)
{
    DataSet s(conn);
    s.SetSQL("select spbm, spkc from spxx order by 2 desc");
    s.Open();
    EXPECT_EQ(s.Text(0, 0), "G0001");
    EXPECT_EQ(s.Text(999, 0), "G1000");
}
