// Turns the SQL dialect the windows speak into SQLite's.
//
// The windows write statements the way the original desktop database engine
// accepted them: string literals in double quotes, `top N` after `select`,
// dates between '#' signs and `format(col,"yyyy-mm-dd")` to compare days.
// The translation happens once, at the store's boundary.
#pragma once

#include <string>
#include <string_view>

namespace store {

std::string TranslateSql(std::string_view jetSql);

}  // namespace store
