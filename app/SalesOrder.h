// One marketplace order being assembled: its lines as the order grid holds
// them, and the save that stores them all, or none.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/Connection.h"
#include "store/DataSet.h"

// The order grid's columns; every cell holds the text the seller sees.
enum TOrderColumn { ocId, ocName, ocSalePrice, ocPurchasePrice, ocQuantity, ocAttribute, ocCode, ocRemark, ocCount };

struct TOrderLine {
    std::array<std::string, ocCount> cells;
    const std::string& operator[](int col) const { return cells.at(static_cast<size_t>(col)); }
    std::string& operator[](int col) { return cells.at(static_cast<size_t>(col)); }
    bool operator==(const TOrderLine&) const = default;
};

// A save that was refused; the text names the line and what is wrong with it.
class TOrderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kOrderNumberMissing = "为了方便查询,请填写Mercavo的订单编号!";
inline constexpr const char* kOrderSaved = "订单保存成功!";

// Titles of row 0 of the order grid; the id column has none.
const std::array<const char*, ocCount>& OrderColumnTitles();

// A new order line from the picker's current row (fields id, 商品编码,
// 商品名称, 商品属性, 商品进价, 商品售价, 商品库存, 备注), quantity "1".
// A picker without a current row gives empty cells with quantity "1".
TOrderLine OrderLineFromPicker(const store::DataSet& picker);

// A goods item whose stock the order would take below zero.
struct TStockShortfall {
    std::string code;
    std::string name;
    std::int64_t left;  // the stock after the order
    bool operator==(const TStockShortfall&) const = default;
};

class TSalesOrder {
public:
    // Lines are numbered from 1, as the grid's rows under the title row.
    int LineCount() const { return static_cast<int>(FLines.size()); }
    const TOrderLine& Line(int line) const { return FLines.at(Index(line)); }
    const std::vector<TOrderLine>& Lines() const { return FLines; }

    void AddLine(TOrderLine line);
    void SetCell(int line, int col, std::string text);
    // Removes one line; the ones below move up. Numbers outside 1..LineCount do nothing.
    void RemoveLine(int line);
    void Clear() { FLines.clear(); }

    // Checks every line, then stores each as a sales line and lowers its
    // goods' stock, all in one transaction. On any failure nothing is stored
    // and the order is left as it was; refused lines raise TOrderError.
    // Returns the number of lines stored; the lines stay until Clear().
    int Save(store::Connection& c, const std::string& orderNumber) const;

    // The goods whose stock this order would take below zero, to ask the
    // seller before saving. Refused lines raise TOrderError as Save does.
    std::vector<TStockShortfall> StockShortfalls(store::Connection& c) const;

private:
    size_t Index(int line) const;
    std::vector<TOrderLine> FLines;
};

// "保存这个订单后, 以下商品的库存将小于0: ... 是否仍然保存订单?"
std::string StockShortfallQuestion(const std::vector<TStockShortfall>& shortfalls);

// The order number as it is stored: without surrounding blanks.
std::string TrimOrderNumber(const std::string& typed);
