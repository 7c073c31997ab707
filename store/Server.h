// The store's second home: a PostgreSQL database reached through libpq.
//
// A Connection whose database is a server address ("postgresql://..." or
// "host=... dbname=...") runs its statements here. Statements arrive in the
// windows' dialect and are translated by TranslateServerSql; values always
// travel as parameters, in text form, typed by the server from the statement.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/Value.h"

struct pg_conn;
struct pg_result;

namespace store {

// True for a server address, false for a database file name.
bool IsServerAddress(std::string_view database);
// The address with any password replaced by "***", for messages and logs.
std::string RedactedAddress(const std::string& address);

// One session on the server.
class ServerLink {
public:
    explicit ServerLink(std::string address);  // connects; throws EServerUnavailable
    ~ServerLink();
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    // Runs `sql` (already in the server's dialect) with text parameters; the
    // caller frees the result. Throws a store error when the server refuses.
    pg_result* Exec(const std::string& sql, const std::vector<std::optional<std::string>>& values);
    void Run(const std::string& sql);  // without parameters or result
    void Rollback();                   // leaves any open transaction; never throws

    int Changes() const { return FChanges; }
    std::string TableName(unsigned table);
    std::string ColumnName(unsigned table, int column);
    const std::string& Address() const { return FAddress; }

private:
    void Connect();
    [[noreturn]] void Fail(pg_result* r);

    std::string FAddress;
    pg_conn* FConn = nullptr;
    bool FInTransaction = false;  // a lost session then must not come back silently
    int FChanges = 0;
    std::map<unsigned, std::string> FTables;
    std::map<std::pair<unsigned, int>, std::string> FColumns;
};

// A statement on the server, run at its first step with the values bound so far.
class ServerStatement {
public:
    ServerStatement(ServerLink& link, std::string_view sql);
    ~ServerStatement();
    ServerStatement(const ServerStatement&) = delete;
    ServerStatement& operator=(const ServerStatement&) = delete;

    int ParamIndex(const std::string& name) const;  // 1-based; 0 when absent
    void Bind(int index, const Value& v);
    bool Step();
    void Reset();  // ready to run again; bindings stay
    int ColumnCount();
    Value Column(int i) const;
    std::string ColumnName(int i);
    std::string ColumnTable(int i);   // table of a plain column, "" otherwise
    std::string ColumnOrigin(int i);  // that column's name in its table
    std::string ColumnType(int i);    // "integer", "numeric", "real" or "text"

private:
    void Run();

    ServerLink& FLink;
    std::string FSql;
    std::vector<std::string> FNames;
    std::vector<std::optional<std::string>> FValues;
    pg_result* FResult = nullptr;
    int FRow = -1;
};

// Creates the tables and the default account in the (empty) database at
// `address`; refuses a database that already holds our tables.
void CreateServerDatabase(const std::string& address);

}  // namespace store
