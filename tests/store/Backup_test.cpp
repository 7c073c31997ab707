#include "store/Backup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "store/Connection.h"
#include "store/DataSet.h"
#include "tests/TempDir.h"

using namespace store;
namespace fs = std::filesystem;

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        Connection::CreateDatabase(db);
        Connection c(db);
        c.Execute("insert into spxx(spbm, spmc, spjj, spsj, spkc, bz) with recursive n(i) as (select 1 union all "
                  "select i + 1 from n where i < 3000) select 'G' || i, '商品' || i, 1.25, 19.99, i, '' from n");
        c.Execute("insert into xssp(ddbh, sj, gmsl) values ('o1', 19.99, 2)");
    }
    std::string Dump() {
        Connection c(db);
        DataSet q(c);
        q.SetSQL("select * from spxx order by id");
        q.Open();
        std::string out;
        for (int r = 0; r < q.RecordCount(); ++r)
            for (int f = 0; f < q.FieldCount(); ++f) out += q.Text(r, f) + (f + 1 < q.FieldCount() ? "\t" : "\n");
        return out;
    }
    TempDir dir;
    std::string db = dir.file("ledgr.mdb");
    BackupManager backups{db};
};

TEST_F(BackupTest, delete_all_then_restore_brings_back_every_row_unchanged) {
    std::string before = Dump();
    std::string copy = backups.Backup("delete-all");
    EXPECT_NE(copy.find("-delete-all.mdb"), std::string::npos);
    Connection(db).Execute("delete from spxx");
    EXPECT_EQ(Dump(), "");
    backups.Restore(copy);
    EXPECT_EQ(Dump(), before);
    auto list = backups.List();
    ASSERT_EQ(list.size(), 2u);  // the copy and the state before restoring
    EXPECT_EQ(list[0].reason, "before-restore");
    EXPECT_EQ(list[0].goods, 0);
    EXPECT_EQ(list[1].goods, 3000);
    EXPECT_EQ(list[1].salesLines, 1);
}

TEST_F(BackupTest, a_database_damaged_in_the_middle_is_detected_and_restored_from_the_newest_good_copy) {
    std::string before = Dump();
    backups.Backup("daily");
    {
        std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(fs::file_size(db) / 2));
        std::string junk(8192, '\x5a');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    EXPECT_NE(CheckDatabase(db), "ok");
    auto good = backups.NewestGood();
    ASSERT_TRUE(good);
    backups.Restore(good->path);
    EXPECT_EQ(CheckDatabase(db), "ok");
    EXPECT_EQ(Dump(), before);
}

TEST_F(BackupTest, a_backup_that_cannot_be_written_fails_and_leaves_nothing) {
    BackupManager::SetWriteFault([](const std::string&) { return true; });
    EXPECT_THROW(backups.Backup("delete-all"), StoreError);
    BackupManager::SetWriteFault(nullptr);
    EXPECT_TRUE(backups.List().empty());
    for (auto& e : fs::directory_iterator(backups.Folder())) ADD_FAILURE() << e.path();
}

TEST_F(BackupTest, a_damaged_backup_is_never_restored) {
    std::string copy = backups.Backup("manual");
    std::ofstream(copy, std::ios::binary | std::ios::trunc) << "not a database";
    std::string before = Dump();
    EXPECT_THROW(backups.Restore(copy), StoreError);
    EXPECT_EQ(Dump(), before);
}

TEST_F(BackupTest, restoring_a_daily_copy_keeps_it_although_newer_copies_were_made) {
    std::string daily = backups.Backup("daily");
    for (int i = 0; i < 21; ++i) backups.Backup("manual");
    backups.Restore(daily);
    EXPECT_TRUE(fs::exists(daily));
    EXPECT_EQ(backups.List(false).size(), 21u);  // 20 event copies and the day's daily copy
}

TEST_F(BackupTest, pruning_keeps_twenty_event_copies_and_one_per_recent_day) {
    std::string src = backups.Backup("manual");
    auto make = [&](const std::string& name) { fs::copy_file(src, fs::path(backups.Folder()) / name); };
    for (int i = 0; i < 25; ++i) make("ledgr-20200101-1200" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "-import.mdb");
    for (int d = 1; d <= 3; ++d) make("ledgr-2020010" + std::to_string(d) + "-080000-daily.mdb");
    backups.Prune();
    auto list = backups.List(false);
    int events = 0, daily = 0;
    for (auto& b : list) (b.reason == "daily" ? daily : events)++;
    EXPECT_EQ(events, 20);
    EXPECT_EQ(daily, 0);  // 2020 is more than 30 days ago
    EXPECT_EQ(list[0].path, src);
    EXPECT_FALSE(backups.DailyBackupDue());
}

TEST(BackupCheck, a_file_that_is_not_a_database_is_reported) {
    TempDir dir;
    std::ofstream(dir.file("x.mdb")) << "hello";
    EXPECT_NE(CheckDatabase(dir.file("x.mdb")), "ok");
    EXPECT_NE(CheckDatabase(dir.file("missing.mdb")), "ok");
}

TEST(Leftovers, scratch_files_of_killed_writers_are_removed_and_others_kept) {
    namespace fs = std::filesystem;
    TempDir dir;
    auto make = [&](const std::string& name, fs::file_time_type::duration age) {
        fs::path p = dir.path() / name;
        std::ofstream(p) << "x";
        fs::last_write_time(p, fs::file_time_type::clock::now() - age);
        return p;
    };
    const auto old = std::chrono::hours(2);
    fs::path workbook = make("goods.xls.tmp-Ab12Cd", old);
    fs::path backup = make("ledgr-20240301-101010-import.mdb.part", old);
    fs::path young = make("sales.xls.tmp-Zz99Yy", std::chrono::seconds(5));  // still being written
    fs::path seller = make("notes.tmp-ab", old);                               // not a name of ours
    fs::path database = make("ledgr.mdb", old);
    EXPECT_EQ(store::RemoveLeftovers(dir.path().string()), 2);
    EXPECT_FALSE(fs::exists(workbook));
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(seller));
    EXPECT_TRUE(fs::exists(database));
}
