#include <gtest/gtest.h>
#include <sys/stat.h>

#include "store/Backup.h"
#include "store/Connection.h"
#include "tests/CreationWatcher.h"
#include "tests/TempDir.h"

namespace {

unsigned ModeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0xFFFF;
}

// The umask of a careless desktop session: nothing it lets through may show.
class OpenUmask {
public:
    OpenUmask() : FOld(::umask(0)) {}
    ~OpenUmask() { ::umask(FOld); }

private:
    mode_t FOld;
};

}  // namespace

TEST(PrivateFiles, database_and_its_companions_are_private_from_creation)
{
    TempDir dir;
    OpenUmask umask;
    CreationWatcher watch(dir.path().string());
    const std::string db = dir.file("ledgr.mdb");
    store::Connection::CreateDatabase(db);
    {
        store::Connection c(db);
        c.Execute("insert into spxx(spbm, spmc) values ('A1', 'x')");
        EXPECT_EQ(ModeOf(db + "-wal"), 0600u);
        EXPECT_EQ(ModeOf(db + "-shm"), 0600u);
    }
    watch.Stop();
    EXPECT_EQ(ModeOf(db), 0600u);
    const auto seen = watch.FirstModes();
    EXPECT_FALSE(seen.empty());
    for (const auto& [name, mode] : seen) EXPECT_EQ(mode, 0600u) << name;
}

TEST(PrivateFiles, backups_and_their_folder_are_private_from_creation)
{
    TempDir dir;
    const std::string db = dir.file("ledgr.mdb");
    store::Connection::CreateDatabase(db);
    OpenUmask umask;
    CreationWatcher watchFolder(dir.path().string());
    store::BackupManager backups(db);
    backups.Backup("manual");  // makes the folder
    watchFolder.Stop();
    CreationWatcher watchBackups(backups.Folder());
    const std::string backup = backups.Backup("manual");
    watchBackups.Stop();
    EXPECT_EQ(ModeOf(backups.Folder()), 0700u);
    EXPECT_EQ(ModeOf(backup), 0600u);
    EXPECT_EQ(watchFolder.FirstModes()["backups"], 0700u);
    const auto seen = watchBackups.FirstModes();
    EXPECT_FALSE(seen.empty());
    for (const auto& [name, mode] : seen) EXPECT_EQ(mode, 0600u) << name;
}

TEST(PrivateFiles, the_process_umask_is_left_alone)
{
    TempDir dir;
    const mode_t before = ::umask(022);
    store::Connection::CreateDatabase(dir.file("ledgr.mdb"));
    EXPECT_EQ(::umask(before), 022u);
}
