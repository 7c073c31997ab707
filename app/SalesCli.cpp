// `save-order` and `sales` run the same order and query code as the windows,
// on the ledgr.mdb of the current directory.
#include "app/SalesCli.h"

#include <algorithm>
#include <map>
#include <ostream>

#include "app/SalesOrder.h"
#include "app/SalesQuery.h"

namespace {

using TArgs = std::vector<std::string>;

// One ID:QTY[:PRICE] argument as the picker would have added it, with the
// quantity and the price typed over it.
TOrderLine LineFromArgument(store::DataSet& goods, std::map<std::int64_t, TOrderLine>& picked, int n,
                            const std::string& arg)
{
    std::vector<std::string> parts{""};
    for (char ch : arg) {
        if (ch == ':')
            parts.emplace_back();
        else
            parts.back().push_back(ch);
    }
    auto id = store::ParseInteger(parts[0]);
    std::string prefix = "第" + std::to_string(n) + "行: ";
    if ((parts.size() != 2 && parts.size() != 3) || !id)
        throw TOrderError(prefix + "\"" + arg + "\" 不是 ID:QTY[:PRICE] 的格式。");
    auto known = picked.find(*id);
    if (known == picked.end()) {
        goods.Close();
        goods.SetParam(":id", *id);
        goods.Open();
        if (goods.IsEmpty()) throw TOrderError(prefix + "没有编号为 " + parts[0] + " 的商品。");
        known = picked.emplace(*id, OrderLineFromPicker(goods)).first;
    }
    TOrderLine line = known->second;
    line[ocQuantity] = parts[1];
    if (parts.size() == 3) line[ocSalePrice] = parts[2];
    return line;
}

int SaveOrder(TArgs args, std::ostream& out, std::ostream& err)
{
    // The window asks before a sale takes a stock below zero; here --yes answers in advance.
    bool yes = false;
    if (auto it = std::find(args.begin(), args.end(), "--yes"); it != args.end()) {
        yes = true;
        args.erase(it);
    }
    if (args.size() < 2) {
        err << "usage: tallybrook save-order [--yes] ORDERNO ID:QTY[:PRICE] ...\n";
        return kExitUsage;
    }
    std::string order = TrimOrderNumber(args[0]);
    if (order.empty()) {
        err << kOrderNumberMissing << "\n";
        return kExitFailed;
    }
    store::Connection c;
    store::DataSet goods(c);
    goods.SetSQL(std::string(kPickerSql) + " where id=:id");
    std::map<std::int64_t, TOrderLine> picked;  // goods looked up once per id
    TSalesOrder o;
    for (size_t i = 1; i < args.size(); ++i) o.AddLine(LineFromArgument(goods, picked, static_cast<int>(i), args[i]));
    goods.Close();
    if (auto shortfalls = o.StockShortfalls(c); !shortfalls.empty() && !yes) {
        err << StockShortfallQuestion(shortfalls) << "\n订单没有保存。确认要保存时, 请加上 --yes 再运行一次。\n";
        return kExitNeedsConfirmation;
    }
    o.Save(c, order);
    out << kOrderSaved << "\n";
    return 0;
}

// Cells may hold tabs and line breaks; escaped, every line stays one record.
std::string Cell(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        if (ch == '\t')
            out += "\\t";
        else if (ch == '\n')
            out += "\\n";
        else if (ch == '\r')
            out += "\\r";
        else if (ch == '\\')
            out += "\\\\";
        else
            out += ch;
    }
    return out;
}

void PrintLines(const store::DataSet& lines, std::ostream& out)
{
    std::vector<int> cols;
    for (const char* name : kSalesShownFields) cols.push_back(lines.FieldIndex(name));
    for (size_t i = 0; i < cols.size(); ++i) out << (i ? "\t" : "") << kSalesShownFields[i];
    out << "\n";
    for (int r = 0; r < lines.RecordCount(); ++r) {
        for (size_t i = 0; i < cols.size(); ++i) out << (i ? "\t" : "") << Cell(lines.Text(r, cols[i]));
        out << "\n";
    }
}

// Fills the filter from the options; returns an error text, empty when all is well.
std::string ReadSalesOptions(const TArgs& args, TSalesFilter& f)
{
    std::map<std::string, std::string> opts;
    for (size_t i = 0; i < args.size(); i += 2) {
        const std::string& o = args[i];
        if (o != "--order" && o != "--code" && o != "--name" && o != "--from" && o != "--to")
            return "unknown option " + o;
        if (i + 1 >= args.size()) return o + " needs a value";
        opts[o] = args[i + 1];
    }
    f.order = opts["--order"];
    f.code = opts["--code"];
    f.name = opts["--name"];
    if (opts.count("--from") != opts.count("--to")) return "--from and --to go together";
    if (!opts.count("--from")) return {};
    auto from = ParseDay(opts["--from"]), to = ParseDay(opts["--to"]);
    if (!from || !to) return "dates are written yyyy-mm-dd, e.g. 2024-03-31";
    f.byDay = true;
    f.from = *from;
    f.to = *to;
    return {};
}

int Sales(const TArgs& args, std::ostream& out, std::ostream& err)
{
    TSalesFilter f;
    std::string problem = ReadSalesOptions(args, f);
    if (!problem.empty()) {
        err << problem
            << "\nusage: tallybrook sales [--order T] [--code T] [--name T] [--from yyyy-mm-dd --to yyyy-mm-dd]\n";
        return kExitUsage;
    }
    store::Connection c;
    store::DataSet lines(c), totals(c);
    RunSalesQuery(c, lines, totals, f);
    PrintLines(lines, out);
    out << SalesTotalsText(lines, totals) << "\n";
    return 0;
}

}  // namespace

std::vector<TCliCommand> SalesCommands()
{
    return {{"save-order", "save-order [--yes] ORDERNO ID:QTY[:PRICE] ...",
             "Saves one order as the sales window does: one sales line per goods id, its stock lowered; "
             "PRICE replaces the sale price. All lines or none. An order that would take a stock below "
             "zero is saved only with --yes.",
             SaveOrder},
            {"sales", "sales [--order T] [--code T] [--name T] [--from yyyy-mm-dd --to yyyy-mm-dd]",
             "Lists the sales lines found, tab-separated, and the totals line.", Sales}};
}
