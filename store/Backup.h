// Copies of the seller's database, taken before anything destructive, checked
// before they count, pruned to a bounded set, and restorable in one step.
//
// Backups live in "backups/" beside the database, named
// "ledgr-20131020-140509-delete-all.mdb.gz" (time stamp, then the reason),
// gzip-compressed; copies of earlier releases ("….mdb", not compressed) are
// listed, pruned and restored alike.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace store {

struct BackupInfo {
    std::string path;
    std::string stamp;        // "yyyy-mm-dd hh:mm:ss"
    std::string reason;       // "delete-all", "import", "upgrade", "daily", "manual", "before-restore"
    std::int64_t goods = -1;  // -1 when the copy cannot be read
    std::int64_t salesLines = -1;
    std::uintmax_t bytes = 0;  // on disk
    bool packed = false;       // compressed; false for copies of earlier releases
};

// The disk budget when the seller has set none: at most 2 GB, or a tenth of
// `freeBytes` when that is less.
std::uint64_t AutomaticBackupBudget(std::uint64_t freeBytes);

// Called between copy steps with the pages still to copy and the total, so a
// window can keep painting while a large database is copied.
using BackupProgress = std::function<void(int remaining, int total)>;

class BackupManager {
public:
    // `databaseFile` may be a server address (store/ServerBackup.h).
    explicit BackupManager(std::string databaseFile);

    std::string Folder() const;

    // Copies the database, checks the copy and keeps it compressed; returns its path.
    // Throws StoreError (and leaves no file behind) when the copy cannot be
    // written or does not check out.
    std::string Backup(const std::string& reason, const BackupProgress& progress = {});

    // Newest first.
    std::vector<BackupInfo> List(bool withCounts = true) const;
    std::optional<BackupInfo> NewestGood() const;

    // True when no backup of any kind was taken today.
    bool DailyBackupDue() const;

    // Replaces the database by the backup. A compressed backup is unpacked
    // beside the others and checked (its stream, then the database) before
    // anything is replaced; a damaged one is refused with the database as it
    // was. A healthy database is backed up first ("before-restore"); a
    // damaged one is moved into the backup folder.
    // Every connection to the database must be closed by the caller before
    // and reopened after.
    void Restore(const std::string& backupFile, const BackupProgress& progress = {});

    // Keeps the 20 newest event backups and the newest daily backup of each
    // of the last 30 days, within the disk budget: when those take more, the
    // oldest go first, but the newest three are always kept. Removes the rest.
    void Prune();

    // The budget in bytes; 0 (the default) is the automatic one.
    void SetBudget(std::uint64_t bytes) { FBudget = bytes; }
    bool AutomaticBudget() const { return FBudget == 0; }
    // The budget in force: the one set, or the automatic one, where the copies
    // themselves count as free space.
    std::uint64_t Budget() const;
    // What all copies take on disk.
    std::uintmax_t UsedBytes() const;

    // Test seam: called with the scratch file's path before a backup is
    // written; returning true makes the write fail like a full disk.
    static void SetWriteFault(std::function<bool(const std::string&)> fault);

private:
    void RestoreOnServer(const std::string& backupFile, const BackupProgress& progress);

    std::string FDatabase;
    bool FPruneAfterBackup = true;
    std::uint64_t FBudget = 0;
};

// "ok", or the first problems SQLite's integrity check finds. A file that is
// not a database at all is reported too.
std::string CheckDatabase(const std::string& file, bool quick = false);
std::string CheckDatabase(const std::string& file, bool quick, const BackupProgress& progress);

// Removes the scratch files our own writers leave behind when they are killed
// (workbooks being saved, backups being copied) from `folder`, when they are
// older than `minAge`; returns how many were removed.
int RemoveLeftovers(const std::string& folder, std::chrono::seconds minAge = std::chrono::minutes(10));

// What to tell the seller about a damaged database: the problem, the newest
// good backup, and how to restore it in the window and on the command line.
std::string DamagedDatabaseAdvice(const std::string& databaseFile, const std::string& problem);

// Goods and sales lines in a database file.
std::pair<std::int64_t, std::int64_t> CountRows(const std::string& file);

}  // namespace store
