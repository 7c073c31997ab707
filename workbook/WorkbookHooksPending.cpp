// Definitions that stand in until the reader and Office Open XML modules
// provide theirs (see WorkbookHooks.h). Each function is removed from
// here when its module defines it.
#include "workbook/WorkbookHooks.h"

#include "workbook/XLSError.h"
#include "workbook/XLSWorkbook.h"

namespace workbook {

void ReadBIFFWorkbook(TXLSWorkbook&) { throw EXLSError("Reading Excel 97-2003 and older workbooks is not supported yet"); }

void ReadOOXMLWorkbook(TXLSWorkbook&) { throw EXLSError("Reading Office Open XML workbooks is not supported yet"); }

void WriteOOXMLWorkbook(TXLSWorkbook&) { throw EXLSError("Writing Office Open XML workbooks is not supported yet"); }

}  // namespace workbook
