// What a seller meets when the database server misbehaves, on the test cluster.
#include <gtest/gtest.h>

#include "store/DataSet.h"
#include "store/Server.h"
#include "tests/TestHome.h"

using namespace store;

class ServerSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_HOME(db);
        conn.Open();
    }
    std::int64_t Int(Connection& c, const std::string& sql)
    {
        Statement st(c, sql);
        st.Step();
        return std::get<std::int64_t>(st.Column(0));
    }
    // Ends `conn`'s session from another one, as a server restart would.
    void CutOff()
    {
        Connection admin(db.Address());
        admin.Execute("select pg_terminate_backend(:pid)", {{":pid", Int(conn, "select pg_backend_pid()")}});
    }
    TempDir dir;
    TTestDatabase db{THome::Server, dir};
    Connection conn{db.Address()};
};

TEST_F(ServerSession, a_server_that_does_not_answer_is_named_in_chinese_without_its_password)
{
    Connection c("host=" + dir.path().string() + " dbname=nothing user=shop password=secret");
    try {
        c.Open();
        FAIL() << "opened";
    } catch (const EServerUnavailable& e) {
        std::string m = e.what();
        EXPECT_EQ(m.rfind("无法连接数据库服务器", 0), 0u) << m;
        EXPECT_EQ(m.find("secret"), std::string::npos) << m;
        EXPECT_NE(m.find("password=***"), std::string::npos) << m;
    }
}

TEST_F(ServerSession, a_missing_database_says_how_to_make_one)
{
    Connection c(TestServerBase() + " dbname=no_such_shop");
    try {
        c.Open();
        FAIL() << "opened";
    } catch (const EServerUnavailable& e) {
        EXPECT_NE(std::string(e.what()).find("new-database --server"), std::string::npos) << e.what();
    }
}

TEST_F(ServerSession, a_session_cut_off_in_a_transaction_saves_nothing_and_the_next_one_reconnects)
{
    try {
        Transaction t(conn);
        conn.Execute("insert into spxx(spbm, spkc) values ('a', 1)");
        CutOff();
        conn.Execute("insert into spxx(spbm, spkc) values ('b', 1)");
        t.Commit();
        FAIL() << "committed";
    } catch (const EServerUnavailable& e) {
        EXPECT_EQ(std::string(e.what()).rfind("与数据库服务器的连接断开了", 0), 0u) << e.what();
    }
    EXPECT_EQ(Int(conn, "select count(*) from spxx"), 0);
}

TEST_F(ServerSession, a_session_cut_off_between_statements_comes_back_for_the_next_one)
{
    CutOff();
    EXPECT_THROW(conn.Execute("insert into spxx(spbm) values ('a')"), EServerUnavailable);
    conn.Execute("insert into spxx(spbm) values ('b')");
    EXPECT_EQ(Int(conn, "select count(*) from spxx"), 1);
}

TEST_F(ServerSession, another_seats_save_changes_the_data_version_and_shows_at_the_next_query)
{
    DataSet list(conn);
    list.SetSQL("select spbm as 商品编码 from spxx");
    list.Open();
    std::int64_t seen = conn.DataVersion();
    Connection other(db.Address());
    other.Execute("insert into spxx(spbm) values ('x')");
    EXPECT_NE(conn.DataVersion(), seen);
    list.Reopen();
    EXPECT_EQ(list.RecordCount(), 1);
}

TEST_F(ServerSession, stock_lowered_by_the_statement_loses_no_decrement_between_two_seats)
{
    conn.Execute("insert into spxx(spbm, spkc) values ('a', 10)");
    Connection other(db.Address());
    Transaction first(conn);
    conn.Execute("update spxx set spkc=spkc-:n where spbm='a'", {{":n", std::int64_t{3}}});
    first.Commit();
    Transaction second(other);
    other.Execute("update spxx set spkc=spkc-:n where spbm='a'", {{":n", std::int64_t{4}}});
    second.Commit();
    EXPECT_EQ(Int(conn, "select spkc from spxx"), 3);
}

TEST_F(ServerSession, money_columns_are_exact_numbers_on_the_server)
{
    conn.Execute("insert into xssp(ddbh, sj, jj, gmsl) values ('o', :sj, 0.1, 3)", {{":sj", 0.1}});
    Statement st(conn, "select sum(sj*gmsl) - 0.3, sj from xssp group by sj");
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(ValueText(st.Column(0)), "0");
    EXPECT_EQ(st.ColumnType(1), "numeric");
}
