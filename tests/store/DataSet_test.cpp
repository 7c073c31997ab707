#include "store/DataSet.h"

#include <gtest/gtest.h>

#include "tests/TempDir.h"
#include "tests/TestHome.h"

using namespace store;

class Goods : public ::testing::TestWithParam<THome> {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_HOME(db);
        conn.Open();
        for (const char* code : {"A", "B", "A"})
            conn.Execute("insert into spxx(spbm, spmc, spkc) values (:c, '同名', 1)", {{":c", std::string(code)}});
        q.SetSQL("select spbm as 商品编码, spmc as 商品名称, spkc as 商品库存 from spxx order by spkc");
        q.Open();
    }
    int Count(const std::string& where)
    {
        DataSet c(conn);
        c.SetSQL("select id from spxx where " + where);
        c.Open();
        return c.RecordCount();
    }
    TempDir dir;
    TTestDatabase db{GetParam(), dir};
    Connection conn{db.Address()};
    DataSet q{conn};
};

TEST_P(Goods, aliases_are_field_names_in_select_order_and_the_key_stays_hidden)
{
    ASSERT_EQ(q.FieldCount(), 3);
    EXPECT_EQ(q.FieldName(0), "商品编码");
    EXPECT_EQ(q.FieldName(2), "商品库存");
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_TRUE(q.CanModify());
}

TEST_P(Goods, edits_address_the_row_by_key_even_when_rows_look_alike)
{
    q.MoveTo(2);  // the second "A"
    ASSERT_EQ(q.FieldText(0), "A");
    q.SetFieldText("商品库存", "9");
    q.Post();
    EXPECT_EQ(Count("spkc = 9"), 1);
    EXPECT_EQ(Count("id = 3 and spkc = 9"), 1);
    q.MoveTo(0);
    q.Delete();
    EXPECT_EQ(Count("id = 1"), 0);
    EXPECT_EQ(Count("spbm = 'A'"), 1);
}

TEST_P(Goods, a_malformed_number_is_refused_with_the_field_name_and_keeps_what_was_typed)
{
    q.MoveTo(1);
    q.SetFieldText(0, "B2");
    q.SetFieldText(2, "12x");
    try {
        q.Post();
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("商品库存"), std::string::npos);
    }
    EXPECT_EQ(q.State(), DataSetState::Edit);
    EXPECT_EQ(q.FieldText(0), "B2");
    EXPECT_EQ(q.FieldText(2), "12x");
    EXPECT_EQ(Count("spbm = 'B2'"), 0);
}

TEST_P(Goods, insert_counts_minus_one_then_posts_with_defaults)
{
    int changes = 0;
    q.Subscribe([&](DataEvent) { ++changes; });
    q.Insert();
    EXPECT_EQ(q.RecNo(), -1);
    EXPECT_EQ(q.RowCount(), 4);
    EXPECT_EQ(q.RecordCount(), 3);
    q.SetFieldText(1, "新商品 😀 \"'%_\\");
    q.Post();
    EXPECT_GT(changes, 0);
    EXPECT_EQ(q.RecordCount(), 4);
    EXPECT_EQ(q.RecNo(), 1);
    EXPECT_EQ(q.FieldText(1), "新商品 😀 \"'%_\\");
    EXPECT_EQ(q.FieldText(0), "");  // default, not null
    EXPECT_EQ(Count("spmc = '新商品 😀 \"''%_\\' and spbm = ''"), 1);
}

TEST_P(Goods, cancel_drops_the_new_row_and_an_empty_post_stores_defaults)
{
    q.Append();
    q.SetFieldText(0, "gone");
    q.Cancel();
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(Count("spbm = 'gone'"), 0);
    q.Append();
    q.Post();
    EXPECT_EQ(Count("spkc is null and spbm = ''"), 1);
}

TEST_P(Goods, empty_result_has_no_current_record)
{
    q.Close();
    q.SetSQL("select spbm from spxx where spbm = :c");
    q.SetParam("c", std::string("none"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 0);
    EXPECT_EQ(q.RecNo(), -1);
    EXPECT_THROW(q.Delete(), StoreError);
}

TEST_P(Goods, computed_results_are_read_only)
{
    DataSet s(conn);
    s.SetSQL("select sum(spkc) as total from spxx");
    s.Open();
    EXPECT_FALSE(s.CanModify());
    EXPECT_EQ(s.FieldText(0), "3");
    EXPECT_THROW(s.SetFieldText(0, "1"), StoreError);
}

class SalesLines : public ::testing::TestWithParam<THome> {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_HOME(db);
        conn.Open();
        conn.Execute("insert into xssp(ddbh, sj, jj, gmsl, xssj) values ('A', 1, 1, 1, '2024-03-01 10:00:00')");
        q.SetSQL("select ddbh as 订单编号, xssj as 登记时间 from xssp");
        q.Open();
    }
    std::string Stored()
    {
        Statement st(conn, "select xssj from xssp");
        st.Step();
        return ValueText(st.Column(0));
    }
    TempDir dir;
    TTestDatabase db{GetParam(), dir};
    Connection conn{db.Address()};
    DataSet q{conn};
};

TEST_P(SalesLines, a_registration_time_that_is_not_a_time_is_refused_and_the_row_kept)
{
    q.SetFieldText("登记时间", "yesterday");
    try {
        q.Post();
        FAIL() << "posted";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("登记时间"), std::string::npos) << e.what();
    }
    EXPECT_EQ(q.State(), DataSetState::Edit);
    EXPECT_EQ(q.FieldText("登记时间"), "yesterday");  // the typing stays for the seller to mend
    EXPECT_EQ(Stored(), "2024-03-01 10:00:00");
}

TEST_P(SalesLines, a_typed_date_is_stored_in_the_canonical_form_the_day_range_finds)
{
    q.SetFieldText("登记时间", "2024/3/2");
    q.Post();
    EXPECT_EQ(Stored(), "2024-03-02 00:00:00");
    EXPECT_EQ(q.FieldText("登记时间"), "2024-03-02 00:00:00");
}

TEST_P(SalesLines, an_entry_form_field_is_named_with_the_sellers_word_in_messages)
{
    DataSet entry(conn);
    entry.SetSQL("select spbm,spjj from spxx where 1=0");
    entry.Open();
    entry.Append();
    entry.SetFieldText("spjj", "十元");
    try {
        entry.Post();
        FAIL() << "posted";
    } catch (const StoreError& e) {
        std::string m = e.what();
        EXPECT_NE(m.find("商品进价"), std::string::npos) << m;
        EXPECT_EQ(m.find("spjj"), std::string::npos) << m;
    }
}

INSTANTIATE_FOR_BOTH_HOMES(Goods);

INSTANTIATE_FOR_BOTH_HOMES(SalesLines);
