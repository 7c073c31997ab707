#include "store/Connection.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/DataSet.h"
#include "tests/TempDir.h"
#include "tests/TestHome.h"

using namespace store;

TEST(Connection, missing_file_names_its_full_path)
{
    TempDir dir;
    Connection c(dir.file("ledgr.mdb"));
    try {
        c.Open();
        FAIL() << "opened a missing file";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.file("ledgr.mdb")), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("ledgr.mdb")));
}

TEST(Connection, a_file_that_is_not_a_database_is_refused)
{
    TempDir dir;
    FILE* f = fopen(dir.file("ledgr.mdb").c_str(), "wb");
    fputs("Standard Jet DB and then some bytes that are no SQLite header at all.....", f);
    fclose(f);
    Connection c(dir.file("ledgr.mdb"));
    EXPECT_THROW(c.Open(), StoreError);
}

TEST(Connection, new_database_has_the_default_account_and_refuses_to_overwrite)
{
    TempDir dir;
    Connection::CreateDatabase(dir.file("ledgr.mdb"));
    EXPECT_THROW(Connection::CreateDatabase(dir.file("ledgr.mdb")), StoreError);
    Connection c(dir.file("ledgr.mdb"));
    DataSet q(c);
    q.SetSQL("select * from users where username=:u and password=:p");
    q.SetParam("u", std::string("admin"));
    q.SetParam("p", std::string("470913"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
}

class StoreFile : public ::testing::TestWithParam<THome> {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_HOME(db);
        conn.Open();
    }
    TempDir dir;
    TTestDatabase db{GetParam(), dir};
    Connection conn{db.Address()};
};

TEST_P(StoreFile, sum_of_a_million_prices_is_exact)
{
    conn.Execute("insert into xssp(ddbh, sj, gmsl) with recursive c(x) as (select 1 union all "
                 "select x + 1 from c where x < 1000000) select 'o', 19.99, 1 from c");
    DataSet q(conn);
    q.SetSQL("select sum(sj) as a, sum(sj*gmsl) as b, sum(gmsl) as c from xssp");
    q.Open();
    EXPECT_EQ(q.FieldText("a"), "19990000");
    EXPECT_EQ(q.FieldText("b"), "19990000");
    EXPECT_EQ(q.FieldText("c"), "1000000");
}

TEST_P(StoreFile, sum_keeps_sql_semantics_for_empty_and_integer_input)
{
    DataSet q(conn);
    q.SetSQL("select sum(sj) as s from xssp");
    q.Open();
    EXPECT_TRUE(IsNull(q.GetValue(0, 0)));
}

TEST_P(StoreFile, quoted_numbers_go_into_numeric_columns_and_money_keeps_four_decimals)
{
    conn.Execute("insert into spxx(spbm, spjj, spsj, spkc) values (\"a\", \"1.23456\", \"19.99\", \"7\")");
    DataSet q(conn);
    q.SetSQL("select spjj, spsj, spkc, spmc, bz from spxx");
    q.Open();
    EXPECT_EQ(q.FieldText("spjj"), "1.2346");
    EXPECT_EQ(q.FieldText("spsj"), "19.99");
    EXPECT_EQ(q.GetValue(0, 2), Value(std::int64_t{7}));
    EXPECT_EQ(q.GetValue(0, 3), Value(std::string()));  // untouched text columns are empty, not null
    EXPECT_THROW(conn.Execute("insert into spxx(spkc) values ('many')"), StoreError);
}

TEST_P(StoreFile, insert_time_defaults_to_local_time_text)
{
    conn.Execute("insert into xssp(ddbh) values ('x')");
    DataSet q(conn);
    q.SetSQL("select xssj, format(xssj,\"yyyy-mm-dd\") as d from xssp");
    q.Open();
    std::string t = q.FieldText("xssj");
    ASSERT_EQ(t.size(), 19u) << t;
    EXPECT_EQ(t[4], '-');
    EXPECT_EQ(t[13], ':');
    EXPECT_EQ(q.FieldText("d"), t.substr(0, 10));
}

TEST_P(StoreFile, day_range_includes_the_whole_last_day)
{
    for (const char* t : {"2013-09-30 23:59:59", "2013-10-01 00:00:00", "2013-10-31 23:59:59", "2013-11-01 00:00:00"})
        conn.Execute("insert into xssp(ddbh, xssj) values ('o', :t)", {{":t", std::string(t)}});
    DataSet q(conn);
    q.SetSQL("select xssj from xssp where format(xssj,\"yyyy-mm-dd\") between #2013-10-01# and #2013-10-31#");
    q.Open();
    ASSERT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.Text(0, 0), "2013-10-01 00:00:00");
    EXPECT_EQ(q.Text(1, 0), "2013-10-31 23:59:59");
}

TEST_P(StoreFile, a_failing_step_inside_a_transaction_leaves_nothing)
{
    int calls = 0;
    Connection::SetStepFault([&] { return ++calls == 2; });
    try {
        Transaction t(conn);
        conn.Execute("insert into spxx(spbm) values ('a')");
        conn.Execute("insert into spxx(spbm) values ('b')");
        t.Commit();
    } catch (const StoreError&) {
    }
    Connection::SetStepFault(nullptr);
    DataSet q(conn);
    q.SetSQL("select * from spxx");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 0);
}

INSTANTIATE_FOR_BOTH_HOMES(StoreFile);
