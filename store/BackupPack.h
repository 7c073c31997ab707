// Backup copies kept gzip-compressed: packing a checked copy, unpacking it
// again with the stream's own checks (deflate data, CRC-32 and length), and
// the row counts noted in the gzip header so a list need not unpack a copy.
// Everything streams through fixed buffers; no file is held in memory.
#pragma once

#include <cstdint>
#include <string>

#include "store/Backup.h"

namespace store {

// Goods and sales lines of the packed database, -1 when unknown.
struct PackedNote {
    std::int64_t goods = -1;
    std::int64_t salesLines = -1;
};

// True for the names of packed copies ("….mdb.gz").
bool IsPackedName(const std::string& path);

// Writes `from` compressed into `to`, which must exist (it keeps its mode).
// Throws StoreError when either file cannot be read or written.
void PackFile(const std::string& from, const std::string& to, const PackedNote& note,
              const BackupProgress& progress = {});

// Unpacks `from` into `to` (created or truncated; empty: the stream is only
// checked). Returns "ok", or what is wrong with the packed data: cut short,
// damaged, a wrong check sum, or bytes after its end. Throws StoreError when
// a file cannot be opened, read or written.
std::string UnpackFile(const std::string& from, const std::string& to, const BackupProgress& progress = {});

// The note in the header of a packed copy; unknown counts when it has none
// or the header cannot be read.
PackedNote ReadPackedNote(const std::string& file);

}  // namespace store
