// The sales query window's "导出到Excel" button.
#include "app/QueryExport.h"
#include "app/sellManager.h"
#include "workbook/Workbook.h"

namespace {

// The window's workbook component, created with its stored settings the
// first time it is needed (there is one sales query window per run).
workbook::TXLSWorkbook& SalesWorkbook()
{
    static workbook::TXLSWorkbook* book = [] {
        auto* b = new workbook::TXLSWorkbook;
        workbook::LoadFromWindowResources(*b);
        return b;
    }();
    return *book;
}

}  // namespace

void TForm7::ExportClick()
{
    // The file gets what is stored now (see the goods export).
    if (!PostPendingEdits()) return;
    BroughtToFront();
    RunExport(ADOQuery1(), kSalesExport, SalesWorkbook());
}
