#include "store/Backup.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <utility>

#include "store/BackupPack.h"
#include "store/Connection.h"
#include "store/Server.h"
#include "store/ServerBackup.h"

namespace fs = std::filesystem;

namespace store {
namespace {

std::function<bool(const std::string&)> gWriteFault;

constexpr int kEventCopies = 20;
constexpr int kDailyDays = 30;
constexpr int kNewestAlwaysKept = 3;
constexpr std::uint64_t kBudgetCap = std::uint64_t(2) << 30;  // 2 GB

// An sqlite3 handle closed when it goes out of scope.
struct Db {
    sqlite3* h = nullptr;
    Db(const std::string& file, int flags)
    {
        if (sqlite3_open_v2(file.c_str(), &h, flags, nullptr) != SQLITE_OK) {
            std::string msg = h ? sqlite3_errmsg(h) : "out of memory";
            sqlite3_close_v2(h);
            h = nullptr;
            throw StoreError("无法打开 " + file + ": " + msg);
        }
        sqlite3_busy_timeout(h, 1000);
    }
    ~Db() { sqlite3_close_v2(h); }
};

std::string Now(const char* format)
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

// Copies `from` into `to` page by page, 1024 pages (4 MB) per step.
void CopyPages(sqlite3* from, sqlite3* to, const BackupProgress& progress)
{
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) ThrowSqlite(to, "备份失败");
    int rc;
    do {
        rc = sqlite3_backup_step(b, 1024);
        if (progress) progress(sqlite3_backup_remaining(b), sqlite3_backup_pagecount(b));
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(5);
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) ThrowSqlite(to, "备份失败");
}

const std::regex kName(R"(ledgr-(\d{4})(\d{2})(\d{2})-(\d{2})(\d{2})(\d{2})-([a-z-]+?)(?:-\d+)?\.mdb(\.gz)?)");

std::optional<BackupInfo> Parse(const fs::path& p)
{
    std::smatch m;
    std::string name = p.filename().string();
    if (!std::regex_match(name, m, kName)) return std::nullopt;
    BackupInfo i;
    i.path = p.string();
    i.stamp = m[1].str() + "-" + m[2].str() + "-" + m[3].str() + " " + m[4].str() + ":" + m[5].str() + ":" + m[6].str();
    i.reason = m[7].str();
    i.packed = m[8].matched;
    std::error_code ec;
    i.bytes = fs::file_size(p, ec);
    if (ec) i.bytes = 0;
    return i;
}

void RemoveWithCompanions(const fs::path& p)
{
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(p.string() + suffix, ec);
}

void FailWhenInjected(const std::string& scratch)
{
    if (gWriteFault && gWriteFault(scratch)) throw StoreError("磁盘已满");
}

// Copies the database page by page into the new file `scratch` and checks the copy.
void WriteCheckedCopy(const std::string& database, const std::string& scratch, const BackupProgress& progress)
{
    FailWhenInjected(scratch);
    fs::remove(scratch);
    CreatePrivateFile(scratch);
    {
        Db from(database, SQLITE_OPEN_READONLY);
        Db to(scratch, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        CopyPages(from.h, to.h, progress);
        sqlite3_exec(to.h, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    }
    // quick_check walks every page and record of the copy; the full
    // integrity check would also cross-check every index entry, which
    // costs seconds on a year of sales and finds nothing a page copy can break.
    std::string check = CheckDatabase(scratch, true, progress);
    if (check != "ok") throw StoreError("备份副本检查未通过: " + check);
}

std::string DamagedCopyText(const std::string& backupFile, const std::string& problem)
{
    return "备份文件 " + backupFile + " 已损坏, 不能恢复: " + problem + "\n数据库没有改动。请选择另一个备份恢复。";
}

// A backup ready to be read as a database: a plain copy as it is, a packed
// one unpacked (and its stream checked) into a scratch file in the backup
// folder, removed again when this goes out of scope.
class UnpackedCopy {
public:
    UnpackedCopy(const std::string& backupFile, const std::string& folder, const BackupProgress& progress)
    {
        if (!IsPackedName(backupFile)) {
            FPath = backupFile;
            return;
        }
        CreatePrivateFolder(folder);
        FPath = FScratch = (fs::path(folder) / "ledgr-restoring.mdb.part").string();
        std::string problem;
        try {
            FailWhenInjected(FScratch);
            RemoveWithCompanions(FScratch);
            CreatePrivateFile(FScratch);
            problem = UnpackFile(backupFile, FScratch, progress);
        } catch (const std::exception& e) {
            RemoveWithCompanions(FScratch);
            throw StoreError("无法解压备份文件 " + backupFile + ": " + e.what() +
                             "\n数据库没有改动。请检查磁盘空间后再试。");
        }
        if (problem != "ok") {
            RemoveWithCompanions(FScratch);
            throw StoreError(DamagedCopyText(backupFile, problem));
        }
    }
    ~UnpackedCopy()
    {
        if (!FScratch.empty()) RemoveWithCompanions(FScratch);
    }
    UnpackedCopy(const UnpackedCopy&) = delete;
    UnpackedCopy& operator=(const UnpackedCopy&) = delete;

    const std::string& Path() const { return FPath; }
    // Hands the unpacked file over to the caller; empty for a plain copy.
    std::string Release() { return std::exchange(FScratch, {}); }

private:
    std::string FPath;
    std::string FScratch;
};

// True when the copy can be restored: a packed copy's stream is whole (its
// database was checked before it was packed), a plain copy passes the quick check.
bool CopyIsSound(const BackupInfo& b)
{
    if (!b.packed) return CheckDatabase(b.path, true) == "ok";
    try {
        return UnpackFile(b.path, "") == "ok";
    } catch (const StoreError&) {
        return false;
    }
}

}  // namespace

std::string CheckDatabase(const std::string& file, bool quick) { return CheckDatabase(file, quick, {}); }

std::string CheckDatabase(const std::string& file, bool quick, const BackupProgress& progress)
{
    try {
        Db db(file, SQLITE_OPEN_READONLY);
        // Long checks call back now and then, so a waiting window keeps painting.
        if (progress)
            sqlite3_progress_handler(
                db.h, 200000,
                [](void* p) {
                    (*static_cast<const BackupProgress*>(p))(0, 0);
                    return 0;
                },
                const_cast<BackupProgress*>(&progress));
        sqlite3_stmt* st = nullptr;
        std::string sql = quick ? "PRAGMA quick_check(5)" : "PRAGMA integrity_check(5)";
        if (sqlite3_prepare_v2(db.h, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return sqlite3_errmsg(db.h);
        std::string out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            out += (out.empty() ? "" : "; ") + std::string(t ? t : "");
        }
        if (rc != SQLITE_DONE) out = sqlite3_errmsg(db.h);
        sqlite3_finalize(st);
        return out;
    } catch (const StoreError& e) {
        return e.what();
    }
}

std::pair<std::int64_t, std::int64_t> CountRows(const std::string& file)
{
    Db db(file, SQLITE_OPEN_READONLY);
    auto count = [&](const char* sql) -> std::int64_t {
        sqlite3_stmt* st = nullptr;
        std::int64_t n = -1;
        if (sqlite3_prepare_v2(db.h, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return n;
    };
    return {count("select count(*) from spxx"), count("select count(*) from xssp")};
}

void BackupManager::SetWriteFault(std::function<bool(const std::string&)> fault) { gWriteFault = std::move(fault); }

BackupManager::BackupManager(std::string databaseFile)
    : FDatabase(IsServerAddress(databaseFile) ? databaseFile : fs::absolute(databaseFile).lexically_normal().string())
{}

// Books on a server keep their backups in the data folder the program runs in.
std::string BackupManager::Folder() const
{
    if (IsServerAddress(FDatabase)) return fs::absolute("backups").string();
    return (fs::path(FDatabase).parent_path() / "backups").string();
}

std::string BackupManager::Backup(const std::string& reason, const BackupProgress& progress)
{
    try {
        CreatePrivateFolder(Folder());
    } catch (const StoreError&) {  // reported below, where the copy cannot be made
    }
    std::string base = (fs::path(Folder()) / ("ledgr-" + Now("%Y%m%d-%H%M%S") + "-" + reason)).string();
    std::string target = base + ".mdb.gz";
    for (int n = 2; fs::exists(target); ++n) target = base + "-" + std::to_string(n) + ".mdb.gz";
    // The checked page copy ("….mdb.part") is packed into "….mdb.gz.part",
    // which takes the copy's name once it is complete.
    std::string scratch = target.substr(0, target.size() - 3) + ".part";
    std::string packed = target + ".part";
    try {
        if (IsServerAddress(FDatabase)) {
            // A server's copy is a pg_dump archive, compressed by pg_dump itself.
            std::string dump = target.substr(0, target.size() - 3);
            FailWhenInjected(scratch);
            fs::remove(scratch);
            CreatePrivateFile(scratch);
            DumpServer(FDatabase, scratch);
            fs::rename(scratch, dump);
            if (FPruneAfterBackup) Prune();
            return dump;
        }
        WriteCheckedCopy(FDatabase, scratch, progress);
        PackedNote note;
        std::tie(note.goods, note.salesLines) = CountRows(scratch);
        FailWhenInjected(packed);
        fs::remove(packed);
        CreatePrivateFile(packed);
        PackFile(scratch, packed, note, progress);
        fs::rename(packed, target);
        RemoveWithCompanions(scratch);
    } catch (const std::exception& e) {
        RemoveWithCompanions(scratch);
        RemoveWithCompanions(packed);
        throw StoreError("无法备份数据库到 " + Folder() + ": " + e.what() +
                         "\n为保护您的数据, 操作已取消。请检查磁盘空间和文件夹权限后再试。");
    }
    if (FPruneAfterBackup) Prune();
    return target;
}

void BackupManager::RestoreOnServer(const std::string& backupFile, const BackupProgress& progress)
{
    std::string check = CheckServerDump(backupFile);
    if (check != "ok") throw StoreError("备份文件 " + backupFile + " 不是数据库服务器的备份, 不能恢复: " + check);
    FPruneAfterBackup = false;  // the copy being restored must survive this backup
    try {
        Backup("before-restore", progress);
    } catch (...) {
        FPruneAfterBackup = true;
        throw;
    }
    FPruneAfterBackup = true;
    RestoreServer(FDatabase, backupFile);
    Prune();
}

std::vector<BackupInfo> BackupManager::List(bool withCounts) const
{
    std::vector<BackupInfo> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Folder(), ec)) {
        auto info = Parse(e.path());
        if (!info) continue;
        if (withCounts && info->packed) {
            PackedNote note = ReadPackedNote(info->path);
            info->goods = note.goods;
            info->salesLines = note.salesLines;
        } else if (withCounts) {
            try {
                std::tie(info->goods, info->salesLines) = CountRows(info->path);
            } catch (const StoreError&) {
            }
        }
        out.push_back(*info);
    }
    std::sort(out.begin(), out.end(), [](const BackupInfo& a, const BackupInfo& b) {
        if (a.stamp != b.stamp) return a.stamp > b.stamp;
        // Within one second, the file written last is the newer one.
        std::error_code e1, e2;
        return fs::last_write_time(a.path, e1) > fs::last_write_time(b.path, e2);
    });
    return out;
}

std::optional<BackupInfo> BackupManager::NewestGood() const
{
    for (const BackupInfo& b : List(false))
        if (CopyIsSound(b)) return b;
    return std::nullopt;
}

bool BackupManager::DailyBackupDue() const
{
    std::string today = Now("%Y-%m-%d");
    for (const BackupInfo& b : List(false))
        if (b.stamp.compare(0, 10, today) == 0) return false;
    return true;
}

namespace {

// The 20 newest event copies and the newest daily copy of each of the last 30 days.
std::set<std::string> KeptByCount(const std::vector<BackupInfo>& all)
{
    std::set<std::string> keep;
    int events = 0;
    std::set<std::string> days;
    std::string oldestDay = [] {
        std::time_t t = std::time(nullptr) - (kDailyDays - 1) * 24 * 3600;
        std::tm tm{};
        localtime_r(&t, &tm);
        char buf[16];
        std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
        return std::string(buf);
    }();
    for (const BackupInfo& b : all) {  // newest first
        if (b.reason != "daily" && events < kEventCopies) {
            keep.insert(b.path);
            ++events;
        }
        std::string day = b.stamp.substr(0, 10);
        if (b.reason == "daily" && day >= oldestDay && days.insert(day).second) keep.insert(b.path);
    }
    return keep;
}

// Drops kept copies from the oldest on while they take more than `budget`;
// the newest three stay whatever they take.
void TrimToBudget(const std::vector<BackupInfo>& all, std::set<std::string>& keep, std::uint64_t budget)
{
    std::uintmax_t used = 0;
    int kept = 0;
    for (const BackupInfo& b : all) {  // newest first
        if (!keep.count(b.path)) continue;
        used += b.bytes;
        if (++kept > kNewestAlwaysKept && used > budget) keep.erase(b.path);
    }
}

}  // namespace

std::uint64_t AutomaticBackupBudget(std::uint64_t freeBytes) { return std::min(kBudgetCap, freeBytes / 10); }

std::uintmax_t BackupManager::UsedBytes() const
{
    std::uintmax_t used = 0;
    for (const BackupInfo& b : List(false)) used += b.bytes;
    return used;
}

std::uint64_t BackupManager::Budget() const
{
    if (FBudget) return FBudget;
    std::error_code ec;
    fs::space_info space = fs::space(fs::path(FDatabase).parent_path(), ec);
    if (ec) return kBudgetCap;
    // Counted as free, the copies do not shrink the budget they are measured against.
    return AutomaticBackupBudget(space.available + UsedBytes());
}

void BackupManager::Prune()
{
    std::vector<BackupInfo> all = List(false);
    std::set<std::string> keep = KeptByCount(all);
    TrimToBudget(all, keep, Budget());
    for (const BackupInfo& b : all)
        if (!keep.count(b.path)) RemoveWithCompanions(b.path);
}

void BackupManager::Restore(const std::string& backupFile, const BackupProgress& progress)
{
    std::error_code missing;
    if (!fs::is_regular_file(backupFile, missing))
        throw StoreError("找不到备份文件: " + fs::absolute(backupFile).string() +
                         "\n请用 \"tallybrook backups\" 查看现有的备份文件。");
    if (IsServerAddress(FDatabase)) return RestoreOnServer(backupFile, progress);
    UnpackedCopy source(backupFile, Folder(), progress);
    std::string check = CheckDatabase(source.Path(), false, progress);
    if (check != "ok") throw StoreError(DamagedCopyText(backupFile, check));
    if (fs::exists(FDatabase) && CheckDatabase(FDatabase, true) == "ok") {
        FPruneAfterBackup = false;  // the copy being restored must survive this backup
        try {
            Backup("before-restore", progress);
        } catch (...) {
            FPruneAfterBackup = true;
            throw;
        }
        FPruneAfterBackup = true;
        {
            Db from(source.Path(), SQLITE_OPEN_READONLY);
            Db to(FDatabase, SQLITE_OPEN_READWRITE);
            CopyPages(from.h, to.h, progress);
        }
        Prune();
        ClearDatabaseDamage();
        return;
    }
    // A damaged database cannot take pages: keep it aside and copy the file in.
    CreatePrivateFolder(Folder());
    if (fs::exists(FDatabase)) fs::rename(FDatabase, fs::path(Folder()) / ("damaged-" + Now("%Y%m%d-%H%M%S") + ".mdb"));
    RemoveWithCompanions(FDatabase);
    std::string scratch = FDatabase + ".restore";
    fs::remove(scratch);
    std::string unpacked = source.Release();
    if (!unpacked.empty())
        fs::rename(unpacked, scratch);
    else
        fs::copy_file(backupFile, scratch);  // takes the backup's mode, 0600 for ours
    fs::permissions(scratch,
                    fs::perms::owner_read | fs::perms::owner_write);  // older backups were 0644
    fs::rename(scratch, FDatabase);
    ClearDatabaseDamage();
}

}  // namespace store

namespace store {

int RemoveLeftovers(const std::string& folder, std::chrono::seconds minAge)
{
    // Names our own writers give their scratch files: a workbook being saved
    // ("name.xls.tmp-Ab12Cd"), a backup being copied or packed ("....mdb.part",
    // "....mdb.gz.part") and one being unpacked for a restore.
    static const std::regex kScratch(R"(.+\.tmp-[A-Za-z0-9]{6}|ledgr-.+\.mdb(\.gz)?\.part)");
    int removed = 0;
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        std::error_code fe;
        if (!e.is_regular_file(fe) || e.is_symlink(fe)) continue;
        if (!std::regex_match(e.path().filename().string(), kScratch)) continue;
        // A file still being written by another running copy is young: left alone.
        if (now - fs::last_write_time(e.path(), fe) < minAge || fe) continue;
        if (fs::remove(e.path(), fe)) ++removed;
    }
    return removed;
}

std::string DamagedDatabaseAdvice(const std::string& databaseFile, const std::string& problem)
{
    std::string text = "数据库文件已损坏: " + problem + "\n为了不丢失数据, 请不要继续录入。";
    auto good = BackupManager(databaseFile).NewestGood();
    if (!good) return text + "没有找到可以恢复的完好备份, 请联系技术支持。";
    return text + "最新的完好备份是 " + good->path + " (" + good->stamp +
           ")。\n请在程序的 \"工具 → 数据备份\" 中恢复它, " + "或运行: tallybrook restore \"" + good->path + "\"";
}

}  // namespace store
