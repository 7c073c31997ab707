// Where the database is kept: the current folder when it holds ledgr.mdb,
// otherwise the user's data folder.
#include <QProcess>
#include <cstdlib>

#include "app/DataFolder.h"
#include "tests/app/AppFixture.h"

namespace fs = std::filesystem;

class DataFolderTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        const char* old = std::getenv("XDG_DATA_HOME");
        oldData = old ? old : "";
        hadData = old != nullptr;
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        fs::create_directories(dir.path() / "elsewhere");
    }
    void TearDown() override
    {
        if (hadData)
            setenv("XDG_DATA_HOME", oldData.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        AppTest::TearDown();
    }
    fs::path Data() const { return dir.path() / "data/tallybrook"; }

    std::string oldData;
    bool hadData = false;
};

TEST_F(DataFolderTest, a_ledgr_mdb_in_the_current_folder_is_used_as_always)
{
    EXPECT_EQ(EnterDataFolder(TDataFolderUse::Window), dir.path());
    EXPECT_EQ(fs::current_path(), dir.path());
    EXPECT_FALSE(fs::exists(Data()));
}

TEST_F(DataFolderTest, without_one_the_windows_make_and_use_the_users_data_folder)
{
    fs::current_path(dir.path() / "elsewhere");
    EXPECT_EQ(EnterDataFolder(TDataFolderUse::Window), Data());
    EXPECT_EQ(fs::current_path(), Data());
    EXPECT_TRUE(fs::is_regular_file(Data() / "ledgr.mdb"));
    EXPECT_EQ(Count("users", "username = 'admin'"), 1);
    Sql("insert into spxx(spbm) values ('kept')");
    fs::current_path(dir.path() / "elsewhere");
    EnterDataFolder(TDataFolderUse::Window);  // the second start finds the same database
    EXPECT_EQ(Count("spxx", "spbm = 'kept'"), 1);
}

TEST_F(DataFolderTest, commands_move_to_the_data_folder_only_when_it_holds_a_database)
{
    fs::current_path(dir.path() / "elsewhere");
    EXPECT_EQ(EnterDataFolder(TDataFolderUse::Command), dir.path() / "elsewhere");
    EXPECT_FALSE(fs::exists(Data()));
    fs::current_path(dir.path() / "elsewhere");
    EnterDataFolder(TDataFolderUse::Window);
    fs::current_path(dir.path() / "elsewhere");
    EXPECT_EQ(EnterDataFolder(TDataFolderUse::Command), Data());
}

TEST_F(DataFolderTest, xdg_data_home_unset_means_the_local_share_folder_of_home)
{
    unsetenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(UserDataFolder(), fs::path(home) / ".local/share/tallybrook");
}

TEST_F(DataFolderTest, the_report_reads_the_data_folder_and_new_database_stays_here)
{
    fs::current_path(dir.path() / "elsewhere");
    EnterDataFolder(TDataFolderUse::Window);
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.file("elsewhere")));
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"report"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    p.start(QString(TB_BIN_DIR) + "/tallybrook", {"new-database"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "elsewhere/ledgr.mdb"));
}
