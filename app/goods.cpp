#include "app/goods.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "app/DataControls.h"
#include "app/ErrorReport.h"
#include "app/Prompter.h"
#include "app/Safety.h"
#include "workbook/Workbook.h"

namespace {

const char* const kEntrySql = "select spbm,spmc,spsx,spjj,spsj,spkc,bz from spxx where 1=0";

struct ColumnSpec {
    int width;
    Qt::Alignment align;
};
const ColumnSpec kColumns[] = {{100, Qt::AlignHCenter}, {200, Qt::AlignLeft}, {100, Qt::AlignLeft},
                               {100, Qt::AlignLeft},    {100, Qt::AlignLeft}, {100, Qt::AlignLeft},
                               {200, Qt::AlignLeft}};

// Runs `action` when Enter is pressed in a filter box.
class TEnterFilter : public QObject {
public:
    TEnterFilter(QObject* parent, std::function<void()> action) : QObject(parent), FAction(std::move(action)) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Guarded(FAction);
                return true;
            }
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> FAction;
};

QPushButton* IconButton(const QString& text, QStyle::StandardPixmap icon, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(parent->style()->standardIcon(icon), text, parent);
    b->setObjectName(name);
    return b;
}

// A filter box takes its design width where there is room and gives some
// of it up in a narrow window, so no label or button is pushed over another.
void FitWidth(QLineEdit* box, int width)
{
    box->setMinimumWidth(std::min(width, 70));
    box->setMaximumWidth(width);
    box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QLabel* NamedLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

}  // namespace

TForm4::TForm4(QWidget* parent) : TForm3(parent)
{
    setObjectName("Form4");
    OpenConnection();
    FSearch = std::make_unique<store::DataSet>(ADOConnection1());
    FSearch->SetSQL(kGoodsSearchSql);
    FEntry = std::make_unique<store::DataSet>(ADOConnection1());
    FEntry->SetSQL(kEntrySql);
    Fxls1 = std::make_unique<workbook::TXLSWorkbook>();
    workbook::LoadFromWindowResources(*Fxls1);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setTabShape(QTabWidget::Rounded);
    PageControl1->addTab(BuildListTab(), QStringLiteral("商品查询"));
    PageControl1->addTab(BuildEntryTab(), QStringLiteral("新增商品"));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(4, 20, 4, 4);
    lay->addWidget(PageControl1);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { Guarded([this] { Search(); }); });

    // The entry form always stands on a new row.
    FEntry->Open();
    FEntry->Append();
}

TForm4::~TForm4()
{
    // The widgets listen to the data sets: they go first.
    FSearch->Unsubscribe(FCounterListener);
    delete PageControl1;
    delete FModel;
}

QWidget* TForm4::BuildListTab()
{
    auto* tab = new QWidget;
    tab->setObjectName("TabSheet1");
    Edit1 = new QLineEdit(tab);
    Edit1->setObjectName("Edit1");
    FitWidth(Edit1, 121);
    Edit2 = new QLineEdit(tab);
    Edit2->setObjectName("Edit2");
    FitWidth(Edit2, 174);
    Edit3 = new QLineEdit(tab);
    Edit3->setObjectName("Edit3");
    FitWidth(Edit3, 121);
    BitBtn2 = IconButton(QStringLiteral("查询"), QStyle::SP_FileDialogContentsView, "BitBtn2", tab);
    BitBtn3 = IconButton(QStringLiteral("导入"), QStyle::SP_ArrowDown, "BitBtn3", tab);
    BitBtn4 = IconButton(QStringLiteral("导出"), QStyle::SP_ArrowUp, "BitBtn4", tab);
    BitBtn5 = IconButton(QStringLiteral("删除全部商品"), QStyle::SP_TrashIcon, "BitBtn5", tab);

    auto* filters = new QHBoxLayout;
    filters->addWidget(NamedLabel(QStringLiteral("商品编码:"), "Label9", tab));
    filters->addWidget(Edit1);
    filters->addWidget(NamedLabel(QStringLiteral("商品名称:"), "Label10", tab));
    filters->addWidget(Edit2);
    filters->addWidget(NamedLabel(QStringLiteral("备注:"), "Label11", tab));
    filters->addWidget(Edit3);
    for (auto* b : {BitBtn2, BitBtn3, BitBtn4, BitBtn5}) filters->addWidget(b);
    filters->addStretch();

    DBNavigator1 = new TDBNavigator(*FSearch, tab);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->setHints({QStringLiteral("第一条记录"), QStringLiteral("上一条"), QStringLiteral("下一条"),
                            QStringLiteral("最后一条记录"), QStringLiteral("插入一条新记录"),
                            QStringLiteral("删除一条记录"), QStringLiteral("编辑当前记录"),
                            QStringLiteral("保存当前记录"), QStringLiteral("不保存当前记录"),
                            QStringLiteral("刷新记录")});
    using N = TDBNavigator;
    DBNavigator1->setVisibleButtons(
        {N::nbFirst, N::nbPrior, N::nbNext, N::nbLast, N::nbInsert, N::nbDelete, N::nbEdit, N::nbPost});
    Label8 = NamedLabel(QString(), "Label8", tab);
    Label8->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont f = Label8->font();
    f.setPixelSize(16);
    Label8->setFont(f);
    auto* navRow = new QHBoxLayout;
    navRow->addWidget(DBNavigator1);
    navRow->addWidget(Label8, 1);

    FModel = new TDataSetModel(*FSearch, this);
    DBGrid1 = new TDBGrid(FModel, tab);
    DBGrid1->setObjectName("DBGrid1");
    connect(FModel, &QAbstractItemModel::modelReset, this, &TForm4::ApplyColumns);
    FCounterListener = FSearch->Subscribe([this](store::DataEvent) { UpdateCounter(); });

    auto* lay = new QVBoxLayout(tab);
    lay->addLayout(filters);
    lay->addLayout(navRow);
    lay->addWidget(DBGrid1, 1);

    auto* enter = new TEnterFilter(this, [this] { Search(); });
    for (auto* e : {Edit1, Edit2, Edit3}) e->installEventFilter(enter);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { Guarded([this] { Search(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { Guarded([this] { ImportClick(); }); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { Guarded([this] { ExportClick(); }); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { Guarded([this] { DeleteAll(); }); });
    return tab;
}

QWidget* TForm4::BuildEntryTab()
{
    auto* tab = new QWidget;
    tab->setObjectName("TabSheet2");
    auto box = [&](const char* column) {
        auto* e = new TDBEdit(*FEntry, column, tab);
        e->setObjectName(QString("DBEdit_") + column);
        return e;
    };
    TDBEdit* spmc = box("spmc");
    spmc->setFixedWidth(455);
    TDBEdit* spbm = box("spbm");
    TDBEdit* spsx = box("spsx");
    TDBEdit* spjj = box("spjj");
    TDBEdit* spsj = box("spsj");
    TDBEdit* spkc = box("spkc");
    TDBEdit* bz = box("bz");
    BitBtn1 = IconButton(QStringLiteral("保存并新增"), QStyle::SP_DialogSaveButton, "BitBtn1", tab);
    BitBtn1->setFixedSize(128, 46);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(14);
    grid->addWidget(new QLabel(QStringLiteral("商品名称:"), tab), 0, 0);
    grid->addWidget(spmc, 0, 1, 1, 3, Qt::AlignLeft);
    const std::pair<const char*, TDBEdit*> cells[] = {{"商品编码:", spbm}, {"规格型号:", spsx}, {"进货价格:", spjj},
                                                      {"销售价格:", spsj}, {"当前库存:", spkc}, {"备注:", bz}};
    for (int i = 0; i < 6; ++i) {
        int row = 1 + i / 2, col = (i % 2) * 2;
        grid->addWidget(new QLabel(QString::fromUtf8(cells[i].first), tab), row, col);
        grid->addWidget(cells[i].second, row, col + 1);
    }
    grid->addWidget(BitBtn1, 4, 3, Qt::AlignRight);
    grid->setColumnStretch(4, 1);
    auto* lay = new QVBoxLayout(tab);
    lay->setContentsMargins(24, 24, 24, 24);
    lay->addLayout(grid);
    lay->addStretch();

    QWidget* order[] = {spbm, spmc, spsx, spjj, spsj, spkc, bz, BitBtn1};
    for (int i = 0; i + 1 < 8; ++i) setTabOrder(order[i], order[i + 1]);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { SaveAndNew(); }); });
    return tab;
}

TGoodsFilter TForm4::Filter() const { return {Edit1->text(), Edit2->text(), Edit3->text()}; }

void TForm4::FirstShow() { Search(); }

void TForm4::DataReloaded()
{
    FEntry->Close();
    FEntry->Open();
    FEntry->Append();
    if (WasShown()) Search();
}

bool TForm4::PostPendingEdits()
{
    bool posted = false;
    Guarded([this, &posted] {
        FSearch->PostPending();
        posted = true;
    });
    return posted;
}

void TForm4::Search() { RunGoodsSearch(*FSearch, Filter()); }

void TForm4::UpdateCounter()
{
    if (FSearch->Active()) Label8->setText(GoodsCounterText(*FSearch));
}

void TForm4::ApplyColumns()
{
    for (int i = 0; i < 7 && i < FModel->columnCount(); ++i) {
        DBGrid1->setColumnWidth(i, kColumns[i].width);
        FModel->setAlignment(i, kColumns[i].align);
    }
}

void TForm4::SaveAndNew()
{
    FEntry->Edit();
    FEntry->Post();  // a refused value leaves the typed row in place
    FEntry->Append();
}

void TForm4::DeleteAll()
{
    if (!Prompter().AskYesNo(QStringLiteral("是否删除全部商品?"))) return;
    BackupBefore("delete-all");  // no copy, no delete
    FSearch->Close();
    DeleteAllGoods(ADOConnection1());
    // Show the empty list at once: the deleted rows must not stay on screen to be edited.
    Search();
}
