// The goods import (see GoodsImport.h).
#include "app/GoodsImport.h"

#include "store/Connection.h"
#include "workbook/XLSWorkbook.h"

namespace {

const char* const kInsert =
    "insert into spxx(spbm,spmc,spsx,spjj,spsj,spkc,bz) values(:spbm,:spmc,:spsx,:spjj,:spsj,:spkc,:bz)";
const char* const kParams[7] = {":spbm", ":spmc", ":spsx", ":spjj", ":spsj", ":spkc", ":bz"};

QString CellText(workbook::TSheet& sheet, uint32_t col, uint32_t row)
{
    return QString::fromStdU16String(sheet.GetAsString(col, row));
}

}  // namespace

ENotTemplate::ENotTemplate() : std::runtime_error("导入的文件不是导入模板!") {}

TGoodsImport::TGoodsImport(workbook::TXLSWorkbook& xls, store::Connection& connection)
    : FXls(xls), FConnection(connection)
{
}

QString TGoodsImport::HeaderLine(const QDateTime& when)
{
    return QStringLiteral("-------------------[商品模板导入时间:") + when.toString("yyyy-MM-dd HH:mm:ss") +
           QStringLiteral("---------------");
}

QString TGoodsImport::CompletionMessage(int count)
{
    return QStringLiteral("文件导入完成!新增%1条记录!").arg(count);
}

void TGoodsImport::Log(const QString& line)
{
    if (OnLog) OnLog(line);
}

int TGoodsImport::Run(const QString& file)
{
    Log(HeaderLine(QDateTime::currentDateTime()));
    FXls.SetFilename(file.toStdU16String());
    FXls.Read();
    if (CellText(FXls.Sheet(0), 6, 0) != QStringLiteral("备注")) throw ENotTemplate();
    workbook::TSheet& sheet = FXls.Sheet(0);
    int rows = 0;
    while (rows + 1 <= int(workbook::WorkbookGlobals().MaxRow) && !CellText(sheet, 0, uint32_t(rows + 1)).isEmpty())
        ++rows;
    if (BeforeStore) BeforeStore();
    int stored = Store(rows);
    // The BIFF8 writer writes the Excel 97-2003 format; an older file is
    // written back in it.
    if (FXls.Version() < workbook::xvExcel97) FXls.SetVersion(workbook::xvExcel97);
    FXls.Write();
    return stored;
}

// Stores rows 1..rows in one transaction; a failing row rolls all back.
int TGoodsImport::Store(int rows)
{
    workbook::TSheet& sheet = FXls.Sheet(0);
    store::Transaction transaction(FConnection);
    int r = 1;
    try {
        for (; r <= rows; ++r) {
            store::Params params;
            for (int col = 0; col < 7; ++col)
                params.push_back({kParams[col], CellText(sheet, uint32_t(col), uint32_t(r)).toStdString()});
            FConnection.Execute(kInsert, params);
            Log(QString::number(r) + QStringLiteral(".新增商品: ") + CellText(sheet, 1, uint32_t(r)));
            if (OnRow) OnRow();
        }
        transaction.Commit();
    } catch (const std::exception& e) {
        Log(QStringLiteral("第%1行导入失败: %2。本次导入没有保存任何商品。").arg(r + 1).arg(QString::fromUtf8(e.what())));
        throw;
    }
    return rows;
}
