#include "workbook/xlsx/ZipWriter.h"

#include <zlib.h>

#include "workbook/XLSError.h"

namespace workbook {

namespace {

constexpr uint64_t kMaxZipOffset = 0xFFFFFFFFull;
// 1980-01-01 00:00, the earliest time a zip entry can carry.
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;

void U16(std::string& out, uint32_t v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void U32(std::string& out, uint32_t v)
{
    U16(out, v & 0xFFFF);
    U16(out, v >> 16);
}

}  // namespace

std::string DeflateRaw(std::string_view bytes)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw EXLSError("Cannot start compressing a package part");
    std::string out(deflateBound(&z, uLong(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END) throw EXLSError("Cannot compress a package part");
    return out;
}

void TZipWriter::Put(const std::string& bytes)
{
    FSink(bytes.data(), bytes.size());
    FOffset += bytes.size();
}

void TZipWriter::Add(const std::string& name, std::string_view bytes)
{
    if (bytes.size() >= kMaxZipOffset || FOffset >= kMaxZipOffset)
        throw EXLSError("The workbook is too large for a package (4 GiB)");
    const std::string deflated = DeflateRaw(bytes);
    const bool stored = deflated.size() >= bytes.size();
    TEntry e{name,
             uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size()))),
             uint32_t(stored ? bytes.size() : deflated.size()),
             uint32_t(bytes.size()),
             uint32_t(FOffset),
             uint16_t(stored ? 0 : 8)};
    std::string header;
    U32(header, 0x04034B50);
    U16(header, 20);
    U16(header, 0x0800);  // names are UTF-8
    U16(header, e.Method);
    U16(header, kDosTime);
    U16(header, kDosDate);
    U32(header, e.Crc);
    U32(header, e.CompressedSize);
    U32(header, e.Size);
    U16(header, uint32_t(name.size()));
    U16(header, 0);
    header += name;
    Put(header);
    Put(stored ? std::string(bytes) : deflated);
    FEntries.push_back(std::move(e));
}

void TZipWriter::Finish()
{
    const uint64_t start = FOffset;
    std::string dir;
    for (const TEntry& e : FEntries) {
        U32(dir, 0x02014B50);
        U16(dir, 20);
        U16(dir, 20);
        U16(dir, 0x0800);
        U16(dir, e.Method);
        U16(dir, kDosTime);
        U16(dir, kDosDate);
        U32(dir, e.Crc);
        U32(dir, e.CompressedSize);
        U32(dir, e.Size);
        U16(dir, uint32_t(e.Name.size()));
        for (int i = 0; i < 4; ++i) U16(dir, 0);  // extra, comment, disk, internal attributes
        U32(dir, 0);
        U32(dir, e.Offset);
        dir += e.Name;
    }
    if (FEntries.size() > 0xFFFF || start + dir.size() >= kMaxZipOffset)
        throw EXLSError("The workbook is too large for a package (4 GiB)");
    std::string end;
    U32(end, 0x06054B50);
    U16(end, 0);
    U16(end, 0);
    U16(end, uint32_t(FEntries.size()));
    U16(end, uint32_t(FEntries.size()));
    U32(end, uint32_t(dir.size()));
    U32(end, uint32_t(start));
    U16(end, 0);
    Put(dir + end);
}

}  // namespace workbook
