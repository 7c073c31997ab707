// The sales registration window: the order number, the order grid filled
// from the goods picker, and the save.
#pragma once

#include <QAbstractTableModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/SalesOrder.h"
#include "app/child_model.h"

// The order grid's rows: row 0 holds the column titles, every further row
// one line of the order.
class TOrderGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TOrderGridModel(TSalesOrder& order, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void AppendLine(const TOrderLine& line);
    void RemoveLine(int row);
    void ClearLines();

private:
    TSalesOrder& FOrder;
};

// The order grid: cells edited in place, Tab from cell to cell, blocks selectable.
class TStringGrid : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;
    // Hands the text of a cell editor still open to the model.
    void CommitOpenEditor();
};

class TForm5 : public TForm3 {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    const TSalesOrder& Order() const { return FOrder; }

    QLabel* TitleLabel1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* BitBtn1;  // 选择售出商品...
    QPushButton* BitBtn2;  // 删除选中商品
    QPushButton* BitBtn3;  // 保存订单
    TStringGrid* StringGrid1;

    // Shows the goods picker modally; each double-click there adds a line.
    void ChooseGoods();
    void AddLine(const TOrderLine& line);
    // Removes the grid's current row; the title row stays.
    void RemoveSelected();
    void SaveOrder();
    // The order lines live in memory: a cell still being typed into is
    // handed to its line.
    bool PostPendingEdits() override
    {
        StringGrid1->CommitOpenEditor();
        return true;
    }

private:
    void BuildGrid();
    TSalesOrder FOrder;
    TOrderGridModel* FModel;
};
