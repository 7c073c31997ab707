// Plain-text listings of a workbook file. Of a read workbook: every
// non-empty cell text as "sheet<TAB>row<TAB>col<TAB>text" lines and the sheet
// names one per line, in UTF-8 with tab, CR, LF and backslash escaped as
// \t \r \n \\ (two characters each). Of the file itself: its BIFF records and
// its compound-document streams.
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

// One line per record of the workbook stream of the file at path: byte
// offset (8 hex digits), record id (4 hex digits), body length. Fails when
// the last record is cut short by the end of the stream.
void WriteRecordListing(const std::u16string& path, const TTextSink& sink);
// The storages and streams of the compound document at path, one
// per line: "storage<TAB>-<TAB>path/" or "stream<TAB>size<TAB>path", names'
// control characters shown as \xNN.
std::string StreamListing(const std::u16string& path);

}  // namespace workbook
