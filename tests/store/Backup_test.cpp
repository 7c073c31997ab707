#include "store/Backup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "store/BackupPack.h"
#include "store/Connection.h"
#include "store/DataSet.h"
#include "tests/TempDir.h"

using namespace store;
namespace fs = std::filesystem;

class BackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Connection::CreateDatabase(db);
        Connection c(db);
        c.Execute("insert into spxx(spbm, spmc, spjj, spsj, spkc, bz) with recursive n(i) as (select 1 union all "
                  "select i + 1 from n where i < 3000) select 'G' || i, '商品' || i, 1.25, 19.99, i, '' from n");
        c.Execute("insert into xssp(ddbh, sj, gmsl) values ('o1', 19.99, 2)");
    }
    std::string Dump()
    {
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

TEST_F(BackupTest, delete_all_then_restore_brings_back_every_row_unchanged)
{
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

TEST_F(BackupTest, a_database_damaged_in_the_middle_is_detected_and_restored_from_the_newest_good_copy)
{
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

TEST_F(BackupTest, a_backup_that_cannot_be_written_fails_and_leaves_nothing)
{
    BackupManager::SetWriteFault([](const std::string&) { return true; });
    EXPECT_THROW(backups.Backup("delete-all"), StoreError);
    BackupManager::SetWriteFault(nullptr);
    EXPECT_TRUE(backups.List().empty());
    for (auto& e : fs::directory_iterator(backups.Folder())) ADD_FAILURE() << e.path();
}

TEST_F(BackupTest, a_damaged_backup_is_never_restored)
{
    std::string copy = backups.Backup("manual");
    std::ofstream(copy, std::ios::binary | std::ios::trunc) << "not a database";
    std::string before = Dump();
    EXPECT_THROW(backups.Restore(copy), StoreError);
    EXPECT_EQ(Dump(), before);
}

TEST_F(BackupTest, restoring_a_daily_copy_keeps_it_although_newer_copies_were_made)
{
    std::string daily = backups.Backup("daily");
    for (int i = 0; i < 21; ++i) backups.Backup("manual");
    backups.Restore(daily);
    EXPECT_TRUE(fs::exists(daily));
    EXPECT_EQ(backups.List(false).size(), 21u);  // 20 event copies and the day's daily copy
}

TEST_F(BackupTest, pruning_keeps_twenty_event_copies_and_one_per_recent_day)
{
    std::string src = backups.Backup("manual");
    auto make = [&](const std::string& name) { fs::copy_file(src, fs::path(backups.Folder()) / name); };
    for (int i = 0; i < 25; ++i)
        make("ledgr-20200101-1200" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "-import.mdb");
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

TEST_F(BackupTest, a_backup_is_kept_compressed_with_its_counts_and_restores_every_row)
{
    std::string before = Dump();
    std::string copy = backups.Backup("import");
    EXPECT_EQ(copy.substr(copy.size() - 14), "-import.mdb.gz");
    EXPECT_LT(fs::file_size(copy), fs::file_size(db) / 2);
    auto list = backups.List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].packed);
    EXPECT_EQ(list[0].bytes, fs::file_size(copy));
    EXPECT_EQ(list[0].goods, 3000);
    EXPECT_EQ(list[0].salesLines, 1);
    Connection(db).Execute("delete from spxx");
    backups.Restore(copy);
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(CheckDatabase(db), "ok");
}

TEST_F(BackupTest, a_corrupted_compressed_copy_is_refused_in_chinese_and_the_database_is_untouched)
{
    std::string copy = backups.Backup("manual");
    {
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(fs::file_size(copy) / 2));
        f.write("\x5a\x5a\x5a\x5a", 4);
    }
    Connection(db).Execute("update spxx set spmc = '改过' where spbm = 'G1'");
    std::string before = Dump();
    try {
        backups.Restore(copy);
        ADD_FAILURE() << "restored";
    } catch (const StoreError& e) {
        std::string text = e.what();
        EXPECT_EQ(text.rfind("备份文件 " + copy + " 已损坏, 不能恢复: 压缩数据", 0), 0u) << text;
        EXPECT_NE(text.find("数据库没有改动。请选择另一个备份恢复。"), std::string::npos) << text;
    }
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(backups.List(false).size(), 1u);  // no copy of the current state was needed
    EXPECT_FALSE(fs::exists(fs::path(backups.Folder()) / "ledgr-restoring.mdb.part"));
}

TEST_F(BackupTest, a_compressed_copy_cut_short_is_refused)
{
    std::string copy = backups.Backup("manual");
    fs::resize_file(copy, fs::file_size(copy) / 2);
    std::string before = Dump();
    try {
        backups.Restore(copy);
        ADD_FAILURE() << "restored";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("压缩数据不完整"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Dump(), before);
}

TEST_F(BackupTest, a_whole_stream_holding_no_database_is_refused_by_the_database_check)
{
    std::string text = dir.file("notes.txt");
    std::ofstream(text) << std::string(100000, 'x');
    std::string copy = (fs::path(backups.Folder()) / "ledgr-20240101-120000-manual.mdb.gz").string();
    fs::create_directories(backups.Folder());
    std::ofstream(copy).close();
    PackFile(text, copy, {});
    std::string before = Dump();
    EXPECT_THROW(backups.Restore(copy), StoreError);
    EXPECT_EQ(Dump(), before);
}

TEST_F(BackupTest, an_uncompressed_copy_of_an_earlier_release_is_listed_and_restored)
{
    std::string before = Dump();
    fs::create_directories(backups.Folder());
    std::string old = (fs::path(backups.Folder()) / "ledgr-20240301-101010-delete-all.mdb").string();
    fs::copy_file(db, old);
    auto list = backups.List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].packed);
    EXPECT_EQ(list[0].reason, "delete-all");
    EXPECT_EQ(list[0].goods, 3000);
    Connection(db).Execute("delete from spxx");
    backups.Restore(old);
    EXPECT_EQ(Dump(), before);
    EXPECT_TRUE(fs::exists(old));
    EXPECT_EQ(backups.NewestGood()->reason, "before-restore");
}

TEST_F(BackupTest, the_newest_good_copy_passes_over_a_damaged_compressed_one)
{
    std::string older = backups.Backup("daily");
    std::string newer = backups.Backup("manual");
    fs::resize_file(newer, fs::file_size(newer) - 10);
    auto good = backups.NewestGood();
    ASSERT_TRUE(good);
    EXPECT_EQ(good->path, older);
}

TEST_F(BackupTest, a_backup_that_fails_while_compressing_leaves_nothing)
{
    BackupManager::SetWriteFault(
        [](const std::string& f) { return f.size() > 8 && f.substr(f.size() - 8) == ".gz.part"; });
    EXPECT_THROW(backups.Backup("manual"), StoreError);
    BackupManager::SetWriteFault(nullptr);
    for (auto& e : fs::directory_iterator(backups.Folder())) ADD_FAILURE() << e.path();
}

class BudgetTest : public BackupTest {
protected:
    // Five event copies of 1000 bytes each, "...-01" the oldest.
    void MakeCopies()
    {
        fs::create_directories(backups.Folder());
        for (int i = 1; i <= 5; ++i) {
            fs::path p = fs::path(backups.Folder()) /
                         ("ledgr-20240301-1000" + std::string("0") + std::to_string(i) + "-import.mdb.gz");
            std::ofstream(p).close();
            fs::resize_file(p, 1000);
        }
    }
    std::string Kept()
    {
        std::string out;
        for (auto& b : backups.List(false)) out += b.stamp.substr(17) + " ";
        return out;
    }
};

TEST_F(BudgetTest, copies_over_the_budget_go_from_the_oldest)
{
    MakeCopies();
    EXPECT_EQ(backups.UsedBytes(), 5000u);
    backups.SetBudget(3500);
    backups.Prune();
    EXPECT_EQ(Kept(), "05 04 03 ");
    backups.SetBudget(1000000);
    backups.Prune();
    EXPECT_EQ(Kept(), "05 04 03 ");
}

TEST_F(BudgetTest, a_budget_that_holds_four_keeps_four)
{
    MakeCopies();
    backups.SetBudget(4000);
    backups.Prune();
    EXPECT_EQ(Kept(), "05 04 03 02 ");
    EXPECT_EQ(backups.UsedBytes(), 4000u);
}

TEST_F(BudgetTest, the_newest_three_are_kept_even_over_the_budget)
{
    MakeCopies();
    backups.SetBudget(1);
    backups.Prune();
    EXPECT_EQ(Kept(), "05 04 03 ");
    EXPECT_EQ(backups.Budget(), 1u);
    EXPECT_FALSE(backups.AutomaticBudget());
}

TEST_F(BudgetTest, a_backup_made_over_the_budget_removes_the_oldest)
{
    MakeCopies();
    backups.SetBudget(3000);
    std::string copy = backups.Backup("manual");
    auto list = backups.List(false);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, copy);
}

TEST(BackupBudget, the_automatic_budget_is_two_gigabytes_or_a_tenth_of_the_free_space)
{
    const std::uint64_t gb = std::uint64_t(1) << 30;
    EXPECT_EQ(AutomaticBackupBudget(100 * gb), 2 * gb);
    EXPECT_EQ(AutomaticBackupBudget(20 * gb), 2 * gb);
    EXPECT_EQ(AutomaticBackupBudget(5 * gb), gb / 2);
    EXPECT_EQ(AutomaticBackupBudget(0), 0u);
    TempDir dir;
    BackupManager m(dir.file("ledgr.mdb"));
    EXPECT_TRUE(m.AutomaticBudget());
    EXPECT_LE(m.Budget(), 2 * gb);
}

TEST(BackupCheck, a_file_that_is_not_a_database_is_reported)
{
    TempDir dir;
    std::ofstream(dir.file("x.mdb")) << "hello";
    EXPECT_NE(CheckDatabase(dir.file("x.mdb")), "ok");
    EXPECT_NE(CheckDatabase(dir.file("missing.mdb")), "ok");
}

TEST(Leftovers, scratch_files_of_killed_writers_are_removed_and_others_kept)
{
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
    fs::path packing = make("ledgr-20240301-101010-import.mdb.gz.part", old);
    fs::path unpacking = make("ledgr-restoring.mdb.part", old);
    fs::path young = make("sales.xls.tmp-Zz99Yy", std::chrono::seconds(5));  // still being written
    fs::path seller = make("notes.tmp-ab", old);                             // not a name of ours
    fs::path database = make("ledgr.mdb", old);
    EXPECT_EQ(store::RemoveLeftovers(dir.path().string()), 4);
    EXPECT_FALSE(fs::exists(workbook));
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_FALSE(fs::exists(packing));
    EXPECT_FALSE(fs::exists(unpacking));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(seller));
    EXPECT_TRUE(fs::exists(database));
}
