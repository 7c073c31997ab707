// The goods window: the searchable, editable goods list and the entry form.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <memory>

#include "app/GoodsQuery.h"
#include "app/child_model.h"

class TDBGrid;
class TDBNavigator;
class TDataSetModel;
class TDBEdit;
namespace workbook {
class TXLSWorkbook;
}

class TForm4 : public TForm3 {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

    store::DataSet& ADOQuery1() { return *FEntry; }   // entry form
    store::DataSet& ADOQuery2() { return *FSearch; }  // the list
    TGoodsFilter Filter() const;
    workbook::TXLSWorkbook& xls1() { return *Fxls1; }

    QTabWidget* PageControl1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QPushButton* BitBtn1;  // 保存并新增
    QPushButton* BitBtn2;  // 查询
    QPushButton* BitBtn3;  // 导入
    QPushButton* BitBtn4;  // 导出
    QPushButton* BitBtn5;  // 删除全部商品
    QLabel* Label8;
    TDBNavigator* DBNavigator1;
    TDBGrid* DBGrid1;

    void Search();
    void SaveAndNew();
    void DeleteAll();
    void ImportClick();
    void ExportClick();

    void DataReloaded() override;
    bool PostPendingEdits() override;

protected:
    void FirstShow() override;
    void RefreshData() override { Search(); }

private:
    QWidget* BuildListTab();
    QWidget* BuildEntryTab();
    void ApplyColumns();
    void UpdateCounter();

    std::unique_ptr<store::DataSet> FSearch;
    std::unique_ptr<store::DataSet> FEntry;
    std::unique_ptr<workbook::TXLSWorkbook> Fxls1;
    TDataSetModel* FModel = nullptr;
    int FCounterListener = 0;
    // The file the import's open dialog starts with: the template's name in
    // the working folder at first, then the file of the last import.
    QString FImportFile = QStringLiteral("商品导入模板.xls");
};
