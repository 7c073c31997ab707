// cat, sheets, copy: reading a workbook and writing a read workbook back.
#include "Commands.h"

#include "workbook/Workbook.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace xlstool {

std::string gPassword;

// One command works on one workbook, which lives until the program ends.
workbook::TXLSWorkbook& WorkbookKeptToExit()
{
    static std::unique_ptr<workbook::TXLSWorkbook> book;
    book = std::make_unique<workbook::TXLSWorkbook>();
    return *book;
}

namespace {

void Load(workbook::TXLSWorkbook& book, const std::string& path)
{
    book.FPassword = workbook::Utf8ToUtf16(gPassword);
    book.SetFilename(workbook::Utf8ToUtf16(path));
    book.Read();
}

workbook::TXLSWorkbook& LoadToExit(const std::string& path)
{
    workbook::TXLSWorkbook& book = WorkbookKeptToExit();
    Load(book, path);
    return book;
}

int Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// The listing goes out in pieces as it is made: a large sheet's listing is
// never held whole.
int RunCat(const std::vector<std::string>& args)
{
    workbook::TXLSWorkbook& book = LoadToExit(args[0]);
    workbook::WriteCellListing(book, [](const char* text, size_t length) { std::fwrite(text, 1, length, stdout); });
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

int RunSheets(const std::vector<std::string>& args) { return Print(workbook::SheetNameListing(LoadToExit(args[0]))); }

// The name of OUT decides its format (.xls or .xlsx); under another name
// the copy keeps the format read, files older than BIFF8 being written as
// BIFF8, the only binary version the writer makes. A sheet too large for
// that format stops the copy rather than losing its far cells.
int RunCopy(const std::vector<std::string>& args)
{
    workbook::TXLSWorkbook& book = LoadToExit(args[0]);
    const std::u16string out = workbook::Utf8ToUtf16(args[1]);
    workbook::TExcelVersion version = workbook::FormatOfName(out);
    if (version == workbook::xvNone) version = std::max(book.Version(), workbook::xvExcel97);
    workbook::CheckSheetsFit(book, version);
    book.SetVersion(version);
    book.SetFilename(out);
    book.Write();
    return 0;
}

}  // namespace

std::vector<TCommand> ReadCommands()
{
    return {
        {"cat", "FILE [--password TEXT]",
         "Prints every cell whose text is not empty as sheet<TAB>row<TAB>col<TAB>text (escaped).", 1, RunCat, true},
        {"sheets", "FILE [--password TEXT]", "Prints the sheet names, one per line.", 1, RunSheets, true},
        {"copy", "IN OUT [--password TEXT]",
         "Reads IN and writes it to OUT, as the goods import writes a file back (the copy has no password). "
         "OUT.xls is written as Excel 97-2003, OUT.xlsx as Office Open XML, any other name in the format of IN; "
         "a sheet with more rows or columns than the format holds is an error and nothing is written.",
         2, RunCopy, true},
    };
}

}  // namespace xlstool
