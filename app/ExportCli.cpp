// tallybrook export-goods: the goods window's export without the window.
#include <map>
#include <ostream>

#include "app/CliCommands.h"
#include "app/GoodsQuery.h"
#include "app/QueryExport.h"
#include "app/SalesQuery.h"
#include "workbook/Workbook.h"

namespace {

const std::string kFormats =
    "OUT.xlsx is written as an Excel workbook (Office Open XML), OUT.xls and any other name as Excel 97-2003; "
    "rows past one sheet (65536 rows in .xls) go on in further sheets, each with the title row.";

// Reads "--name value" pairs; anything else is a usage error.
bool ParseOptions(const std::vector<std::string>& args, size_t from, std::map<std::string, std::string>& opts,
                  std::ostream& err)
{
    for (size_t i = from; i < args.size(); i += 2) {
        if (args[i].rfind("--", 0) != 0 || i + 1 >= args.size() || !opts.count(args[i].substr(2))) {
            err << "unexpected argument \"" << args[i] << "\"\n";
            return false;
        }
        opts[args[i].substr(2)] = args[i + 1];
    }
    return true;
}

// "文件保存成功!" and, when the rows took more than one sheet, which; then
// the count and the file.
int Saved(const TExportResult& result, const std::string& file, std::ostream& out)
{
    out << ExportSavedMessage(result, QString::fromStdString(file)).toStdString() << "\n"
        << result.rows << " rows, " << result.sheets << (result.sheets == 1 ? " sheet" : " sheets") << " -> " << file
        << "\n";
    return 0;
}

int ExportGoods(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::map<std::string, std::string> opts{{"code", ""}, {"name", ""}, {"remark", ""}};
    if (args.empty() || !ParseOptions(args, 1, opts, err)) {
        err << "usage: tallybrook export-goods OUT.xls|OUT.xlsx [--code T] [--name T] [--remark T]\n";
        return 2;
    }
    store::Connection c;
    c.Open();
    store::DataSet q(c);
    RunGoodsSearch(q, {QString::fromStdString(opts["code"]), QString::fromStdString(opts["name"]),
                       QString::fromStdString(opts["remark"])});
    if (q.RecordCount() == 0) {
        err << "无记录可以导出!\n";
        return 1;
    }
    workbook::TXLSWorkbook xls;
    workbook::LoadFromWindowResources(xls);
    return Saved(ExportDataSet(q, kGoodsExport, xls, QString::fromStdString(args[0])), args[0], out);
}

int ExportSales(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::map<std::string, std::string> opts{{"order", ""}, {"code", ""}, {"name", ""}, {"from", ""}, {"to", ""}};
    if (args.empty() || !ParseOptions(args, 1, opts, err) || opts["from"].empty() != opts["to"].empty()) {
        err << "usage: tallybrook export-sales OUT.xls|OUT.xlsx [--order T] [--code T] [--name T] "
               "[--from yyyy-mm-dd --to yyyy-mm-dd]\n";
        return 2;
    }
    TSalesFilter f{opts["order"], opts["code"], opts["name"]};
    if (!opts["from"].empty()) {
        auto from = ParseDay(opts["from"]);
        auto to = ParseDay(opts["to"]);
        if (!from || !to) {
            err << "dates must be written yyyy-mm-dd\n";
            return 2;
        }
        f.byDay = true;
        f.from = *from;
        f.to = *to;
    }
    store::Connection c;
    c.Open();
    store::DataSet lines(c), totals(c);
    RunSalesQuery(c, lines, totals, f);
    if (lines.RecordCount() == 0) {
        err << "无记录可以导出!\n";
        return 1;
    }
    workbook::TXLSWorkbook xls;
    workbook::LoadFromWindowResources(xls);
    return Saved(ExportDataSet(lines, kSalesExport, xls, QString::fromStdString(args[0])), args[0], out);
}

}  // namespace

std::vector<TCliCommand> ExportCommands()
{
    return {{"export-goods", "export-goods OUT.xls|OUT.xlsx [--code T] [--name T] [--remark T]",
             "Saves the goods found (as the goods window's search finds them) to a workbook. " + kFormats, ExportGoods},
            {"export-sales",
             "export-sales OUT.xls|OUT.xlsx [--order T] [--code T] [--name T] [--from yyyy-mm-dd --to yyyy-mm-dd]",
             "Saves the sales lines found (as the sales query window finds them) to a workbook. " + kFormats,
             ExportSales}};
}
