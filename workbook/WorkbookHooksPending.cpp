// Definitions that stand in until the reader and Office Open XML modules
// provide theirs (see WorkbookHooks.h). Each function is removed from
// here when its module defines it.
#include "workbook/WorkbookHooks.h"

#include "workbook/XLSError.h"
#include "workbook/XLSWorkbook.h"

namespace workbook {

}  // namespace workbook
