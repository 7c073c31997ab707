// write OUT.xls / OUT.xlsx: the file the application's export writes, from text on stdin.
#include "Commands.h"

#include "workbook/Workbook.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace xlstool {

namespace {

// Appends field to out with the escapes \t \r \n \\ decoded; any other
// backslash stays as it is.
void AppendDecoded(std::string_view field, std::string& out)
{
    for (size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        char e = field[++i];
        if (e == 't')
            out += '\t';
        else if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else if (e == '\\')
            out += '\\';
        else
            out += {'\\', e};
    }
}

// Calls onLine with each line of in, without its LF. Input is read in large
// blocks; a last line without LF counts when it is not empty.
template <class F> void ForEachLine(std::FILE* in, F onLine)
{
    std::vector<char> buffer(1 << 20);
    size_t have = 0;
    for (;;) {
        if (have == buffer.size()) buffer.resize(buffer.size() * 2);
        size_t got = std::fread(buffer.data() + have, 1, buffer.size() - have, in);
        have += got;
        size_t start = 0;
        while (const void* lf = std::memchr(buffer.data() + start, '\n', have - start)) {
            size_t end = size_t(static_cast<const char*>(lf) - buffer.data());
            onLine(std::string_view(buffer.data() + start, end - start));
            start = end + 1;
        }
        if (got == 0) {
            if (start < have) onLine(std::string_view(buffer.data() + start, have - start));
            return;
        }
        std::memmove(buffer.data(), buffer.data() + start, have - start);
        have -= start;
    }
}

// Puts the cells of the input into the sheets of the format the output's
// name asks for. Lines past what one sheet holds go on in further sheets,
// each starting with a copy of the first line (the title row), as the
// application's export does; a line with more fields than a sheet has
// columns is refused, since no sheet of that format can hold it.
class TSheetRouter {
public:
    TSheetRouter(workbook::TXLSWorkbook& book, workbook::TExcelVersion version)
        : FBook(book),
          FVersion(version),
          FRows(workbook::SheetRowLimit(version)),
          FColumns(workbook::SheetColumnLimit(version))
    {}

    void Store(uint32_t col, uint32_t row, std::u16string_view text)
    {
        if (col >= FColumns) TooWide(row, col);
        if (row < FRows) {
            FBook.Sheet(0).SetAsString(col, row, text);
            return;
        }
        const workbook::TSheetPlace place = workbook::PlaceOfDataRow(row - 1, FVersion);
        SheetAt(place.Sheet).SetAsString(col, place.Row, text);
    }

private:
    [[noreturn]] void TooWide(uint32_t row, uint32_t col) const
    {
        const bool xls = FVersion != workbook::xvExcel2007;
        throw workbook::EXLSError(
            "Line " + std::to_string(row + 1) + " has a field in column " + std::to_string(col + 1) + ", past the " +
            std::to_string(FColumns) + " columns a sheet of " + (xls ? "an Excel 97-2003 (.xls)" : "an .xlsx") +
            " file holds; nothing was written" + (xls ? " (an .xlsx file holds 16384 columns)" : ""));
    }

    // Sheets are added in order, each with the title row of the first.
    workbook::TSheet& SheetAt(int index)
    {
        while (FBook.Sheets().Count() <= index) {
            workbook::TSheet& sheet = FBook.Sheets().Add();
            sheet.SetName(u"Sheet" + workbook::Utf8ToUtf16(std::to_string(FBook.Sheets().Count())));
            workbook::TSheet& first = FBook.Sheet(0);
            for (uint32_t col = 0; col < FColumns; ++col)
                if (first.HasCell(col, 0)) sheet.SetAsString(col, 0, first.GetAsString(col, 0));
        }
        return FBook.Sheet(index);
    }

    workbook::TXLSWorkbook& FBook;
    workbook::TExcelVersion FVersion;
    uint32_t FRows, FColumns;
};

// Turns each line into text cells, converting each field through buffers
// that are reused from cell to cell.
class TLineCells {
public:
    explicit TLineCells(TSheetRouter& store) : FStore(store) {}

    void Add(std::string_view line, uint32_t row)
    {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (uint32_t col = 0;; ++col) {
            size_t tab = line.find('\t');
            AddCell(line.substr(0, tab), col, row);
            if (tab == std::string_view::npos) return;
            line.remove_prefix(tab + 1);
        }
    }

private:
    void AddCell(std::string_view field, uint32_t col, uint32_t row)
    {
        if (field.find('\\') != std::string_view::npos) {
            FDecoded.clear();
            AppendDecoded(field, FDecoded);
            field = FDecoded;
        }
        workbook::Utf8ToUtf16(field, FText);
        FStore.Store(col, row, FText);
    }

    TSheetRouter& FStore;
    std::string FDecoded;
    std::u16string FText;
};

int RunWrite(const std::vector<std::string>& args)
{
    workbook::TXLSWorkbook& book = WorkbookKeptToExit();
    workbook::LoadFromWindowResources(book);
    const std::u16string out = workbook::Utf8ToUtf16(args[0]);
    if (workbook::FormatOfName(out) != workbook::xvNone) book.SetVersion(workbook::FormatOfName(out));
    TSheetRouter router(book, book.Version());
    TLineCells cells(router);
    uint32_t row = 0;
    ForEachLine(stdin, [&](std::string_view line) { cells.Add(line, row++); });
    book.SetFilename(out);
    book.Write();
    return 0;
}

}  // namespace

std::string DecodeField(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    AppendDecoded(field, out);
    return out;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::vector<TCommand> WriteCommands()
{
    return {{"write", "OUT.xls|OUT.xlsx",
             "Reads UTF-8 tab-separated lines from standard input and writes OUT as the application's export "
             "does: field c of line r becomes the text cell at column c, row r of the first sheet (escapes \\t \\r "
             "\\n \\\\ decoded; a line ending CR LF loses its CR). The name decides the format: .xlsx is an "
             "Office Open XML package, .xls (and any other name) Excel 97-2003. Lines past the rows of one sheet "
             "(65536 in .xls, 1048576 in .xlsx) go on in further sheets, each starting with the first line again; "
             "a line with more fields than a sheet has columns (256 in .xls, 16384 in .xlsx) is an error and "
             "nothing is written.",
             1, RunWrite}};
}

}  // namespace xlstool
