// Plain-text listings of a read workbook: every non-empty cell text as
// "sheet<TAB>row<TAB>col<TAB>text" lines and the sheet names one per line,
// with tab, CR, LF and backslash escaped as \t \r \n \\ (UTF-8).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace workbook {

class TXLSWorkbook;

// Receives a listing in pieces of some tens of kilobytes.
using TTextSink = std::function<void(const char* text, size_t length)>;

// Sheets numbered by their position among all sheets of the file (chart
// sheets included, which hold no cells); cells row by row. Each text is the
// sheet's GetAsString of the cell.
std::string CellListing(TXLSWorkbook& book);
// The same listing handed to sink piece by piece, never held whole.
void WriteCellListing(TXLSWorkbook& book, const TTextSink& sink);
std::string SheetNameListing(TXLSWorkbook& book);
std::string EscapeCellText(const std::u16string& text);

}  // namespace workbook
