// The safety net for books on a server: pg_dump archives under the usual
// backup names, and a restore that puts them back.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/Backup.h"
#include "store/ServerBackup.h"
#include "tests/TestHome.h"

using namespace store;

class ServerBackups : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_HOME(db);
        old = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        conn.Execute("insert into spxx(spbm, spsj, spkc) values ('A1', 19.99, 5), ('B2', 3.5, 1)");
    }
    void TearDown() override
    {
        if (!old.empty()) std::filesystem::current_path(old);
    }
    std::int64_t Goods()
    {
        Statement st(conn, "select count(*) from spxx");
        st.Step();
        return std::get<std::int64_t>(st.Column(0));
    }
    TempDir dir;
    TTestDatabase db{THome::Server, dir};
    Connection conn{db.Address()};
    std::filesystem::path old;
};

TEST_F(ServerBackups, a_backup_is_an_archive_in_the_backups_folder_under_the_usual_name)
{
    BackupManager m(db.Address());
    std::string file = m.Backup("delete-all");
    EXPECT_EQ(std::filesystem::path(file).parent_path(), dir.path() / "backups");
    EXPECT_NE(file.find("-delete-all.mdb"), std::string::npos) << file;
    EXPECT_EQ(CheckServerDump(file), "ok");
    auto list = m.List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].reason, "delete-all");
}

TEST_F(ServerBackups, restore_brings_back_what_was_deleted_and_keeps_a_copy_from_before)
{
    BackupManager m(db.Address());
    std::string file = m.Backup("delete-all");
    conn.Execute("delete from spxx");
    conn.Close();
    m.Restore(file);
    EXPECT_EQ(Goods(), 2);
    conn.Execute("insert into spxx(spbm) values ('C3')");  // the key counter came back too
    EXPECT_EQ(Goods(), 3);
    auto list = m.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].reason, "before-restore");
}

TEST_F(ServerBackups, a_file_that_is_no_archive_is_refused_and_the_books_stay)
{
    std::filesystem::create_directories(dir.path() / "backups");
    std::string file = (dir.path() / "backups" / "ledgr-20240101-120000-manual.mdb").string();
    {
        std::ofstream(file) << "not an archive";
    }
    BackupManager m(db.Address());
    EXPECT_THROW(m.Restore(file), StoreError);
    EXPECT_EQ(Goods(), 2);
}
