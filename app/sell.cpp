#include "app/sell.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/ErrorReport.h"
#include "app/Forms.h"
#include "app/Prompter.h"
#include "app/SalesWidgets.h"
#include "app/addgoods.h"

TOrderGridModel::TOrderGridModel(TSalesOrder& order, QObject* parent) : QAbstractTableModel(parent), FOrder(order) {}

int TOrderGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FOrder.LineCount() + 1; }

int TOrderGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ocCount; }

QVariant TOrderGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    if (index.row() == 0) return QString::fromUtf8(OrderColumnTitles()[static_cast<size_t>(index.column())]);
    return QString::fromStdString(FOrder.Line(index.row())[index.column()]);
}

bool TOrderGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() == 0) return false;
    FOrder.SetCell(index.row(), index.column(), value.toString().toStdString());
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags TOrderGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.row() > 0) f |= Qt::ItemIsEditable;
    return f;
}

void TOrderGridModel::AppendLine(const TOrderLine& line)
{
    int row = FOrder.LineCount() + 1;
    beginInsertRows({}, row, row);
    FOrder.AddLine(line);
    endInsertRows();
}

void TOrderGridModel::RemoveLine(int row)
{
    if (row < 1 || row > FOrder.LineCount()) return;
    beginRemoveRows({}, row, row);
    FOrder.RemoveLine(row);
    endRemoveRows();
}

void TOrderGridModel::ClearLines()
{
    beginResetModel();
    FOrder.Clear();
    endResetModel();
}

void TStringGrid::CommitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState) return;
    // Cell editors are the viewport's only children.
    for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

TForm5::TForm5(QWidget* parent) : TForm3(parent)
{
    setObjectName("Form5");
    OpenConnection();

    TitleLabel1 = SalesLabel(QStringLiteral("销售登记"), "TitleLabel1", this);
    QFont title(QStringLiteral("楷体"));
    title.setFamilies({QStringLiteral("楷体"), QStringLiteral("KaiTi"), QStringLiteral("AR PL UKai CN")});
    title.setPixelSize(29);
    title.setBold(true);
    TitleLabel1->setFont(title);
    TitleLabel1->setStyleSheet(QStringLiteral("color: blue;"));

    Label1 = SalesLabel(QStringLiteral("订单编号:"), "Label1", this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setFixedWidth(177);
    BitBtn1 = SalesButton(QStringLiteral("选择售出商品..."), QStyle::SP_FileDialogListView, "BitBtn1", this);
    BitBtn2 = SalesButton(QStringLiteral("删除选中商品"), QStyle::SP_DialogDiscardButton, "BitBtn2", this);
    BitBtn3 = SalesButton(QStringLiteral("保存订单"), QStyle::SP_DialogSaveButton, "BitBtn3", this);
    BuildGrid();

    auto* row = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Edit1, BitBtn1, BitBtn2, BitBtn3}) row->addWidget(w);
    row->addStretch();
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(12, 8, 12, 12);
    lay->addWidget(TitleLabel1, 0, Qt::AlignLeft);  // clear of the clock pane at the top right
    lay->addLayout(row);
    lay->addWidget(StringGrid1, 1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { ChooseGoods(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { Guarded([this] { RemoveSelected(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { Guarded([this] { SaveOrder(); }); });
}

void TForm5::BuildGrid()
{
    FModel = new TOrderGridModel(FOrder, this);
    StringGrid1 = new TStringGrid(this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setModel(FModel);
    StringGrid1->setMinimumSize(400, 160);
    StringGrid1->resize(814, 313);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(24);
    StringGrid1->setColumnHidden(ocId, true);
    StringGrid1->setColumnWidth(ocName, 200);
    for (int c : {ocSalePrice, ocPurchasePrice, ocQuantity, ocAttribute, ocCode}) StringGrid1->setColumnWidth(c, 100);
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setTabKeyNavigation(true);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    StringGrid1->setStyleSheet(QStringLiteral("QTableView { background-color: #c0c0c0; }"));
    // A click on an order line opens its cell's editor at once; the title row stays as it is.
    connect(StringGrid1, &QTableView::clicked, this, [this](const QModelIndex& i) {
        if (i.row() > 0) StringGrid1->edit(i);
    });
}

void TForm5::ChooseGoods()
{
    StringGrid1->CommitOpenEditor();
    Form6->RefreshIfChanged();
    connect(Form6, &TForm6::goodsPicked, this, &TForm5::AddLine, Qt::UniqueConnection);
    // Application-modal without a nested event loop: the picker hands its
    // lines over as they are double-clicked and returns nothing.
    Form6->show();
    Form6->raise();
    Form6->activateWindow();
}

void TForm5::AddLine(const TOrderLine& line) { FModel->AppendLine(line); }

void TForm5::RemoveSelected()
{
    StringGrid1->CommitOpenEditor();
    FModel->RemoveLine(StringGrid1->currentIndex().row());
}

void TForm5::SaveOrder()
{
    std::string order = TrimOrderNumber(Edit1->text().toStdString());
    if (order.empty()) return Prompter().ShowMessage(QString::fromUtf8(kOrderNumberMissing));
    // A cell still being typed into belongs to the order too.
    StringGrid1->CommitOpenEditor();
    // A sale may take a stock below zero (sold before it was counted), but
    // the seller decides that, knowing which goods and how far.
    if (auto shortfalls = FOrder.StockShortfalls(ADOConnection1()); !shortfalls.empty())
        if (!Prompter().AskYesNo(QString::fromStdString(StockShortfallQuestion(shortfalls)))) return;
    FOrder.Save(ADOConnection1(), order);
    Prompter().ShowMessage(QString::fromUtf8(kOrderSaved));
    Edit1->clear();
    FModel->ClearLines();
}
