// The workbook component's entry points for Office Open XML packages.
#include <fstream>

#include "workbook/Utf16.h"
#include "workbook/model/WorkbookHooks.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/XLSXReader.h"
#include "workbook/xlsx/XLSXWriter.h"

namespace workbook {

void ReadOOXMLWorkbook(TXLSWorkbook& book)
{
    const std::string path = Utf16ToUtf8(book.Filename());
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EXLSError("Cannot open file \"" + path + "\"");
    // Read in large blocks: a character at a time costs as much as inflating.
    constexpr std::size_t kBlock = 1 << 20;
    std::string bytes;
    std::size_t got = 0;
    while (in) {
        bytes.resize(got + kBlock);
        in.read(bytes.data() + got, kBlock);
        got += std::size_t(in.gcount());
    }
    bytes.resize(got);
    if (in.bad()) throw EXLSError("Cannot read file \"" + path + "\"");
    TXLSXReader(book).LoadFromBytes(std::move(bytes));
}

void WriteOOXMLWorkbook(TXLSWorkbook& book) { TXLSXWriter(book).WriteToFile(book.Filename()); }

}  // namespace workbook
