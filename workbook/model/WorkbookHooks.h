// Entry points the workbook component calls and other layers of the
// library define: the BIFF reader (biff/) and the Office Open XML reader and
// writer (xlsx/).
#pragma once

#include <string>

namespace workbook {

class TXLSWorkbook;

// Fills a workbook that has just been cleared from its Filename, a BIFF2-8
// file, and sets its Version to the version found. The model offers:
//  - TXLSStream: SetExtraObjects(&book.ExtraObjects()) before
//    OpenStorageRead keeps the whole compound document for the next write;
//    ReadHeader / Read / BeginCONTINUERead walk the records.
//  - book.Records() / sheet.Records(): UpdateDefault(header, body) for every
//    record (it ignores types that are not defaults), AddRec for records kept
//    as bytes, UpdateInternal(INTERNAL_FORMATS / _BOUNDSHEETS / _NAMES /
//    _MSODRWGRP / _SST, or the sheet's INTERNAL_*) at the first record of
//    each generated group; set sheet.FHasDefaultRecords once a sheet is read.
//  - book.Fonts().Clear() + Add, book.Formats().Clear() + Add +
//    AddNumberFormat, book.Styles() with FWriteDefaultData = false.
//  - book.SST().AddRawString per SST entry (FileOrder() to index them); a
//    text cell holds one reference: AddRef per LABELSST, then Release the
//    reference AddRawString took once the sheets are read, and
//    SetTotalCount(cstTotal).
//  - book.Sheets().Clear() + Add, sheet.SetName, sheet.Cells().SetCells with
//    the cell classes of Cells.h (XF from book.Formats()[ixfe]).
void ReadBIFFWorkbook(TXLSWorkbook& book);

// Same for an Office Open XML package; Version becomes xvExcel2007.
void ReadOOXMLWorkbook(TXLSWorkbook& book);

// Writes the workbook as an Office Open XML package to its Filename.
void WriteOOXMLWorkbook(TXLSWorkbook& book);

}  // namespace workbook
