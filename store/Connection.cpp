#include "store/Connection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "store/Server.h"
#include "store/SqlFunctions.h"
#include "store/SqlTranslate.h"

namespace store {
namespace {

std::atomic<int> gOpenCount{0};
std::function<bool()> gStepFault;
std::mutex gDamageLock;
std::string gDamage;
std::mutex gDefaultLock;
std::string gDefault;

const char* const kDamagedAdvice =
    "数据库文件已损坏, 为了不丢失数据, 程序不再写入。请在 \"工具 → 数据备份\" 中恢复最新的完好备份, "
    "或在命令行运行 \"tallybrook backups\" 和 \"tallybrook restore 备份文件\"。";

// A WAL database leaves "-shm" and "-wal" beside it, created with the
// database file's own permissions. After a database that was read-only is made
// writable again, a read-only "-shm" would keep every write failing; ours are
// given the database's write permission back.
void MatchCompanionModes(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (::access(path.c_str(), W_OK) != 0) return;
    for (const char* suffix : {"-shm", "-wal"}) {
        std::string companion = path + suffix;
        struct stat st {};
        if (::lstat(companion.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if ((st.st_mode & S_IWUSR) == 0) ::chmod(companion.c_str(), (st.st_mode | S_IWUSR | S_IRUSR) & 07777);
    }
}

}  // namespace

std::string DefaultDatabase()
{
    {
        std::lock_guard lock(gDefaultLock);
        if (!gDefault.empty()) return gDefault;
    }
    const char* env = std::getenv(kDatabaseUrlVariable);
    return env && *env ? env : kDatabaseFile;
}

void SetDefaultDatabase(std::string address)
{
    std::lock_guard lock(gDefaultLock);
    gDefault = std::move(address);
}

bool DefaultIsServer() { return IsServerAddress(DefaultDatabase()); }

void MarkDatabaseDamaged(const std::string& problem)
{
    std::lock_guard lock(gDamageLock);
    if (gDamage.empty()) gDamage = problem.empty() ? "file is damaged" : problem;
}

void ClearDatabaseDamage()
{
    std::lock_guard lock(gDamageLock);
    gDamage.clear();
}

std::string DatabaseDamage()
{
    std::lock_guard lock(gDamageLock);
    return gDamage;
}

void CreatePrivateFile(const std::string& file)
{
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw StoreError("无法创建 " + file + ": " + std::strerror(errno));
    ::close(fd);
}

void CreatePrivateFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw StoreError("无法创建文件夹 " + folder + ": " + std::strerror(errno));
}

[[noreturn]] void ThrowSqlite(sqlite3* db, const std::string& context)
{
    std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
    int code = db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
        MarkDatabaseDamaged(msg);
        throw EDatabaseDamaged(std::string(kDamagedAdvice) + "\n(" + msg + ")");
    }
    throw StoreError(context.empty() ? msg : context + ": " + msg);
}

Statement::Statement(Connection& c, const std::string& sql)
{
    if (c.IsServer()) {
        FServer = std::make_unique<ServerStatement>(c.Server(), sql);
        return;
    }
    FDb = c.Handle();
    if (sqlite3_prepare_v2(FDb, sql.c_str(), static_cast<int>(sql.size()), &FStmt, nullptr) != SQLITE_OK)
        ThrowSqlite(FDb, "");
    if (!FStmt) throw StoreError("空的 SQL 语句");
}

Statement::~Statement() { sqlite3_finalize(FStmt); }

void Statement::Bind(int index, const Value& v)
{
    if (FServer) return FServer->Bind(index, v);
    int rc = SQLITE_OK;
    if (auto* i = std::get_if<std::int64_t>(&v))
        rc = sqlite3_bind_int64(FStmt, index, *i);
    else if (auto* d = std::get_if<double>(&v))
        rc = sqlite3_bind_double(FStmt, index, *d);
    else if (auto* s = std::get_if<std::string>(&v))
        rc = sqlite3_bind_text(FStmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else
        rc = sqlite3_bind_null(FStmt, index);
    if (rc != SQLITE_OK) ThrowSqlite(FDb, "");
}

void Statement::Bind(const Params& params)
{
    for (const Param& p : params) {
        std::string name = p.name.empty() || p.name[0] != ':' ? ":" + p.name : p.name;
        int index = FServer ? FServer->ParamIndex(name) : sqlite3_bind_parameter_index(FStmt, name.c_str());
        if (index == 0) throw StoreError("SQL 语句中没有参数 " + name);
        Bind(index, p.value);
    }
}

bool Statement::Step()
{
    if (Connection::StepFault()) throw StoreError("写入数据库失败 (模拟故障)");
    if (FServer) return FServer->Step();
    if (!sqlite3_stmt_readonly(FStmt)) {
        std::string damage = DatabaseDamage();
        if (!damage.empty()) throw EDatabaseDamaged(std::string(kDamagedAdvice) + "\n(" + damage + ")");
    }
    int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    ThrowSqlite(FDb, "");
}

void Statement::Reset()
{
    if (FServer) return FServer->Reset();
    sqlite3_reset(FStmt);
}

int Statement::ColumnCount() const { return FServer ? FServer->ColumnCount() : sqlite3_column_count(FStmt); }

Value Statement::Column(int i) const
{
    if (FServer) return FServer->Column(i);
    switch (sqlite3_column_type(FStmt, i)) {
    case SQLITE_INTEGER: return static_cast<std::int64_t>(sqlite3_column_int64(FStmt, i));
    case SQLITE_FLOAT: return sqlite3_column_double(FStmt, i);
    case SQLITE_NULL: return Null{};
    default: {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, i));
        return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(FStmt, i)));
    }
    }
}

namespace {
std::string Text(const char* p) { return p ? p : ""; }
std::string LowerText(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
}  // namespace

std::string Statement::ColumnName(int i) const
{
    return FServer ? FServer->ColumnName(i) : Text(sqlite3_column_name(FStmt, i));
}
std::string Statement::ColumnTable(int i) const
{
    return LowerText(FServer ? FServer->ColumnTable(i) : Text(sqlite3_column_table_name(FStmt, i)));
}
std::string Statement::ColumnOrigin(int i) const
{
    return FServer ? FServer->ColumnOrigin(i) : Text(sqlite3_column_origin_name(FStmt, i));
}
std::string Statement::ColumnType(int i) const
{
    return LowerText(FServer ? FServer->ColumnType(i) : Text(sqlite3_column_decltype(FStmt, i)));
}

Connection::Connection(std::string file) : FFile(std::move(file)) {}

Connection::~Connection() { Close(); }

std::string Connection::FullPath() const
{
    if (IsServer()) return RedactedAddress(FFile);
    return std::filesystem::absolute(FFile).lexically_normal().string();
}

bool Connection::IsServer() const { return FServer || IsServerAddress(FFile); }

void Connection::Open()
{
    if (FDb || FServer) return;
    if (IsServerAddress(FFile)) {
        FServer = std::make_unique<ServerLink>(FFile);
        ++gOpenCount;
        return;
    }
    std::string path = FullPath();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw StoreError("找不到数据库文件: " + path +
                         "\n请在数据库所在的文件夹中启动程序, 或用 \"tallybrook new-database\" 新建数据库。");
    MatchCompanionModes(path);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        throw StoreError("无法打开数据库 " + path + ": " + msg);
    }
    sqlite3_busy_timeout(db, 1000);
    // Checked every thousand steps of the statement engine: a set flag ends
    // the running statement as an interruption.
    sqlite3_progress_handler(
        db, 1000, [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0; }, &FInterrupted);
    char* err = nullptr;
    int rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        sqlite3_close_v2(db);
        throw StoreError("无法打开数据库 " + path + ": " + msg);
    }
    RegisterFunctions(db);
    AddLaterIndexes(db);
    FDb = db;
    ++gOpenCount;
}

void Connection::Close()
{
    if (FServer) {
        FServer.reset();
        --gOpenCount;
        return;
    }
    if (!FDb) return;
    sqlite3_close_v2(FDb);
    FDb = nullptr;
    --gOpenCount;
}

sqlite3* Connection::Handle()
{
    if (IsServer()) throw StoreError("这个操作只适用于本机的数据库文件, 不适用于数据库服务器");
    Open();
    return FDb;
}

ServerLink& Connection::Server()
{
    Open();
    if (!FServer) throw StoreError("数据库不在服务器上: " + FullPath());
    return *FServer;
}

int Connection::Execute(std::string_view sql, const Params& params)
{
    // The server's statement does its own translation, from the same text.
    Statement st(*this, IsServer() ? std::string(sql) : TranslateSql(sql));
    st.Bind(params);
    while (st.Step()) {
    }
    return Changes();
}

int Connection::Changes()
{
    if (IsServer()) return Server().Changes();
    return sqlite3_changes(Handle());
}

std::int64_t Connection::LastInsertId()
{
    if (!IsServer()) return sqlite3_last_insert_rowid(Handle());
    Statement st(*this, "select lastval()");
    return st.Step() ? std::get<std::int64_t>(st.Column(0)) : 0;
}

std::int64_t Connection::DataVersion()
{
    // On a server: the next transaction number, which moves on whenever any
    // session writes (a list may then be read again without need, never
    // kept stale).
    Statement st(*this,
                 IsServer() ? "select pg_snapshot_xmax(pg_current_snapshot())::text::bigint" : "PRAGMA data_version");
    if (!st.Step()) return 0;
    Value v = st.Column(0);
    return std::holds_alternative<std::int64_t>(v) ? std::get<std::int64_t>(v) : 0;
}

void Connection::Begin() { Execute("begin immediate"); }
void Connection::Commit() { Execute("commit"); }
void Connection::Rollback()
{
    if (FServer) return FServer->Rollback();
    if (FDb && !sqlite3_get_autocommit(FDb)) sqlite3_exec(FDb, "rollback", nullptr, nullptr, nullptr);
}

int Connection::OpenCount() { return gOpenCount.load(); }
void Connection::SetStepFault(std::function<bool()> fault) { gStepFault = std::move(fault); }
bool Connection::StepFault() { return gStepFault && gStepFault(); }

Transaction::Transaction(Connection& c) : FConn(c) { FConn.Begin(); }
Transaction::~Transaction()
{
    if (!FDone) FConn.Rollback();
}
void Transaction::Commit()
{
    FConn.Commit();
    FDone = true;
}

}  // namespace store
