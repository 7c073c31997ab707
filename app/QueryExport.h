// Saving the rows of a query result as an Excel 97-2003 workbook: every
// field as text, the field names in the first row.
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

// Base name + "yyyyMMddhhmmss" + ".xls".
QString DefaultExportName(const TExportKind& kind, const QDateTime& now);

// Empties the first sheet, writes the header and every record of `ds` from
// the first (field k in column k), and saves the workbook to `file`. The data
// set's current record is left where it was. Returns the rows written.
int ExportDataSet(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls,
                  const QString& file);

// The export as the windows run it: the "无记录可以导出!" check, the save
// dialog, the export and "文件保存成功!". Returns false when nothing was written.
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
