#include "app/SalesOrder.h"

#include "store/Value.h"

#include <algorithm>

namespace {

const char* const kInsertLine =
    "insert into xssp(ddbh,spmc,sj,jj,gmsl,spsx,spbm,bz) values(:ddbh,:spmc,:sj,:jj,:gmsl,:spsx,:spbm,:bz)";
const char* const kLowerStock = "update spxx set spkc=spkc-:gmsl where id=:id";
const char* const kNotSaved = "订单没有保存, 请修改后再保存。";

// What one line sends to the store, once its texts have been checked.
struct TCheckedLine {
    std::int64_t id;
    std::int64_t quantity;
    store::Value salePrice;
    store::Value purchasePrice;
};

std::string LinePrefix(int n, const TOrderLine& l)
{
    std::string p = "第" + std::to_string(n) + "行";
    if (!store::Trim(l[ocName]).empty()) p += "(" + l[ocName] + ")";
    return p + ": ";
}

// A line without a price would be stored without one and drop out of the
// revenue, cost and profit of every sales query: it is refused instead.
store::Value Price(int n, const TOrderLine& l, int col, const char* title)
{
    if (store::Trim(l[col]).empty()) throw TOrderError(LinePrefix(n, l) + title + "是空的, 请填入价格。" + kNotSaved);
    if (auto units = store::ParseCurrency(l[col])) return store::CurrencyValue(*units);
    throw TOrderError(LinePrefix(n, l) + title + "\"" + l[col] + "\"不是有效的数字。" + kNotSaved);
}

TCheckedLine CheckLine(int n, const TOrderLine& l)
{
    auto id = store::ParseInteger(l[ocId]);
    if (!id) throw TOrderError(LinePrefix(n, l) + "没有商品编号, 请用\"选择售出商品...\"选择商品。" + kNotSaved);
    auto quantity = store::ParseInteger(l[ocQuantity]);
    if (!quantity) throw TOrderError(LinePrefix(n, l) + "购买数量\"" + l[ocQuantity] + "\"不是整数。" + kNotSaved);
    // A negative quantity is a return; nothing at all is no sale.
    if (*quantity == 0) throw TOrderError(LinePrefix(n, l) + "购买数量不能为0。" + kNotSaved);
    return {*id, *quantity, Price(n, l, ocSalePrice, "售价"), Price(n, l, ocPurchasePrice, "进价")};
}

void StoreLine(store::Connection& c, const std::string& order, int n, const TOrderLine& l, const TCheckedLine& v)
{
    c.Execute(kInsertLine, {{":ddbh", order},
                            {":spmc", l[ocName]},
                            {":sj", v.salePrice},
                            {":jj", v.purchasePrice},
                            {":gmsl", v.quantity},
                            {":spsx", l[ocAttribute]},
                            {":spbm", l[ocCode]},
                            {":bz", l[ocRemark]}});
    // A goods row deleted since it was picked would leave the sale without its stock change.
    if (c.Execute(kLowerStock, {{":gmsl", v.quantity}, {":id", v.id}}) != 1)
        throw TOrderError(LinePrefix(n, l) + "编号为 " + std::to_string(v.id) + " 的商品已不存在。" + kNotSaved);
}

}  // namespace

const std::array<const char*, ocCount>& OrderColumnTitles()
{
    static const std::array<const char*, ocCount> titles = {"",         "商品名称", "售价",     "进价",
                                                            "购买数量", "商品属性", "商品编码", "备注"};
    return titles;
}

TOrderLine OrderLineFromPicker(const store::DataSet& picker)
{
    // Picker fields by position: 0 id, 1 code, 2 name, 3 attribute, 4 purchase
    // price, 5 sale price, 6 stock, 7 remark.
    auto field = [&](int i) {
        return picker.Active() && i < picker.FieldCount() ? picker.FieldText(i) : std::string();
    };
    TOrderLine l;
    l[ocId] = field(0);
    l[ocName] = field(2);
    l[ocSalePrice] = field(5);
    l[ocPurchasePrice] = field(4);
    l[ocQuantity] = "1";
    l[ocAttribute] = field(3);
    l[ocCode] = field(1);
    l[ocRemark] = field(7);
    return l;
}

size_t TSalesOrder::Index(int line) const
{
    if (line < 1 || line > LineCount()) throw std::out_of_range("order line " + std::to_string(line));
    return static_cast<size_t>(line - 1);
}

void TSalesOrder::AddLine(TOrderLine line) { FLines.push_back(std::move(line)); }

void TSalesOrder::SetCell(int line, int col, std::string text) { FLines.at(Index(line))[col] = std::move(text); }

void TSalesOrder::RemoveLine(int line)
{
    if (line < 1 || line > LineCount()) return;
    FLines.erase(FLines.begin() + (line - 1));
}

int TSalesOrder::Save(store::Connection& c, const std::string& orderNumber) const
{
    std::vector<TCheckedLine> checked;
    checked.reserve(FLines.size());
    for (int n = 1; n <= LineCount(); ++n) checked.push_back(CheckLine(n, Line(n)));
    if (FLines.empty()) return 0;
    try {
        store::Transaction t(c);
        for (int n = 1; n <= LineCount(); ++n) {
            try {
                StoreLine(c, orderNumber, n, Line(n), checked[Index(n)]);
            } catch (const store::StoreError& e) {
                throw TOrderError(LinePrefix(n, Line(n)) + e.what() + "\n" + kNotSaved);
            }
        }
        t.Commit();
    } catch (const store::StoreError& e) {
        throw TOrderError(std::string(e.what()) + "\n" + kNotSaved);
    }
    return LineCount();
}

std::vector<TStockShortfall> TSalesOrder::StockShortfalls(store::Connection& c) const
{
    // Lines of one goods item add up: two lines of 3 from a stock of 5 leave -1.
    std::vector<std::pair<std::int64_t, std::int64_t>> sold;  // id, quantity, in line order
    for (int n = 1; n <= LineCount(); ++n) {
        auto checked = CheckLine(n, Line(n));
        auto it = std::find_if(sold.begin(), sold.end(), [&](const auto& p) { return p.first == checked.id; });
        if (it == sold.end())
            sold.emplace_back(checked.id, checked.quantity);
        else
            it->second += checked.quantity;
    }
    std::vector<TStockShortfall> out;
    for (const auto& [id, quantity] : sold) {
        store::Statement st(c, "select spbm, spmc, spkc from spxx where id = ?");
        st.Bind(1, store::Value(id));
        if (!st.Step()) continue;  // a goods row gone since it was picked is refused by Save
        store::Value stock = st.Column(2);
        std::int64_t left =
            (std::holds_alternative<std::int64_t>(stock) ? std::get<std::int64_t>(stock) : 0) - quantity;
        if (quantity > 0 && left < 0)
            out.push_back({store::ValueText(st.Column(0)), store::ValueText(st.Column(1)), left});
    }
    return out;
}

std::string StockShortfallQuestion(const std::vector<TStockShortfall>& shortfalls)
{
    std::string text = "保存这个订单后, 以下商品的库存将小于0:\n";
    for (const TStockShortfall& s : shortfalls)
        text += s.code + " " + s.name + ": 剩余库存 " + std::to_string(s.left) + "\n";
    return text + "是否仍然保存订单?";
}

std::string TrimOrderNumber(const std::string& typed) { return store::Trim(typed); }
