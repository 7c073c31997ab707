#include "app/overviewwindow.h"

#include <QChart>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/ErrorReport.h"
#include "app/Forms.h"
#include "app/OverviewChart.h"
#include "app/OverviewLoader.h"
#include "app/Prompter.h"
#include "app/SalesWidgets.h"
#include "app/goods.h"
#include "app/login.h"
#include "app/main.h"
#include "workbook/Workbook.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString DayRange(const TCard& c)
{
    QString to = Q(DayText(c.to));
    if (c.from == c.to) return to;
    return Q(DayText(c.from)).mid(5) + QStringLiteral(" ~ ") + to.mid(5);
}

QTableWidget* List(const char* name, const QStringList& titles)
{
    auto* t = new QTableWidget(0, static_cast<int>(titles.size()));
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(titles);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setDefaultSectionSize(22);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    return t;
}

void SetRow(QTableWidget* t, int row, const QStringList& cells, int firstNumber)
{
    for (int k = 0; k < cells.size(); ++k) {
        auto* item = new QTableWidgetItem(cells[k]);
        if (k >= firstNumber) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setItem(row, k, item);
    }
}

void FillBestSellers(QTableWidget* t, const std::vector<TBestSeller>& list, TRankBy by)
{
    t->setRowCount(static_cast<int>(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        const TFigures& f = list[i].figures;
        QString profit = Q(MoneyText(f.Profit())), quantity = QString::number(f.quantity);
        QString first = by == TRankBy::Profit ? profit : quantity, second = by == TRankBy::Profit ? quantity : profit;
        SetRow(t, static_cast<int>(i), {Q(list[i].code), Q(list[i].name), first, second}, 2);
    }
}

// The settings file the login reads and writes; the threshold sits beside the login.
QString IniFile(bool forWriting)
{
    if (!Form1) return QStringLiteral("config.ini");
    return forWriting ? Form1->Settings().WritePath() : Form1->Settings().ReadPath();
}

QPointer<TOverviewWindow> gOverview;

}  // namespace

TOverviewWindow::TOverviewWindow(QWidget* parent) : TForm3(parent), Fxls(std::make_unique<workbook::TXLSWorkbook>())
{
    setObjectName("FormOverview");
    OpenConnection();
    FLoader = new TOverviewLoader(ADOConnection1().FullPath(), this);
    workbook::LoadFromWindowResources(*Fxls);
    SpanBox = new QComboBox(this);
    SpanBox->setObjectName("SpanBox");
    SpanBox->addItems(
        {QStringLiteral("近30天 (按天)"), QStringLiteral("近90天 (按天)"), QStringLiteral("近12个月 (按月)")});
    RefreshButton = SalesButton(QStringLiteral("刷新"), QStyle::SP_BrowserReload, "RefreshButton", this);
    PictureButton = SalesButton(QStringLiteral("导出图片"), QStyle::SP_DialogSaveButton, "PictureButton", this);
    ExportButton = SalesButton(QStringLiteral("导出到Excel"), QStyle::SP_ArrowUp, "ExportButton", this);
    Chart = new TOverviewChart(this);

    auto* top = new QHBoxLayout;
    top->addWidget(SalesLabel(QStringLiteral("图表范围:"), "SpanLabel", this));
    top->addWidget(SpanBox);
    top->addWidget(RefreshButton);
    top->addWidget(PictureButton);
    top->addWidget(ExportButton);
    top->addStretch();
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(Chart);
    split->addWidget(BuildLists());
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({550, 450});  // the chart's dates need the room
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(8, 20, 8, 8);
    lay->addLayout(top);
    lay->addWidget(BuildCards());
    lay->addWidget(split, 1);

    connect(FLoader, &TOverviewLoader::Loaded, this, [this](const TOverview& o) { Guarded([&] { ShowFigures(o); }); });
    connect(FLoader, &TOverviewLoader::Failed, this, [this](const QString& message) {
        ShowTitle(QStringLiteral("统计没有完成"));
        ReportError(std::runtime_error(
            QStringLiteral("经营概况没有统计完成, 请点 \"刷新\" 再试。\n%1").arg(message).toStdString()));
    });
    connect(SpanBox, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { Reload(); }); });
    connect(RefreshButton, &QPushButton::clicked, this, [this] { Guarded([this] { Reload(); }); });
    connect(PictureButton, &QPushButton::clicked, this, [this] { Guarded([this] { SavePicture(); }); });
    connect(ExportButton, &QPushButton::clicked, this, [this] { Guarded([this] { ExportFigures(); }); });
    connect(LowStockList, &QTableWidget::cellClicked, this, [this](int row) { Guarded([&] { OpenGoods(row); }); });
}

TOverviewWindow::~TOverviewWindow() = default;

QWidget* TOverviewWindow::BuildCards()
{
    auto* row = new QWidget(this);
    auto* lay = new QHBoxLayout(row);
    lay->setContentsMargins(0, 0, 0, 0);
    for (const TCard& c : Cards(LocalToday())) {
        auto* box = new QGroupBox(QString::fromUtf8(c.title), row);
        box->setObjectName(QStringLiteral("Card%1").arg(CardValues.size()));
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(8, 4, 8, 4);
        grid->setVerticalSpacing(1);
        std::vector<QLabel*> values;
        for (int k = 0; k < 5; ++k) {
            grid->addWidget(new QLabel(QString::fromUtf8(kFigureTitles[k]) + ":", box), k, 0);
            auto* v = new QLabel(box);
            v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (k == 2) v->setStyleSheet(QStringLiteral("font-weight: bold;"));
            grid->addWidget(v, k, 1);
            values.push_back(v);
        }
        grid->setColumnStretch(2, 1);  // values stay next to their names on a wide screen
        CardValues.push_back(values);
        lay->addWidget(box, 1);
    }
    return row;
}

QWidget* TOverviewWindow::BuildLists()
{
    Lists = new QTabWidget(this);
    Lists->setObjectName("Lists");
    ByProfit = List("ByProfit", {QStringLiteral("商品编码"), QStringLiteral("商品名称"), QStringLiteral("利润"),
                                 QStringLiteral("商品数量")});
    ByQuantity = List("ByQuantity", {QStringLiteral("商品编码"), QStringLiteral("商品名称"), QStringLiteral("商品数量"),
                                     QStringLiteral("利润")});
    LowStockList = List("LowStockList", {QStringLiteral("商品编码"), QStringLiteral("商品名称"),
                                         QStringLiteral("商品属性"), QStringLiteral("库存")});
    LowStockList->setToolTip(QStringLiteral("点击一行, 在商品管理中打开这个商品"));
    ThresholdBox = new QSpinBox;
    ThresholdBox->setObjectName("ThresholdBox");
    ThresholdBox->setRange(0, 1000000);
    ThresholdBox->setValue(ReadLowStockThreshold(IniFile(false)));
    connect(ThresholdBox, &QSpinBox::valueChanged, this, [this](int t) { Guarded([&] { SetThreshold(t); }); });

    auto* stock = new QWidget;
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("库存不高于:")));
    bar->addWidget(ThresholdBox);
    bar->addStretch();
    auto* lay = new QVBoxLayout(stock);
    lay->setContentsMargins(2, 4, 2, 2);
    lay->addLayout(bar);
    lay->addWidget(LowStockList, 1);
    Lists->addTab(ByProfit, QStringLiteral("利润前10"));
    Lists->addTab(ByQuantity, QStringLiteral("销量前10"));
    Lists->addTab(stock, QStringLiteral("库存预警"));
    return Lists;
}

TSpan TOverviewWindow::Span() const
{
    const TSpan spans[] = {TSpan::Days30, TSpan::Days90, TSpan::Months12};
    return spans[std::clamp(SpanBox->currentIndex(), 0, 2)];
}

void TOverviewWindow::FirstShow() { Reload(); }

void TOverviewWindow::DataReloaded()
{
    if (WasShown()) Reload();
}

void TOverviewWindow::Reload()
{
    auto today = LocalToday();
    TSpanRange range = SpanRange(Span(), today);
    std::int64_t threshold = ThresholdBox->value();
    ShowTitle(QStringLiteral("正在统计…"));
    FLoader->Request([=](store::Connection& c) { return LoadOverview(c, range, today, threshold); });
}

bool TOverviewWindow::Loading() const { return FLoader->Busy(); }

void TOverviewWindow::WaitUntilLoaded() { FLoader->Wait(); }

void TOverviewWindow::StopLoading() { FLoader->Stop(); }

void TOverviewWindow::ShowFigures(const TOverview& figures)
{
    FOverview = figures;
    ShowCards();
    Chart->SetSeries(FOverview.series, FOverview.range.monthly);
    const TFigures& t = FOverview.total;
    ShowTitle(QStringLiteral("销售额 %1元  利润 %2元").arg(Q(MoneyText(t.revenue)), Q(MoneyText(t.Profit()))));
    ShowLists();
}

// The chart's title names the span shown and its totals, or what is going on.
void TOverviewWindow::ShowTitle(const QString& state)
{
    Chart->chart()->setTitle(SpanBox->currentText().section(' ', 0, 0) + QStringLiteral("  ") + state);
}

void TOverviewWindow::ShowCards()
{
    std::vector<TCard> cards = Cards(FOverview.today);
    for (size_t i = 0; i < CardValues.size() && i < FOverview.cards.size(); ++i) {
        auto* box = static_cast<QGroupBox*>(CardValues[i][0]->parentWidget());
        box->setTitle(QString::fromUtf8(cards[i].title) + "  " + DayRange(cards[i]));
        std::vector<std::string> texts = FigureTexts(FOverview.cards[i]);
        const char* units[] = {"元", "元", "元", "件", "单"};
        for (size_t k = 0; k < texts.size(); ++k) CardValues[i][k]->setText(Q(texts[k]) + QString::fromUtf8(units[k]));
    }
}

void TOverviewWindow::ShowLists()
{
    FillBestSellers(ByProfit, FOverview.byProfit, TRankBy::Profit);
    FillBestSellers(ByQuantity, FOverview.byQuantity, TRankBy::Quantity);
    LowStockList->setRowCount(static_cast<int>(FOverview.lowStock.size()));
    for (size_t i = 0; i < FOverview.lowStock.size(); ++i) {
        const TLowStock& g = FOverview.lowStock[i];
        SetRow(LowStockList, static_cast<int>(i), {Q(g.code), Q(g.name), Q(g.attribute), QString::number(g.stock)}, 3);
    }
    Lists->setTabText(2, QStringLiteral("库存预警 %1").arg(FOverview.lowStock.size()));
}

void TOverviewWindow::SetThreshold(int threshold)
{
    WriteLowStockThreshold(IniFile(true), threshold);
    FOverview.lowStock = LowStock(ADOConnection1(), threshold);
    ShowLists();
}

void TOverviewWindow::SavePicture()
{
    WaitUntilLoaded();
    QString name = QStringLiteral("经营概况%1.png").arg(QDateTime::currentDateTime().toString("yyyyMMddhhmmss"));
    QString file = Prompter().SaveFileName(QStringLiteral("导出图片"), name, QStringLiteral("PNG 图片 (*.png)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += ".png";
    if (!Chart->SavePng(file))
        throw std::runtime_error(
            QStringLiteral("图片没有保存: 无法写入 %1, 请换一个文件夹再试。").arg(file).toStdString());
    Prompter().Information(QStringLiteral("文件保存成功!"));
}

void TOverviewWindow::ExportFigures()
{
    WaitUntilLoaded();
    RunTableExport(OverviewTable(FOverview), QStringLiteral("经营概况导出"), *Fxls);
}

void TOverviewWindow::OpenGoods(int row)
{
    if (row < 0 || row >= static_cast<int>(FOverview.lowStock.size())) return;
    Form4->Edit1->setText(Q(FOverview.lowStock[static_cast<size_t>(row)].code));
    Form4->Edit2->clear();
    Form4->Edit3->clear();
    HostChildWindow(Form4, Form2->Panel1);
    Form4->PageControl1->setCurrentIndex(0);
    Form4->Search();
}

TTextTable OverviewTable(const TOverview& o)
{
    TTextTable t;
    t.header = {QStringLiteral("类别"), QStringLiteral("项目"), QStringLiteral("起"), QStringLiteral("止")};
    for (const char* title : kFigureTitles) t.header.push_back(QString::fromUtf8(title));
    auto add = [&](const QString& kind, const QString& item, const QString& from, const QString& to,
                   const TFigures& f) {
        std::vector<QString> row{kind, item, from, to};
        for (const std::string& s : FigureTexts(f)) row.push_back(Q(s));
        t.rows.push_back(std::move(row));
    };
    std::vector<TCard> cards = Cards(o.today);
    for (size_t i = 0; i < cards.size() && i < o.cards.size(); ++i)
        add(QStringLiteral("概况"), QString::fromUtf8(cards[i].title), Q(DayText(cards[i].from)),
            Q(DayText(cards[i].to)), o.cards[i]);
    add(QStringLiteral("概况"), QStringLiteral("所选期间"), Q(DayText(o.range.from)), Q(DayText(o.range.to)), o.total);
    QString per = o.range.monthly ? QStringLiteral("每月") : QStringLiteral("每日");
    for (const TSeriesPoint& p : o.series) {
        QString d = Q(DayText(p.day)).left(o.range.monthly ? 7 : 10);
        add(per, d, d, d, p.figures);
    }
    for (const TBestSeller& b : o.byProfit)
        add(QStringLiteral("利润前10"), Q(b.code + " " + b.name), {}, {}, b.figures);
    for (const TBestSeller& b : o.byQuantity)
        add(QStringLiteral("销量前10"), Q(b.code + " " + b.name), {}, {}, b.figures);
    return t;
}

int ReadLowStockThreshold(const QString& iniFile)
{
    QSettings ini(iniFile, QSettings::IniFormat);
    bool ok = false;
    int t = ini.value("overview/lowstock").toString().trimmed().toInt(&ok);
    return ok && t >= 0 ? t : 5;
}

void WriteLowStockThreshold(const QString& iniFile, int threshold)
{
    QSettings ini(iniFile, QSettings::IniFormat);
    ini.setValue("overview/lowstock", threshold);
    ini.sync();
}

TOverviewWindow* OverviewWindow()
{
    // Hosting gives it its parent, and makes it follow the panel's size.
    if (!gOverview) gOverview = new TOverviewWindow;
    return gOverview;
}

TOverviewWindow* CreatedOverviewWindow() { return gOverview; }

void ShowOverview()
{
    TOverviewWindow* w = OverviewWindow();
    bool again = w->WasShown();
    HostChildWindow(w, Form2->Panel1);
    if (again) w->Reload();  // coming back to it shows today's figures
}

void ShowStartWindow()
{
    store::Connection c;
    if (HasSales(c)) ShowOverview();
}
