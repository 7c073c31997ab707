// Which home the program keeps its books in, and making one on a server.
#include <QSettings>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "app/DatabaseSettings.h"
#include "app/cli.h"
#include "store/Connection.h"
#include "tests/TestHome.h"

namespace {

// Restores the environment variable and the store's default when a test ends.
class DatabaseChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* env = std::getenv(store::kDatabaseUrlVariable);
        if (env) saved = env;
        ::unsetenv(store::kDatabaseUrlVariable);
        store::SetDefaultDatabase({});
    }
    void TearDown() override
    {
        if (saved)
            ::setenv(store::kDatabaseUrlVariable, saved->c_str(), 1);
        else
            ::unsetenv(store::kDatabaseUrlVariable);
        store::SetDefaultDatabase({});
    }
    void WriteServer(const std::string& address)
    {
        QSettings ini(QString::fromStdString(dir.file("config.ini")), QSettings::IniFormat);
        ini.setValue("database/server", QString::fromStdString(address));
    }
    QString Dir() const { return QString::fromStdString(dir.path().string()); }
    TempDir dir;
    std::optional<std::string> saved;
};

int RunCli(std::vector<std::string> args, std::string& out, std::string& err)
{
    std::vector<char*> argv;
    std::string exe = "tallybrook";
    argv.push_back(exe.data());
    for (auto& a : args) argv.push_back(a.data());
    std::ostringstream o, e;
    int rc = RunCommand(static_cast<int>(argv.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return rc;
}

}  // namespace

TEST_F(DatabaseChoice, without_a_setting_the_books_stay_in_the_file)
{
    EXPECT_FALSE(ChooseDatabase(Dir(), Dir()));
    EXPECT_EQ(store::DefaultDatabase(), store::kDatabaseFile);
}

TEST_F(DatabaseChoice, the_server_named_in_config_ini_becomes_the_home)
{
    WriteServer("postgresql://shop@db.example/ledgr");
    EXPECT_TRUE(ChooseDatabase(Dir(), Dir()));
    EXPECT_EQ(store::DefaultDatabase(), "postgresql://shop@db.example/ledgr");
}

TEST_F(DatabaseChoice, the_environment_variable_wins_over_config_ini)
{
    WriteServer("postgresql://shop@db.example/ledgr");
    ::setenv(store::kDatabaseUrlVariable, "host=/elsewhere dbname=books", 1);
    EXPECT_TRUE(ChooseDatabase(Dir(), Dir()));
    EXPECT_EQ(store::DefaultDatabase(), "host=/elsewhere dbname=books");
}

TEST_F(DatabaseChoice, new_database_on_a_server_makes_the_tables_once_and_says_how_to_use_them)
{
    TTestDatabase empty(THome::Server, dir);  // already holds the tables
    SKIP_WITHOUT_HOME(empty);
    std::string out, err;
    EXPECT_NE(RunCli({"new-database", "--server", empty.Address()}, out, err), 0);
    std::string base = TestServerBase();
    store::Connection admin(base + " dbname=postgres");
    std::string name = "tb_cli_" + std::to_string(::getpid());
    admin.Execute("drop database if exists " + name);
    admin.Execute("create database " + name);
    ASSERT_EQ(RunCli({"new-database", "--server", base + " dbname=" + name}, out, err), 0) << err;
    EXPECT_NE(out.find("[database]"), std::string::npos) << out;
    {
        store::Connection c(base + " dbname=" + name);
        store::Statement st(c, "select username from users");
        ASSERT_TRUE(st.Step());
        EXPECT_EQ(store::ValueText(st.Column(0)), "admin");
    }
    admin.Execute("drop database " + name + " with (force)");
}
