// Saving the rows of a query result as a workbook: every field as text, the
// field names in the first row. The name chosen decides the format: .xlsx
// is an Excel workbook (Office Open XML), .xls (and any other name) Excel
// 97-2003. Rows past what one sheet of the format holds go on in further
// sheets of the same file, each starting with the title row, so no row is
// ever left out.
#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "store/DataSet.h"

namespace workbook {
class TXLSWorkbook;
}

struct TExportKind {
    QString baseName;  // "商品查询导出" / "销售订单查询导出"
    int firstField;    // 0 for goods; 1 for sales, whose field 0 is the hidden id
};

inline const TExportKind kGoodsExport{QStringLiteral("商品查询导出"), 0};
inline const TExportKind kSalesExport{QStringLiteral("销售订单查询导出"), 1};

// The save dialog's file types; the first is the default.
inline const QString kExportFilters = QStringLiteral("Excel 97-2003 (*.xls);;Excel 工作簿 (*.xlsx)");

// Base name + "yyyyMMddhhmmss"; the dialog adds the extension of the file
// type chosen.
QString DefaultExportName(const TExportKind& kind, const QDateTime& now);

struct TExportResult {
    int rows = 0;    // data rows written (the title row not counted)
    int sheets = 1;  // sheets they fill
};

// Writes the header and every record of `ds` from the first (field k in
// column k) into a workbook emptied for it and saves it to `file`; the
// workbook is emptied again afterwards, so its memory goes back even when
// the write fails. The data set's current record is left where it was.
TExportResult ExportDataSet(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls,
                            const QString& file);

// "文件保存成功!", and when the rows took more than one sheet, which.
QString ExportSavedMessage(const TExportResult& result, const QString& file);

// The export as the windows run it: the "无记录可以导出!" check, the save
// dialog, the export and the success message. Returns false when nothing was written.
bool RunExport(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls);

// Rows of text already formatted, with their column titles.
struct TTextTable {
    std::vector<QString> header;
    std::vector<std::vector<QString>> rows;
};

// Writes the table as ExportDataSet writes a query result; returns the rows written.
int ExportTable(const TTextTable& table, workbook::TXLSWorkbook& xls, const QString& file);

// The table's export with the same dialog and messages as RunExport.
bool RunTableExport(const TTextTable& table, const QString& baseName, workbook::TXLSWorkbook& xls);
