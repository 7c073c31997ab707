// cat, sheets, copy: reading a workbook and writing a read workbook back.
#include "Commands.h"

#include "workbook/Utf16.h"
#include "workbook/XLSReaderDump.h"
#include "workbook/XLSWorkbook.h"

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

// Files older than BIFF8 are written back as BIFF8, the only binary
// version the writer makes.
int RunCopy(const std::vector<std::string>& args)
{
    workbook::TXLSWorkbook& book = LoadToExit(args[0]);
    if (book.Version() < workbook::xvExcel97) book.SetVersion(workbook::xvExcel97);
    book.SetFilename(workbook::Utf8ToUtf16(args[1]));
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
         "Reads IN and writes it to OUT, as the goods import writes a file back (the copy has no password).", 2,
         RunCopy, true},
    };
}

}  // namespace xlstool
