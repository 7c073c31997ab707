// Writes a zip container entry by entry to a byte sink: each entry deflated
// (or stored when that is not smaller), with its local header, then the
// central directory. Entries and the whole container stay below 4 GiB.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/SafeFile.h"

namespace workbook {

class TZipWriter {
public:
    explicit TZipWriter(TByteSink sink) : FSink(std::move(sink)) {}
    // Adds an entry; names are written as given (UTF-8, "/" separated).
    void Add(const std::string& name, std::string_view bytes);
    // Writes the central directory; no entry may be added afterwards.
    void Finish();

private:
    struct TEntry {
        std::string Name;
        uint32_t Crc, CompressedSize, Size, Offset;
        uint16_t Method;
    };
    void Put(const std::string& bytes);

    TByteSink FSink;
    std::vector<TEntry> FEntries;
    uint64_t FOffset = 0;
};

// Raw deflate of bytes (no zlib header), as zip entries hold them.
std::string DeflateRaw(std::string_view bytes);

}  // namespace workbook
