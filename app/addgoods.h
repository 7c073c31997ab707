// The goods picker of the sales registration window: searches the goods and
// hands each double-clicked row on as a new order line.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "app/DataControls.h"
#include "app/SalesOrder.h"
#include "store/Connection.h"
#include "store/DataSet.h"

// The picker's grid: read-only, whole rows, and a double-click anywhere on it
// (rows or empty space) picks the current row.
class TPickerGrid : public TDBGrid {
    Q_OBJECT
public:
    using TDBGrid::TDBGrid;

signals:
    void picked();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    ~TForm6() override;
    store::Connection& ADOConnection1() { return *FConnection; }
    store::DataSet& ADOQuery1() { return *FQuery; }

    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* BitBtn1;  // 查询
    TPickerGrid* DBGrid1;

    void Search();
    // Reads the last result again when the goods changed since it was read
    // (prices, stock), keeping the filter.
    void RefreshIfChanged();
    // Hands the current row on as an order line (empty cells when there is none).
    void Pick();

signals:
    void goodsPicked(const TOrderLine& line);

private:
    void ApplyColumns();
    std::unique_ptr<store::Connection> FConnection;
    std::unique_ptr<store::DataSet> FQuery;
    TDataSetModel* FModel = nullptr;
    std::int64_t FSeenVersion = -1;
};
