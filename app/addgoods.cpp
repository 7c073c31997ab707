#include "app/addgoods.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "app/ErrorReport.h"
#include "app/SalesQuery.h"
#include "app/SalesWidgets.h"

namespace {

// The picker's result may be read but never changed.
class TReadOnlyModel : public TDataSetModel {
public:
    using TDataSetModel::TDataSetModel;
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return TDataSetModel::flags(index) & ~Qt::ItemIsEditable;
    }
};

struct TPickerColumn {
    int field;
    int width;  // 0: hidden
    Qt::Alignment align;
};
const TPickerColumn kColumns[] = {{0, 0, Qt::AlignLeft},   {1, 100, Qt::AlignHCenter}, {2, 200, Qt::AlignLeft},
                                  {3, 100, Qt::AlignLeft}, {4, 0, Qt::AlignLeft},      {5, 100, Qt::AlignLeft},
                                  {6, 0, Qt::AlignLeft},   {7, 0, Qt::AlignLeft}};

}  // namespace

void TPickerGrid::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Insert) return;  // no new goods rows from the picker
    TDBGrid::keyPressEvent(e);
}

void TPickerGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    QTableView::mouseDoubleClickEvent(e);
    emit picked();
}

TForm6::TForm6(QWidget* parent)
    : QDialog(parent),
      FConnection(std::make_unique<store::Connection>()),
      FQuery(std::make_unique<store::DataSet>(*FConnection))
{
    setObjectName("Form6");
    setWindowTitle(QStringLiteral("添加商品"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    resize(606, 303);
    setWindowModality(Qt::ApplicationModal);
    FConnection->Open();
    FQuery->SetSQL(std::string(kPickerSql) + " order by spkc");
    FQuery->Open();
    FSeenVersion = FConnection->DataVersion();

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setFixedWidth(121);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    Edit2->setFixedWidth(209);
    BitBtn1 = SalesButton(QStringLiteral("查询"), QStyle::SP_FileDialogContentsView, "BitBtn1", this);
    BitBtn1->setFixedHeight(42);
    BitBtn1->setDefault(true);  // Enter in a filter box searches
    FModel = new TReadOnlyModel(*FQuery, this);
    DBGrid1 = new TPickerGrid(FModel, this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(FModel, &QAbstractItemModel::modelReset, this, &TForm6::ApplyColumns);
    ApplyColumns();

    auto* row = new QHBoxLayout;
    row->addWidget(SalesLabel(QStringLiteral("商品编码:"), "Label1", this));
    row->addWidget(Edit1);
    row->addWidget(SalesLabel(QStringLiteral("商品名称:"), "Label2", this));
    row->addWidget(Edit2);
    row->addWidget(BitBtn1);
    row->addStretch();
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(row);
    lay->addWidget(DBGrid1, 1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { Search(); }); });
    connect(DBGrid1, &TPickerGrid::picked, this, [this] { Guarded([this] { Pick(); }); });
}

TForm6::~TForm6()
{
    // The grid listens to the data set: it goes first.
    delete DBGrid1;
    delete FModel;
}

void TForm6::Search()
{
    FSeenVersion = FConnection->DataVersion();
    RunPickerSearch(*FQuery, Edit1->text().toStdString(), Edit2->text().toStdString());
}

void TForm6::RefreshIfChanged()
{
    std::int64_t now = FConnection->DataVersion();
    if (now == FSeenVersion) return;
    FSeenVersion = now;
    if (FQuery->Active()) FQuery->Reopen();
}

void TForm6::Pick() { emit goodsPicked(OrderLineFromPicker(*FQuery)); }

void TForm6::ApplyColumns()
{
    for (const TPickerColumn& c : kColumns) {
        if (c.field >= FModel->columnCount()) continue;
        DBGrid1->setColumnHidden(c.field, c.width == 0);
        if (c.width) DBGrid1->setColumnWidth(c.field, c.width);
        FModel->setAlignment(c.field, c.align);
    }
}
