// Plain-text listings of a read workbook: every non-empty cell text as
// "sheet<TAB>row<TAB>col<TAB>text" lines and the sheet names one per line,
// with tab, CR, LF and backslash escaped as \t \r \n \\ (UTF-8).
#pragma once

#include <string>

namespace workbook {

class TXLSWorkbook;

// Sheets numbered by their position among all sheets of the file (chart
// sheets included, which hold no cells); cells row by row.
std::string CellListing(TXLSWorkbook& book);
std::string SheetNameListing(TXLSWorkbook& book);
std::string EscapeCellText(const std::u16string& text);

}  // namespace workbook
