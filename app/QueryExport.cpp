#include "app/QueryExport.h"

#include <malloc.h>

#include <QFileInfo>
#include <stdexcept>

#include "app/Prompter.h"
#include "workbook/Workbook.h"

namespace {

workbook::TExcelVersion FormatForFile(const QString& file)
{
    const workbook::TExcelVersion named = workbook::FormatOfName(file.toStdU16String());
    return named == workbook::xvNone ? workbook::xvExcel97 : named;
}

// The component as its window was created: one empty "Sheet1", nothing
// left of an earlier import or export, so a large export's cells (about
// 680 MB for 1,000,000 sales lines) do not stay with the window. The C
// library keeps some freed small blocks for reuse; malloc_trim hands those
// pages back too: measured after exporting 1,000,000 sales lines, the
// program ended 1 MB above where it started with it, 21 MB (.xls) and
// 29 MB (.xlsx) above without (bench/app/bench_export_memory).
void EmptyWorkbook(workbook::TXLSWorkbook& xls)
{
    xls.Clear();
    workbook::LoadFromWindowResources(xls);
    malloc_trim(0);
}

void WriteTitleRow(const store::DataSet& ds, uint32_t first, workbook::TSheet& sheet)
{
    for (uint32_t k = first; k < static_cast<uint32_t>(ds.FieldCount()); ++k)
        sheet.SetAsString(k, 0, QString::fromStdString(ds.FieldName(static_cast<int>(k))).toStdU16String());
}

// The rows come from the store in blocks (the data set's ForEachRecord), not
// from the rows kept for the grid, so every record is written whatever the
// grid has read so far.
int FillSheets(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls,
               workbook::TExcelVersion version)
{
    const auto first = static_cast<uint32_t>(kind.firstField);
    const auto fields = static_cast<uint32_t>(ds.FieldCount());
    WriteTitleRow(ds, first, xls.Sheet(0));
    int j = 0;
    ds.ForEachRecord([&](const std::vector<store::Value>& row) {
        const workbook::TSheetPlace place = workbook::PlaceOfDataRow(uint64_t(j++), version);
        while (place.Sheet >= xls.Sheets().Count()) {
            workbook::TSheet& sheet = xls.Sheets().Add();
            sheet.SetName(u"Sheet" + QString::number(xls.Sheets().Count()).toStdU16String());
            WriteTitleRow(ds, first, sheet);
        }
        workbook::TSheet& sheet = xls.Sheet(place.Sheet);
        for (uint32_t k = first; k < fields; ++k)
            sheet.SetAsString(k, place.Row, QString::fromStdString(store::ValueText(row[k])).toStdU16String());
    });
    return j;
}

}  // namespace

QString DefaultExportName(const TExportKind& kind, const QDateTime& now)
{
    return kind.baseName + now.toString(QStringLiteral("yyyyMMddhhmmss"));
}

TExportResult ExportDataSet(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls,
                            const QString& file)
{
    const workbook::TExcelVersion version = FormatForFile(file);
    if (uint32_t(ds.FieldCount()) > workbook::SheetColumnLimit(version))
        throw std::runtime_error(QStringLiteral("查询结果有%1列，超过一张工作表最多的%2列，无法导出。")
                                     .arg(ds.FieldCount())
                                     .arg(workbook::SheetColumnLimit(version))
                                     .toStdString());
    EmptyWorkbook(xls);
    int rows = 0;
    try {
        rows = FillSheets(ds, kind, xls, version);
        xls.SetFilename(file.toStdU16String());
        xls.Write();
    } catch (...) {
        EmptyWorkbook(xls);
        throw;
    }
    TExportResult result{rows, xls.Sheets().Count()};
    EmptyWorkbook(xls);
    return result;
}

QString ExportSavedMessage(const TExportResult& result, const QString& file)
{
    const QString saved = QStringLiteral("文件保存成功!");
    if (result.sheets <= 1) return saved;
    const workbook::TExcelVersion version = FormatForFile(file);
    return saved +
           QStringLiteral("\n共%1条记录，超过一张工作表能放的%2行，已依次保存在%"
                          "3张工作表中，每张第一行都是标题。")
               .arg(result.rows)
               .arg(workbook::SheetRowLimit(version))
               .arg(result.sheets) +
           (version == workbook::xvExcel2007
                ? QString()
                : QStringLiteral("如要全部记录在一张工作表中，请选择“Excel 工作簿 (*.xlsx)”再导出。"));
}

namespace {

// The save dialog of an export; empty when there is nothing to write or the
// seller cancelled.
QString AskExportFile(int rows, const TExportKind& kind)
{
    if (rows == 0) {
        Prompter().Information(QStringLiteral("无记录可以导出!"));
        return {};
    }
    QString file = Prompter().SaveFileName(QStringLiteral("导出到 Excel"),
                                           DefaultExportName(kind, QDateTime::currentDateTime()), kExportFilters);
    if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty()) file += ".xls";
    return file;
}

}  // namespace

bool RunExport(const store::DataSet& ds, const TExportKind& kind, workbook::TXLSWorkbook& xls)
{
    QString file = AskExportFile(ds.RecordCount(), kind);
    if (file.isEmpty()) return false;
    const TExportResult result = ExportDataSet(ds, kind, xls, file);
    Prompter().Information(ExportSavedMessage(result, file));
    return true;
}

int ExportTable(const TTextTable& table, workbook::TXLSWorkbook& xls, const QString& file)
{
    workbook::TSheet& sheet = xls.Sheet(0);
    sheet.ClearCells();
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

bool RunTableExport(const TTextTable& table, const QString& baseName, workbook::TXLSWorkbook& xls)
{
    QString file = AskExportFile(static_cast<int>(table.rows.size()), TExportKind{baseName, 0});
    if (file.isEmpty()) return false;
    ExportTable(table, xls, file);
    Prompter().Information(QStringLiteral("文件保存成功!"));
    return true;
}
