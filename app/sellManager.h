// The sales query window: filters, the sales lines found, editable in place,
// and one line of totals over them.
#pragma once

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "app/SalesQuery.h"
#include "app/child_model.h"

class TDBGrid;
class TDataSetModel;

class TForm7 : public TForm3 {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
    ~TForm7() override;

    store::DataSet& ADOQuery1() { return *FLines; }   // the sales lines
    store::DataSet& ADOQuery2() { return *FTotals; }  // their totals
    TSalesFilter Filter() const;

    QLineEdit* Edit1;  // order number
    QLineEdit* Edit2;  // goods code
    QLineEdit* Edit3;  // goods name
    QCheckBox* CheckBox1;
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QPushButton* BitBtn1;  // 查询
    QPushButton* BitBtn2;  // 导出到Excel
    QLabel* Label5;        // totals
    TDBGrid* DBGrid1;

    void Query();
    void ExportClick();
    // After a restore: what was typed into the grid belonged to the old file.
    void DataReloaded() override;
    bool PostPendingEdits() override;

protected:
    void FirstShow() override;
    void RefreshData() override { Query(); }

private:
    QWidget* BuildDayRange();
    void BuildGrid();
    void ApplyColumns();

    std::unique_ptr<store::DataSet> FLines;
    std::unique_ptr<store::DataSet> FTotals;
    TDataSetModel* FModel = nullptr;
};
