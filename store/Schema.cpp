// The tables of a new database and the functions every connection registers.
#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "store/Connection.h"
#include "store/Server.h"

namespace store {
namespace {

const char* const kSchema = R"SQL(
PRAGMA journal_mode=WAL;
CREATE TABLE users (
  id INTEGER PRIMARY KEY,
  username TEXT NOT NULL DEFAULT '',
  password TEXT NOT NULL DEFAULT ''
) STRICT;
CREATE TABLE spxx (
  id INTEGER PRIMARY KEY,
  spbm TEXT DEFAULT '',
  spmc TEXT DEFAULT '',
  spsx TEXT DEFAULT '',
  spjj REAL,
  spsj REAL,
  spkc INTEGER,
  bz TEXT DEFAULT ''
) STRICT;
CREATE TABLE xssp (
  id INTEGER PRIMARY KEY,
  ddbh TEXT,
  spmc TEXT,
  spbm TEXT,
  spsx TEXT,
  bz TEXT,
  sj REAL,
  jj REAL,
  gmsl INTEGER,
  xssj TEXT DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
) STRICT;
CREATE INDEX xssp_xssj ON xssp(xssj);
CREATE INDEX xssp_ddbh ON xssp(ddbh);
CREATE INDEX xssp_day_sums ON xssp(xssj, spbm, sj, jj, gmsl, ddbh, spmc);
CREATE INDEX spxx_spkc ON spxx(spkc);
-- Prices are money: keep them to four decimal places whoever writes them.
CREATE TRIGGER spxx_money_ins AFTER INSERT ON spxx
  WHEN new.spjj <> round(new.spjj, 4) OR new.spsj <> round(new.spsj, 4)
  BEGIN UPDATE spxx SET spjj = round(spjj, 4), spsj = round(spsj, 4) WHERE id = new.id; END;
CREATE TRIGGER spxx_money_upd AFTER UPDATE OF spjj, spsj ON spxx
  WHEN new.spjj <> round(new.spjj, 4) OR new.spsj <> round(new.spsj, 4)
  BEGIN UPDATE spxx SET spjj = round(spjj, 4), spsj = round(spsj, 4) WHERE id = new.id; END;
CREATE TRIGGER xssp_money_ins AFTER INSERT ON xssp
  WHEN new.sj <> round(new.sj, 4) OR new.jj <> round(new.jj, 4)
  BEGIN UPDATE xssp SET sj = round(sj, 4), jj = round(jj, 4) WHERE id = new.id; END;
CREATE TRIGGER xssp_money_upd AFTER UPDATE OF sj, jj ON xssp
  WHEN new.sj <> round(new.sj, 4) OR new.jj <> round(new.jj, 4)
  BEGIN UPDATE xssp SET sj = round(sj, 4), jj = round(jj, 4) WHERE id = new.id; END;
INSERT INTO users(username, password) VALUES ('admin', '470913');
)SQL";

// Indexes a database made by an older release lacks. The sums over a range of
// days (the overview, the totals line) read this covering index alone and
// never touch the lines themselves; the low-stock list reads stock in order.
const char* const kLaterIndexes = R"SQL(
CREATE INDEX IF NOT EXISTS xssp_day_sums ON xssp(xssj, spbm, sj, jj, gmsl, ddbh, spmc);
CREATE INDEX IF NOT EXISTS spxx_spkc ON spxx(spkc);
)SQL";

}  // namespace

void AddLaterIndexes(sqlite3* db)
{
    // A file opened read-only or locked by another program still opens; the
    // indexes come with the next connection that can write.
    sqlite3_exec(db, kLaterIndexes, nullptr, nullptr, nullptr);
}

void Connection::CreateDatabase(const std::string& file)
{
    if (IsServerAddress(file)) return CreateServerDatabase(file);
    namespace fs = std::filesystem;
    fs::path target = fs::absolute(file);
    if (fs::exists(target)) throw StoreError("数据库文件已存在, 不会覆盖: " + target.string());
    // Build the file under a scratch name, then link it into place: link()
    // refuses to replace a file that appeared meanwhile.
    fs::path scratch = target;
    scratch += ".new-" + std::to_string(::getpid());
    fs::remove(scratch);
    CreatePrivateFile(scratch.string());
    {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(scratch.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        char* err = nullptr;
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, &err);
        std::string msg = err ? err : (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_free(err);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        if (rc != SQLITE_OK) {
            fs::remove(scratch);
            throw StoreError("无法创建数据库 " + target.string() + ": " + msg);
        }
    }
    int rc = ::link(scratch.c_str(), target.c_str());
    int saved = errno;
    fs::remove(scratch);
    fs::remove(fs::path(scratch.string() + "-wal"));
    fs::remove(fs::path(scratch.string() + "-shm"));
    if (rc != 0) throw StoreError("无法创建数据库 " + target.string() + ": " + std::strerror(saved));
}

}  // namespace store
