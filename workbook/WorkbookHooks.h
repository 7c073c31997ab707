// Entry points the workbook component calls and other modules of the
// library define: the file readers, the Office Open XML writer and the
// text of non-text cells. Until a module lands, WorkbookHooksPending.cpp
// defines the entry point to fail with a "not supported" message (or, for
// cell text, with provisional rules); a module that defines one removes
// that definition from WorkbookHooksPending.cpp.
#pragma once

#include <string>

namespace workbook {

class TXLSWorkbook;
class TCell;

// Fills a workbook that has just been cleared from its Filename, a BIFF2-8
// file, and sets its Version to the version found (TXLSStream::OpenStorageRead
// opens the file; pass book.ExtraObjects() to keep the compound document).
void ReadBIFFWorkbook(TXLSWorkbook& book);

// Same for an Office Open XML package; Version becomes xvExcel2007.
void ReadOOXMLWorkbook(TXLSWorkbook& book);

// Writes the workbook as an Office Open XML package to its Filename.
void WriteOOXMLWorkbook(TXLSWorkbook& book);

// Text of a cell that is neither a text cell nor blank (numbers, Booleans,
// errors, formulas).
std::u16string CellValueText(const TCell& cell, const TXLSWorkbook& book);

}  // namespace workbook
