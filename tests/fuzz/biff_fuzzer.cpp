// libFuzzer target for the whole BIFF read path: a compound document read
// from memory (first byte even) or a raw BIFF2-4 file read from disk (first
// byte odd), then every cell's text and a write back.
#include "workbook/biff/XLSReader.h"
#include "workbook/Listings.h"
#include "workbook/model/Model.h"

#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    workbook::TXLSWorkbook book;
    std::vector<uint8_t> bytes(data + 1, data + size);
    try {
        if (data[0] % 2 == 0) {
            workbook::ReadBIFFFromMemory(book, bytes);
        } else {
            static const std::string path = "/tmp/biff_fuzzer_" + std::to_string(getpid()) + ".xls";
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f) return 0;
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
            book.SetFilename(std::u16string(path.begin(), path.end()));
            book.Read();
        }
        workbook::CellListing(book);
        if (book.Version() < workbook::xvExcel97) book.SetVersion(workbook::xvExcel97);
        std::vector<uint8_t> copy;
        book.WriteToStream(copy);
    } catch (const std::exception&) {
    }
    return 0;
}
