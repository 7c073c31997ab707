// One connection to the seller's database: "ledgr.mdb", a SQLite file, or a
// PostgreSQL database when the address names a server (store/Server.h).
//
// Each window owns its own Connection. Statements arrive in the windows'
// dialect and are translated here (SqlTranslate.h); user text always travels
// as a bound parameter, never inside the statement text.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <memory>
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

// The database server cannot be reached, refused the login, or the session
// broke off; the message says what the seller can do.
class EServerUnavailable : public StoreError {
public:
    using StoreError::StoreError;
};

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
inline constexpr const char* kDatabaseUrlVariable = "TALLYBROOK_DATABASE_URL";

// Where a Connection made without a name goes: the address given to
// SetDefaultDatabase (the program passes the one in config.ini), else the
// environment variable TALLYBROOK_DATABASE_URL, else ledgr.mdb here.
std::string DefaultDatabase();
void SetDefaultDatabase(std::string address);
// True when DefaultDatabase() is a server rather than a file.
bool DefaultIsServer();

class Connection;
class ServerLink;
class ServerStatement;

// A prepared statement, finalized when it goes out of scope. On a server the
// statement is translated to its dialect and runs at the first step.
class Statement {
public:
    Statement(Connection& c, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(const Params& params);
    void Bind(int index, const Value& v);
    bool Step();   // true while a row is available
    void Reset();  // ready to step again from the start; bindings stay
    Value Column(int i) const;
    int ColumnCount() const;
    // What a result column is: its name, the table and column it comes from
    // ("" for computed ones) and the column's declared type, lower case.
    std::string ColumnName(int i) const;
    std::string ColumnTable(int i) const;
    std::string ColumnOrigin(int i) const;
    std::string ColumnType(int i) const;

private:
    sqlite3* FDb = nullptr;
    sqlite3_stmt* FStmt = nullptr;
    std::unique_ptr<ServerStatement> FServer;
};

class Connection {
public:
    explicit Connection(std::string file = DefaultDatabase());
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
    bool Connected() const { return FDb != nullptr || FServer != nullptr; }
    // The file's full path, or the server's address without its password.
    std::string FullPath() const;
    // The file's full path, or the server's whole address (for the backup
    // tools, which must log in): never shown to the seller.
    std::string Address() const { return IsServer() ? FFile : FullPath(); }
    bool IsServer() const;

    // Runs a statement without a result; returns the number of rows changed.
    int Execute(std::string_view sql, const Params& params = {});
    // The SQLite handle; refused on a server.
    sqlite3* Handle();
    ServerLink& Server();
    // Rows changed by the last statement, and the key the last insert gave.
    int Changes();
    std::int64_t LastInsertId();

    // Changes whenever another connection (of this or another process)
    // commits to the database; a window compares it to know its list is stale.
    std::int64_t DataVersion();

    void Begin();
    void Commit();
    void Rollback();

    // Creates a new database with the tables and the default account;
    // refuses to overwrite an existing file (or a server database holding
    // the tables already).
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
    std::unique_ptr<ServerLink> FServer;
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
