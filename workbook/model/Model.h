// The workbook model with the definitions of its parts: what the library's
// own readers and writers (and their tests) work on. The application and
// the tools include workbook/Workbook.h instead.
#pragma once

#include "workbook/biff/RecordStorage.h"
#include "workbook/biff/XLSStream.h"
#include "workbook/formats/CellFormats.h"
#include "workbook/model/CellStorage.h"
#include "workbook/model/Cells.h"
#include "workbook/model/SST.h"
#include "workbook/model/Sheet.h"
#include "workbook/model/XLSWorkbook.h"
