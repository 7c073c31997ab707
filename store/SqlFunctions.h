// SQL functions every connection adds to SQLite: an exact sum() for money and
// format(value, pattern) for dates and times.
#pragma once

#include <sqlite3.h>

#include <string>

namespace store {

void RegisterFunctions(sqlite3* db);

// format() for a stored time "yyyy-mm-dd hh:mm:ss" and a pattern made of
// yyyy, mm (month; minutes right after hh), dd, hh, nn, ss and literal characters.
std::string FormatDateTime(const std::string& value, const std::string& pattern);

}  // namespace store
