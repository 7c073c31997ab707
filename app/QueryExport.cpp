#include "app/QueryExport.h"

#include <QFileInfo>

#include "app/Prompter.h"
#include "workbook/XLSWorkbook.h"

QString DefaultExportName(const TExportKind& kind, const QDateTime& now) {
    return kind.baseName + now.toString(QStringLiteral("yyyyMMddhhmmss")) + ".xls";
}

int ExportDataSet(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls,
                  const QString& file) {
    workbook::TSheet& sheet = xls.Sheet(0);
    // Cells of an earlier export or import must not ride along into this file.
    sheet.Cells().Clear();
    const auto first = static_cast<uint32_t>(kind.firstField);
    const auto fields = static_cast<uint32_t>(ds.FieldCount());
    for (uint32_t k = first; k < fields; ++k)
        sheet.SetAsString(k, 0, QString::fromStdString(ds.FieldName(static_cast<int>(k))).toStdU16String());
    const int rows = ds.RecordCount();
    for (int j = 0; j < rows; ++j)
        for (uint32_t k = first; k < fields; ++k)
            sheet.SetAsString(k, static_cast<uint32_t>(j + 1),
                              QString::fromStdString(ds.Text(j, static_cast<int>(k))).toStdU16String());
    xls.SetFilename(file.toStdU16String());
    xls.Write();
    return rows;
}

namespace {

// The save dialog of an export; empty when there is nothing to write or the
// seller cancelled.
QString AskExportFile(int rows, const TExportKind& kind) {
    if (rows == 0) {
        Prompter().Information(QStringLiteral("无记录可以导出!"));
        return {};
    }
    QString file = Prompter().SaveFileName(QStringLiteral("导出到 Excel"),
                                           DefaultExportName(kind, QDateTime::currentDateTime()),
                                           QStringLiteral("Excel 97-2003 工作簿 (*.xls)"));
    if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty()) file += ".xls";
    return file;
}

}  // namespace

bool RunExport(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls) {
    QString file = AskExportFile(ds.RecordCount(), kind);
    if (file.isEmpty()) return false;
    ExportDataSet(ds, kind, xls, file);
    Prompter().Information(QStringLiteral("文件保存成功!"));
    return true;
}

int ExportTable(const TTextTable& table, workbook::TXLSWorkbook& xls, const QString& file) {
    workbook::TSheet& sheet = xls.Sheet(0);
    sheet.Cells().Clear();
    for (size_t k = 0; k < table.header.size(); ++k)
        sheet.SetAsString(static_cast<uint32_t>(k), 0, table.header[k].toStdU16String());
    for (size_t j = 0; j < table.rows.size(); ++j)
        for (size_t k = 0; k < table.rows[j].size(); ++k)
            sheet.SetAsString(static_cast<uint32_t>(k), static_cast<uint32_t>(j + 1),
                              table.rows[j][k].toStdU16String());
    xls.SetFilename(file.toStdU16String());
    xls.Write();
    return static_cast<int>(table.rows.size());
}

bool RunTableExport(const TTextTable& table, const QString& baseName, workbook::TXLSWorkbook& xls) {
    QString file = AskExportFile(static_cast<int>(table.rows.size()), TExportKind{baseName, 0});
    if (file.isEmpty()) return false;
    ExportTable(table, xls, file);
    Prompter().Information(QStringLiteral("文件保存成功!"));
    return true;
}
