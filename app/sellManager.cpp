#include "app/sellManager.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/DataControls.h"
#include "app/ErrorReport.h"
#include "app/SalesWidgets.h"

namespace {

using std::chrono::year_month_day;

// The caption leaves a gap after 从 where the first date picker stands.
const QString kDayRangeCaption = QStringLiteral("登记时间:从") + QString(38, ' ') + QStringLiteral("到");

struct TGridColumn {
    const char* field;
    int width;  // 0: hidden
};
// Shown in this order, whatever the order of the fields in the result.
const TGridColumn kColumns[] = {{"id", 0},         {"订单编号", 100}, {"商品编码", 60}, {"商品名称", 200},
                                {"商品属性", 100}, {"售价", 100},     {"进价", 100},    {"购买数量", 100},
                                {"登记时间", 120}, {"备注", 200}};

year_month_day ToDay(const QDate& d)
{
    return year_month_day{std::chrono::year{d.year()}, std::chrono::month{static_cast<unsigned>(d.month())},
                          std::chrono::day{static_cast<unsigned>(d.day())}};
}

QDate ToDate(year_month_day d)
{
    return QDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
                 static_cast<int>(static_cast<unsigned>(d.day())));
}

// The design width where there is room; narrower in a small window rather
// than pushing the controls beside it over each other.
QLineEdit* FilterBox(const char* name, int width, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMinimumWidth(std::min(width, 90));
    e->setMaximumWidth(width);
    e->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return e;
}

QDateEdit* DatePicker(const char* name, int width, QWidget* parent)
{
    auto* p = new QDateEdit(parent);
    p->setObjectName(name);
    p->setCalendarPopup(true);
    p->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    p->setFixedWidth(width);
    return p;
}

}  // namespace

TForm7::TForm7(QWidget* parent)
    : TForm3(parent),
      FLines(std::make_unique<store::DataSet>(ADOConnection1())),
      FTotals(std::make_unique<store::DataSet>(ADOConnection1()))
{
    setObjectName("Form7");
    OpenConnection();
    // The lines are read on the first showing, with the filters: start-up does
    // not read the whole sales table.
    FLines->SetSQL(kSalesLinesSql);

    Edit1 = FilterBox("Edit1", 177, this);
    Edit2 = FilterBox("Edit2", 178, this);
    Edit3 = FilterBox("Edit3", 249, this);
    QWidget* dayRange = BuildDayRange();
    BitBtn1 = SalesButton(QStringLiteral("查询"), QStyle::SP_FileDialogContentsView, "BitBtn1", this);
    BitBtn1->setFixedHeight(46);
    BitBtn2 = SalesButton(QStringLiteral("导出到Excel"), QStyle::SP_ArrowUp, "BitBtn2", this);
    Label5 = SalesLabel(QString(), "Label5", this);
    // The design width where there is room; in a narrow window the totals
    // wrap onto a second line instead of being cut.
    Label5->setMinimumHeight(26);
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setStyleSheet(
        QStringLiteral("QLabel { color: red; font: bold 15px Tahoma; background-color: rgb(128,128,64); }"));
    BuildGrid();

    auto* first = new QHBoxLayout;
    first->addWidget(SalesLabel(QStringLiteral("订单编号:"), "Label1", this));
    first->addWidget(Edit1);
    first->addWidget(dayRange);
    first->addWidget(BitBtn1);
    first->addWidget(BitBtn2);
    first->addStretch();
    auto* second = new QHBoxLayout;
    second->addWidget(SalesLabel(QStringLiteral("商品编码:"), "Label2", this));
    second->addWidget(Edit2);
    second->addWidget(SalesLabel(QStringLiteral("商品名称:"), "Label3", this));
    second->addWidget(Edit3);
    second->addStretch();
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(8, 20, 8, 8);
    lay->addLayout(first);
    lay->addLayout(second);
    lay->addWidget(Label5);
    lay->addWidget(DBGrid1, 1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { Query(); }); });
    // Enter in a filter box runs the query, as it does in the goods window.
    for (QLineEdit* box : {Edit1, Edit2, Edit3})
        connect(box, &QLineEdit::returnPressed, this, [this] { Guarded([this] { Query(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { Guarded([this] { ExportClick(); }); });
}

TForm7::~TForm7()
{
    // The grid listens to the line query: it goes first.
    delete DBGrid1;
    delete FModel;
}

QWidget* TForm7::BuildDayRange()
{
    auto* box = new QWidget(this);
    CheckBox1 = new QCheckBox(kDayRangeCaption, box);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setChecked(true);
    DateTimePicker1 = DatePicker("DateTimePicker1", 89, box);
    DateTimePicker2 = DatePicker("DateTimePicker2", 97, box);
    TSalesFilter month;
    SetMonth(month, ToDay(QDate::currentDate()));
    DateTimePicker1->setDate(ToDate(month.from));
    DateTimePicker2->setDate(ToDate(month.to));

    // The pickers stand in the caption: the first after 从, the second after 到.
    QFontMetrics fm(CheckBox1->font());
    int text = style()->pixelMetric(QStyle::PM_IndicatorWidth) + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    int height = std::max(CheckBox1->sizeHint().height(), DateTimePicker1->sizeHint().height());
    CheckBox1->setGeometry(0, 0, CheckBox1->sizeHint().width(), height);
    DateTimePicker1->move(text + fm.horizontalAdvance(QStringLiteral("登记时间:从")) + 2, 0);
    DateTimePicker2->move(CheckBox1->sizeHint().width() + 2, 0);
    box->setFixedSize(DateTimePicker2->x() + DateTimePicker2->width(), height);

    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) {
        DateTimePicker1->setEnabled(on);
        DateTimePicker2->setEnabled(on);
    });
    return box;
}

void TForm7::BuildGrid()
{
    FModel = new TDataSetModel(*FLines, this);
    DBGrid1 = new TDBGrid(FModel, this);
    DBGrid1->setObjectName("DBGrid1");
    connect(FModel, &QAbstractItemModel::modelReset, this, &TForm7::ApplyColumns);
}

void TForm7::ApplyColumns()
{
    QHeaderView* header = DBGrid1->horizontalHeader();
    int visual = 0;
    for (const TGridColumn& c : kColumns) {
        int field = FLines->Active() ? FLines->FieldIndex(c.field) : -1;
        if (field < 0) continue;
        header->moveSection(header->visualIndex(field), visual++);
        DBGrid1->setColumnHidden(field, c.width == 0);
        if (c.width) DBGrid1->setColumnWidth(field, c.width);
    }
}

TSalesFilter TForm7::Filter() const
{
    TSalesFilter f;
    f.order = Edit1->text().toStdString();
    f.code = Edit2->text().toStdString();
    f.name = Edit3->text().toStdString();
    f.byDay = CheckBox1->isChecked();
    f.from = ToDay(DateTimePicker1->date());
    f.to = ToDay(DateTimePicker2->date());
    return f;
}

void TForm7::FirstShow() { Query(); }

void TForm7::DataReloaded()
{
    FLines->Cancel();
    if (WasShown()) Query();
}

bool TForm7::PostPendingEdits()
{
    bool posted = false;
    Guarded([this, &posted] {
        FLines->PostPending();
        posted = true;
    });
    return posted;
}

void TForm7::Query()
{
    RunSalesQuery(ADOConnection1(), *FLines, *FTotals, Filter());
    Label5->setText(QString::fromStdString(SalesTotalsText(*FLines, *FTotals)));
}
