// libFuzzer target for the whole Office Open XML read path: the zip
// container, the scanner, the tag tree, every part handler and the model,
// then every cell's text and a write back to memory.
//
// First byte even: the rest is the package's bytes, read from a temporary
// .xlsx file as the workbook's Read does. First byte odd: the rest is a list
// of parts, each introduced by a line "#part NAME", which the target packs
// into a zip itself; mutations then reach the XML with valid checksums.
#include "workbook/Listings.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/XLSXWriter.h"
#include "workbook/xlsx/ZipWriter.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr std::string_view kPartMarker = "#part ";

// "#part a.xml\n<bytes>#part b.xml\n<bytes>..." as a zip container.
std::string PackParts(std::string_view text)
{
    std::string zip;
    workbook::TZipWriter writer(
        [&zip](const void* data, std::size_t size) { zip.append(static_cast<const char*>(data), size); });
    std::size_t at = text.find(kPartMarker);
    while (at != std::string_view::npos) {
        const std::size_t nameStart = at + kPartMarker.size();
        const std::size_t eol = text.find('\n', nameStart);
        if (eol == std::string_view::npos) break;
        const std::size_t next = text.find(kPartMarker, eol + 1);
        const std::string_view body = text.substr(eol + 1, next == std::string_view::npos ? next : next - eol - 1);
        writer.Add(std::string(text.substr(nameStart, eol - nameStart)), body);
        at = next;
    }
    writer.Finish();
    return zip;
}

bool WriteFile(const std::string& path, std::string_view bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return true;
}

}  // namespace

// The error message of the read, or the cells read; written back when asked.
std::string ReadBack(const std::string& path, bool writeBack)
{
    workbook::TXLSWorkbook book;
    try {
        book.SetFilename(std::u16string(path.begin(), path.end()));
        book.Read();
    } catch (const std::exception& e) {
        return std::string("error: ") + e.what();
    }
    const std::string cells = workbook::CellListing(book);
    if (writeBack) {
        try {
            workbook::TXLSXWriter(book).WriteToString();
        } catch (const std::exception&) {
        }
    }
    return cells;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    static const std::string path = "/tmp/xlsx_fuzzer_" + std::to_string(getpid()) + ".xlsx";
    try {
        if (!WriteFile(path, data[0] % 2 == 0 ? std::string(rest) : PackParts(rest))) return 0;
    } catch (const std::exception&) {
        return 0;  // a part list the zip writer refuses
    }
    ReadBack(path, true);
    return 0;
}
