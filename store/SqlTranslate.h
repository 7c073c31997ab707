// Turns the SQL dialect the windows speak into SQLite's.
//
// The windows write statements the way the original desktop database engine
// accepted them: string literals in double quotes, `top N` after `select`,
// dates between '#' signs and `format(col,"yyyy-mm-dd")` to compare days.
// The translation happens once, at the store's boundary.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace store {

std::string TranslateSql(std::string_view jetSql);

// The same statements for a PostgreSQL server. Parameters (":name" or "?")
// become $1, $2, ...; `names` receives the parameter of each number (":name",
// or "?" for a positional one), a name used twice keeping its one number.
// Beyond the translation above: contains-matches ignore case (ilike), a
// table's key is `id` where SQLite spoke of rowid, format(col,"pattern") reads
// the fields of the stored "yyyy-mm-dd hh:mm:ss" text, a subquery in FROM gets
// the alias the server requires, and a cast to integer casts to bigint.
std::string TranslateServerSql(std::string_view jetSql, std::vector<std::string>* names = nullptr);

}  // namespace store
