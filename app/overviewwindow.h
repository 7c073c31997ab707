// The overview window: four figure cards, the chart of the chosen span, the
// best sellers and the goods running out. Hosted like the other child windows.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <memory>

#include "app/Overview.h"
#include "app/QueryExport.h"
#include "app/child_model.h"

class TOverviewChart;
class TOverviewLoader;
namespace workbook {
class TXLSWorkbook;
}

class TOverviewWindow : public TForm3 {
    Q_OBJECT
public:
    explicit TOverviewWindow(QWidget* parent = nullptr);
    ~TOverviewWindow() override;

    QComboBox* SpanBox;
    QPushButton* RefreshButton;
    QPushButton* PictureButton;  // 导出图片
    QPushButton* ExportButton;   // 导出到Excel
    QSpinBox* ThresholdBox;
    QTabWidget* Lists;
    QTableWidget* ByProfit;
    QTableWidget* ByQuantity;
    QTableWidget* LowStockList;
    TOverviewChart* Chart;
    // The value labels of the cards: [card][figure], in the order of Cards() and kFigureTitles.
    std::vector<std::vector<QLabel*>> CardValues;

    TSpan Span() const;
    const TOverview& Figures() const { return FOverview; }
    // Starts reading the figures of the chosen span; they are shown when read.
    void Reload();
    // True while figures are being read; the window shows "正在统计…" meanwhile.
    bool Loading() const;
    // Waits until the figures of the newest reload are shown.
    void WaitUntilLoaded();
    // Stops reading (before the database file is replaced).
    void StopLoading();
    void SavePicture();
    void ExportFigures();
    // Opens the goods window on the goods of this low-stock row.
    void OpenGoods(int row);
    void SetThreshold(int threshold);
    void DataReloaded() override;

protected:
    void FirstShow() override;

private:
    QWidget* BuildCards();
    QWidget* BuildLists();
    void ShowCards();
    void ShowLists();
    void ShowFigures(const TOverview& figures);
    void ShowTitle(const QString& state);

    TOverview FOverview;
    TOverviewLoader* FLoader;
    std::unique_ptr<workbook::TXLSWorkbook> Fxls;
};

// The overview's figures as one table for a workbook.
TTextTable OverviewTable(const TOverview& o);

// The low-stock threshold in config.ini (section "overview", key "lowstock"), 5 when unset.
int ReadLowStockThreshold(const QString& iniFile);
void WriteLowStockThreshold(const QString& iniFile, int threshold);

// The overview window in the main window's panel, created on first use.
TOverviewWindow* OverviewWindow();
// The same, or nullptr while the seller has not opened it.
TOverviewWindow* CreatedOverviewWindow();
void ShowOverview();
// After login: the overview comes first when there are sales lines.
void ShowStartWindow();
