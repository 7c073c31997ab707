// Listings of a file's structure (see Listings.h): the records of its
// workbook stream and the storages and streams of its compound document.
#include "workbook/Listings.h"

#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/biff/XLSStream.h"
#include "workbook/compound/CompoundDocument.h"

#include <cstdio>
#include <vector>

namespace workbook {

namespace {

constexpr size_t kListingPiece = 64 * 1024;

// Names may hold control characters (\x05SummaryInformation); show them escaped.
std::string PrintableName(const std::u16string& name)
{
    std::string out;
    for (char16_t c : name) {
        if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", unsigned(c));
            out += buf;
        } else {
            out += Utf16ToUtf8(std::u16string(1, c));
        }
    }
    return out;
}

void ListEntries(const TCompoundEntry& storage, const std::string& prefix, std::string& out)
{
    for (const auto& child : storage.Children) {
        std::string path = prefix + PrintableName(child->Name);
        if (child->IsStorage()) {
            out += "storage\t-\t" + path + "/\n";
            ListEntries(*child, path + "/", out);
        } else {
            out += "stream\t" + std::to_string(child->Data.Size()) + "\t" + path + "\n";
        }
    }
}

}  // namespace

void WriteRecordListing(const std::u16string& path, const TTextSink& sink)
{
    TXLSStream stream;
    stream.OpenStorageRead(path);
    std::vector<uint8_t> body(65535);
    std::string out;
    TBIFFHeader header;
    for (;;) {
        uint64_t offset = stream.Pos();
        if (stream.ReadHeader(header) < 4) break;
        size_t got = stream.Read(body.data(), header.Length);
        char line[32];
        int n = std::snprintf(line, sizeof line, "%08llX %04X %u\n", static_cast<unsigned long long>(offset),
                              unsigned(header.RecID), unsigned(header.Length));
        out.append(line, size_t(n));
        if (got < header.Length) {
            sink(out.data(), out.size());
            throw EXLSError("The last record is cut short by the end of the stream");
        }
        if (out.size() >= kListingPiece) {
            sink(out.data(), out.size());
            out.clear();
        }
    }
    sink(out.data(), out.size());
}

std::string StreamListing(const std::u16string& path)
{
    std::string out;
    ListEntries(TCompoundDocument::OpenFile(std::filesystem::path(path)).RootEntry(), "", out);
    return out;
}

}  // namespace workbook
