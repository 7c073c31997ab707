// Which file format a workbook file holds and which one a file name asks
// for, and the size of one sheet in each format. Reading goes by the file's
// first bytes, so a package saved under an .xls name (or the reverse) is
// still read; writing goes by the name the user chose, so an .xls file
// always holds Excel 97-2003 records and an .xlsx file a package.
#pragma once

#include "workbook/XLSTypes.h"

#include <cstdint>
#include <string>

namespace workbook {

// What the first bytes of a file say it is.
enum TFileKind {
    fkUnknown,   // neither (too short, missing, text, ...)
    fkPackage,   // a zip archive: Office Open XML
    fkCompound,  // a compound document: Excel 97-2003 or 5/95 (or an encrypted package)
    fkRawBIFF    // a BIFF stream that starts with a BOF record (Excel 2.1 to 4.0)
};
TFileKind FileKindOfBytes(const uint8_t* bytes, size_t count);
// Reads the first bytes of filename; fkUnknown when it cannot be opened.
TFileKind FileKindOfFile(const std::u16string& filename);

// xvExcel97 for ".xls", xvExcel2007 for ".xlsx" (letter case ignored);
// xvNone for any other name, which keeps the workbook's own version.
TExcelVersion FormatOfName(const std::u16string& filename);

// The extension, with its dot, in lower case ("" when there is none).
std::u16string LowerExtension(const std::u16string& filename);

// Rows and columns one sheet holds in a file of that version.
uint32_t SheetRowLimit(TExcelVersion version);
uint32_t SheetColumnLimit(TExcelVersion version);

// A table with one title row that is longer than a sheet goes on in further
// sheets, each starting with the title row again. Data row d (from 0) stands
// on sheet Sheet at row Row (from 1).
struct TSheetPlace {
    int Sheet;
    uint32_t Row;
};
TSheetPlace PlaceOfDataRow(uint64_t dataRow, TExcelVersion version);
// Sheets a table of dataRows rows under one title row takes (at least 1).
int SheetsForDataRows(uint64_t dataRows, TExcelVersion version);

class TXLSWorkbook;
// Fails with a message naming the sheet and the limit when a sheet of book
// holds a cell past the rows or columns of one sheet of version; the BIFF
// writer would leave such cells out of the file without a word.
void CheckSheetsFit(TXLSWorkbook& book, TExcelVersion version);

}  // namespace workbook
