// Backups of books kept on a database server: pg_dump's archive, written to
// the same backups/ folder under the same names as the file's copies
// ("ledgr-20131020-140509-delete-all.mdb" then holds the archive), checked
// by reading its table of contents back before it counts; pg_restore puts
// one back in a single transaction.
#pragma once

#include <string>

namespace store {

// Writes the archive of the database at `address` to `target`; throws
// StoreError when the dump fails or its archive does not read back.
void DumpServer(const std::string& address, const std::string& target);

// "ok", or why `file` is not an archive pg_restore can read.
std::string CheckServerDump(const std::string& file);

// Replaces the tables of the database at `address` by the archive's, all or
// nothing. Sessions of other seats holding the tables make it fail after a
// while instead of waiting for ever.
void RestoreServer(const std::string& address, const std::string& file);

}  // namespace store
