// Plain-text listings of a read workbook (see XLSReaderDump.h).
#include "workbook/XLSReaderDump.h"

#include "workbook/Utf16.h"
#include "workbook/XLSWorkbook.h"

#include <vector>

namespace workbook {

namespace {

// Position in the file's sheet list -> index in Sheets() (-1: chart sheet).
std::vector<TSheetName> AllSheets(TXLSWorkbook& book)
{
    if (!book.SheetNames().empty()) return book.SheetNames();
    std::vector<TSheetName> names;
    for (int i = 0; i < book.Sheets().Count(); ++i) names.push_back({book.Sheet(i).Name(), i});
    return names;
}

}  // namespace

std::string EscapeCellText(const std::u16string& text)
{
    std::string utf8 = Utf16ToUtf8(text), out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

std::string CellListing(TXLSWorkbook& book)
{
    std::string out;
    std::vector<TSheetName> names = AllSheets(book);
    for (size_t pos = 0; pos < names.size(); ++pos) {
        if (names[pos].Sheet < 0 || names[pos].Sheet >= book.Sheets().Count()) continue;
        TSheet& sheet = book.Sheet(names[pos].Sheet);
        TCellValues& cells = sheet.Cells();
        std::vector<std::pair<uint32_t, uint32_t>> positions;
        cells.BeginIterate();
        while (TCell* cell = cells.GetNext()) positions.push_back({cell->Row(), cell->Col()});
        for (auto [row, col] : positions) {
            std::u16string text = sheet.GetAsString(col, row);
            if (text.empty()) continue;
            out += std::to_string(pos) + '\t' + std::to_string(row) + '\t' + std::to_string(col) + '\t' +
                   EscapeCellText(text) + '\n';
        }
    }
    return out;
}

std::string SheetNameListing(TXLSWorkbook& book)
{
    std::string out;
    for (const TSheetName& n : AllSheets(book)) out += EscapeCellText(n.Name) + '\n';
    return out;
}

}  // namespace workbook
