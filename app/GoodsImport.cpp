// The goods import (see GoodsImport.h).
#include "app/GoodsImport.h"

#include "store/Connection.h"
#include "store/SqlTranslate.h"
#include "store/Value.h"
#include "workbook/Workbook.h"

#include <QFileInfo>
#include <optional>
#include <set>
#include <vector>

namespace {

const char* const kInsert =
    "insert into spxx(spbm,spmc,spsx,spjj,spsj,spkc,bz) values(:spbm,:spmc,:spsx,:spjj,:spsj,:spkc,:bz)";
const char* const kParams[7] = {":spbm", ":spmc", ":spsx", ":spjj", ":spsj", ":spkc", ":bz"};

QString CellText(workbook::TSheet& sheet, uint32_t col, uint32_t row)
{
    return QString::fromStdU16String(sheet.GetAsString(col, row));
}

// The store's own words for a rejected number name an internal column in
// English; the seller needs the cell. Names the first numeric cell of the
// row the store cannot take, or returns an empty text when all look fine.
QString NumberProblem(workbook::TSheet& sheet, uint32_t row)
{
    struct TColumn {
        uint32_t Index;
        const char* Letter;
        const char* Meaning;
        bool Whole;
    };
    static const TColumn kNumbers[] = {{3, "D", "进价", false}, {4, "E", "售价", false}, {5, "F", "库存", true}};
    for (const TColumn& c : kNumbers) {
        const std::string text = CellText(sheet, c.Index, row).toStdString();
        const QString cell = QStringLiteral("%1列(%2)").arg(QLatin1String(c.Letter), QString::fromUtf8(c.Meaning));
        if (store::Trim(text).empty()) return cell + QStringLiteral("是空的，请填入数字");
        bool number = c.Whole ? store::ParseInteger(text).has_value() : store::ParseCurrency(text).has_value();
        if (!number)
            return cell +
                   QStringLiteral("“%1”不是%2")
                       .arg(QString::fromStdString(text), c.Whole ? QStringLiteral("整数") : QStringLiteral("数字"));
    }
    return {};
}

}  // namespace

ENotTemplate::ENotTemplate() : std::runtime_error("导入的文件不是导入模板!") {}

TGoodsImport::TGoodsImport(workbook::TXLSWorkbook& xls, store::Connection& connection)
    : FXls(xls), FConnection(connection)
{}

QString TGoodsImport::HeaderLine(const QDateTime& when)
{
    return QStringLiteral("-------------------[商品模板导入时间:") + when.toString("yyyy-MM-dd HH:mm:ss") +
           QStringLiteral("---------------");
}

QString TGoodsImport::WriteBackFailed(int count, const QString& reason)
{
    return QStringLiteral("已新增%1条商品记录，但导入的文件无法写回: %2。商品已经保存，请不要再次导入这个文件。")
        .arg(count)
        .arg(reason);
}

QString TGoodsImport::ReadFailed(const QString& file, const QString& reason)
{
    const QFileInfo info(file);
    QString what;
    if (!info.exists())
        what = QStringLiteral("找不到文件“%1”。请重新选择要导入的文件。");
    else if (!info.isFile() || !info.isReadable())
        what = QStringLiteral("无法读取文件“%1”（没有读取权限，或不是普通文件）。请检查文件，或选择另一个文件。");
    else
        what = QStringLiteral("文件“%1”不是 Excel 工作簿，或者已经损坏，无法读取。请选择另一个文件，"
                              "或在电子表格程序中打开它并另存为 Excel 工作簿（*.xls 或 *.xlsx）后再导入。");
    // The reader ends its record position with a carriage return, which a
    // terminal would use to overwrite the start of the line.
    return what.arg(info.fileName()) + QStringLiteral("\n") + QString(reason).replace('\r', '\n');
}

QString TGoodsImport::CompletionMessage(int count) { return QStringLiteral("文件导入完成!新增%1条记录!").arg(count); }

namespace {

QString SkippedLine(const TImportSummary& s)
{
    return QStringLiteral("第%1行的商品编码为空, 导入在此结束: 其后还有%2行没有导入。").arg(s.endRow).arg(s.skipped);
}

}  // namespace

QString TGoodsImport::CompletionMessage(const TImportSummary& s)
{
    QString text = CompletionMessage(s.stored);
    if (s.duplicates > 0)
        text += QStringLiteral(
                    "\n其中%1条记录的商品编码在导入前已经存在, 也已新增; 如果这个文件已经导入过, 请检查重复的商品。")
                    .arg(s.duplicates);
    if (s.skipped > 0) text += "\n" + SkippedLine(s);
    return text;
}

void TGoodsImport::Log(const QString& line)
{
    if (OnLog) OnLog(line);
}

int TGoodsImport::Run(const QString& file)
{
    Log(HeaderLine(QDateTime::currentDateTime()));
    FXls.SetFilename(file.toStdU16String());
    try {
        FXls.Read();
    } catch (const std::exception& e) {
        throw std::runtime_error(ReadFailed(file, QString::fromUtf8(e.what())).toStdString());
    }
    if (CellText(FXls.Sheet(0), 6, 0) != QStringLiteral("备注")) throw ENotTemplate();
    workbook::TSheet& sheet = FXls.Sheet(0);
    int rows = 0;
    while (rows + 1 <= int(workbook::WorkbookGlobals().MaxRow) && !CellText(sheet, 0, uint32_t(rows + 1)).isEmpty())
        ++rows;
    FSummary = {};
    CountSkipped(rows + 1);
    if (BeforeStore) BeforeStore();
    int stored = Store(rows);
    // The BIFF8 writer writes the Excel 97-2003 format; an older file is
    // written back in it.
    if (FXls.Version() < workbook::xvExcel97) FXls.SetVersion(workbook::xvExcel97);
    try {
        FXls.Write();
    } catch (const std::exception& e) {
        // The goods are stored and stay so: the file was read whole and is
        // unchanged. The seller must learn that, or a second import of the
        // same file would store every row twice.
        const QString message = WriteBackFailed(stored, QString::fromUtf8(e.what()));
        Log(message);
        throw EWriteBackFailed(message.toStdString());
    }
    if (FSummary.skipped > 0) Log(SkippedLine(FSummary));
    return stored;
}

// The import ends at the first row whose goods code is empty (row `end`,
// counted from 0). Rows with data below it are counted, so the seller learns
// of them instead of losing them without a word.
void TGoodsImport::CountSkipped(int end)
{
    workbook::TSheet& sheet = FXls.Sheet(0);
    workbook::TCellDimensions used = sheet.UsedArea();
    if (used.Empty) return;
    for (uint32_t r = uint32_t(end) + 1; r <= used.LastRow; ++r) {
        bool any = false;
        for (uint32_t col = 0; col < 7 && !any; ++col) any = !CellText(sheet, col, r).trimmed().isEmpty();
        if (!any) continue;
        ++FSummary.skipped;
    }
    FSummary.endRow = end + 1;
}

// Logs the failure of sheet row r (numbered from 1 as the seller sees it)
// and gives the error to show.
std::runtime_error TGoodsImport::Failed(int r, const QString& reason)
{
    const QString message = QStringLiteral("第%1行导入失败: %2。本次导入没有保存任何商品。").arg(r + 1).arg(reason);
    Log(message);
    return std::runtime_error(message.toStdString());
}

// Stores rows 1..rows in one transaction; a failing row rolls all back. The
// insert is prepared once, with the first row, and run again for each row:
// preparing it anew would cost more than storing the row. The rows' log lines
// are written once the transaction holds: a rolled-back import logs them as
// not saved, so the log never reads as if goods were added.
int TGoodsImport::Store(int rows)
{
    workbook::TSheet& sheet = FXls.Sheet(0);
    std::set<std::string> known;
    {
        store::Statement codes(FConnection, "select spbm from spxx where spbm is not null");
        while (codes.Step()) known.insert(store::ValueText(codes.Column(0)));
    }
    store::Transaction transaction(FConnection);
    std::optional<store::Statement> insert;
    std::vector<std::pair<QString, bool>> lines;  // goods name, code already known
    int r = 1;
    try {
        for (; r <= rows; ++r) {
            store::Params params;
            for (int col = 0; col < 7; ++col)
                params.push_back({kParams[col], CellText(sheet, uint32_t(col), uint32_t(r)).toStdString()});
            if (!insert) insert.emplace(FConnection, store::TranslateSql(kInsert));
            insert->Reset();
            insert->Bind(params);
            while (insert->Step()) {
            }
            const std::string& code = std::get<std::string>(params[0].value);
            lines.emplace_back(CellText(sheet, 1, uint32_t(r)), !known.insert(code).second);
            if (OnRow) OnRow();
        }
        transaction.Commit();
    } catch (const std::exception& e) {
        for (size_t i = 0; i < lines.size(); ++i)
            Log(QString::number(i + 1) + QStringLiteral(".未保存(导入已撤销): ") + lines[i].first);
        const store::StoreError* storeError = dynamic_cast<const store::StoreError*>(&e);
        const QString problem = storeError ? NumberProblem(sheet, uint32_t(r)) : QString();
        throw Failed(r, problem.isEmpty() ? QString::fromUtf8(e.what()) : problem);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        QString line = QString::number(i + 1) + QStringLiteral(".新增商品: ") + lines[i].first;
        if (lines[i].second) {
            line += QStringLiteral(" (商品编码已存在, 重复新增)");
            ++FSummary.duplicates;
        }
        Log(line);
    }
    FSummary.stored = rows;
    return rows;
}
