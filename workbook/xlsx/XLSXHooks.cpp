// The workbook component's entry points for Office Open XML packages.
#include <fstream>
#include <iterator>

#include "workbook/Utf16.h"
#include "workbook/WorkbookHooks.h"
#include "workbook/XLSError.h"
#include "workbook/XLSWorkbook.h"
#include "workbook/xlsx/XLSXReader.h"
#include "workbook/xlsx/XLSXWriter.h"

namespace workbook {

void ReadOOXMLWorkbook(TXLSWorkbook& book)
{
    const std::string path = Utf16ToUtf8(book.Filename());
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EXLSError("Cannot open file \"" + path + "\"");
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw EXLSError("Cannot read file \"" + path + "\"");
    TXLSXReader(book).LoadFromBytes(std::move(bytes));
}

void WriteOOXMLWorkbook(TXLSWorkbook& book) { TXLSXWriter(book).WriteToFile(book.Filename()); }

}  // namespace workbook
