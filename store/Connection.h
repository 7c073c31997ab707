// One connection to the seller's database "ledgr.mdb", a SQLite file.
//
// Each window owns its own Connection. Statements arrive in the windows'
// dialect and are translated here (SqlTranslate.h); user text always travels
// as a bound parameter, never inside the statement text.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/Value.h"

namespace store {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The database file is damaged (SQLite found broken pages, or the check at
// start did). Once raised, every later write in this process is refused too,
// so nothing is added to a file whose sales would be lost at the restore.
class EDatabaseDamaged : public StoreError {
public:
    using StoreError::StoreError;
};

// Marks the database as damaged for this process; `problem` says what was found.
void MarkDatabaseDamaged(const std::string& problem);
// After a restore replaced the file.
void ClearDatabaseDamage();
// The problem found, or empty while the database is taken as sound.
std::string DatabaseDamage();

struct Param {
    std::string name;  // ":spbm" or "spbm"
    Value value;
};
using Params = std::vector<Param>;

// The database and its backups hold the accounts' passwords: they are created
// readable by this user only, from their first byte (SQLite gives the -wal
// and -shm files the database's mode). Neither touches the process umask.
// Creates File empty with mode 0600; throws when it exists or cannot be made.
void CreatePrivateFile(const std::string& file);
// Creates Folder with mode 0700 when it does not exist yet.
void CreatePrivateFolder(const std::string& folder);

inline constexpr const char* kDatabaseFile = "ledgr.mdb";

// A prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(const Params& params);
    void Bind(int index, const Value& v);
    bool Step();  // true while a row is available
    Value Column(int i) const;
    int ColumnCount() const;
    sqlite3_stmt* Handle() const { return FStmt; }

private:
    sqlite3* FDb;
    sqlite3_stmt* FStmt = nullptr;
};

class Connection {
public:
    explicit Connection(std::string file = kDatabaseFile);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the existing database; a missing file fails with its full path.
    void Open();
    void Close();
    // Makes the statement running on this connection, and every later one,
    // fail soon; callable from any thread. For a connection opened for one
    // long read that the seller no longer waits for.
    void Interrupt() { FInterrupted = true; }
    bool Connected() const { return FDb != nullptr; }
    std::string FullPath() const;

    // Runs a statement without a result; returns the number of rows changed.
    int Execute(std::string_view sql, const Params& params = {});
    sqlite3* Handle();

    // Changes whenever another connection (of this or another process)
    // commits to the database; a window compares it to know its list is stale.
    std::int64_t DataVersion();

    void Begin();
    void Commit();
    void Rollback();

    // Creates a new database with the tables and the default account;
    // refuses to overwrite an existing file.
    static void CreateDatabase(const std::string& file = kDatabaseFile);

    // Number of connections open in this process (start-up checks rely on it).
    static int OpenCount();

    // Test seam: called before every statement step; returning true makes
    // that step fail as a store error would.
    static void SetStepFault(std::function<bool()> fault);
    static bool StepFault();

private:
    std::string FFile;
    sqlite3* FDb = nullptr;
    std::atomic<bool> FInterrupted{false};
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Connection& c);
    ~Transaction();
    void Commit();

private:
    Connection& FConn;
    bool FDone = false;
};

// Creates the indexes that databases of older releases lack.
void AddLaterIndexes(sqlite3* db);

// One read transaction over several selects, rolled back at the end: a save
// from another connection cannot slip in between them, so lines and their
// totals come from one snapshot.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Connection& c) : FConn(c) { FConn.Execute("begin"); }
    ~ReadSnapshot() { FConn.Rollback(); }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    Connection& FConn;
};

[[noreturn]] void ThrowSqlite(sqlite3* db, const std::string& context);

}  // namespace store
