// The workbook library as the application and the command-line tools use it:
// the workbook with its sheets and text cells, reading and writing files
// (.xls and .xlsx, chosen by the file's first bytes and by its name), the
// size of a sheet in each format, the settings the windows give a new
// workbook, plain-text listings of a file and the one exception type.
// Nothing here brings in the cell store, the string table or the record
// formats; those stay inside the library (workbook/model/Model.h).
//
//   workbook::TXLSWorkbook book;
//   workbook::LoadFromWindowResources(book);
//   book.Sheet(0).SetAsString(0, 0, u"商品编码");
//   book.SetFilename(u"/path/out.xls");
//   book.Write();
#pragma once

#include "workbook/FileFormat.h"
#include "workbook/Listings.h"
#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/XLSTypes.h"
#include "workbook/model/WindowResources.h"
#include "workbook/model/XLSWorkbook.h"
