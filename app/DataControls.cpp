#include "app/DataControls.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include "app/ErrorReport.h"
#include "app/Prompter.h"

using store::DataEvent;
using store::DataSetState;

TDataSetModel::TDataSetModel(store::DataSet& ds, QObject* parent) : QAbstractTableModel(parent), FDs(ds)
{
    FRows = FDs.Active() ? FDs.RowCount() : 0;
    FCols = FDs.Active() ? FDs.FieldCount() : 0;
    FListener = FDs.Subscribe([this](DataEvent e) { OnEvent(e); });
}

TDataSetModel::~TDataSetModel() { FDs.Unsubscribe(FListener); }

void TDataSetModel::OnEvent(DataEvent e)
{
    int rows = FDs.Active() ? FDs.RowCount() : 0;
    int cols = FDs.Active() ? FDs.FieldCount() : 0;
    if (e == DataEvent::DataChanged || rows != FRows || cols != FCols) {
        beginResetModel();
        FRows = rows;
        FCols = cols;
        endResetModel();
    } else if (FDs.CurrentRow() >= 0 && FCols > 0) {
        emit dataChanged(index(FDs.CurrentRow(), 0), index(FDs.CurrentRow(), FCols - 1));
    }
    emit currentRecordChanged(FDs.CurrentRow());
}

int TDataSetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }
int TDataSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FCols; }

QVariant TDataSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= FRows) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        // Rows are read from the store as the grid scrolls to them; a read
        // that fails while painting leaves the cell empty instead of ending
        // the program (the next query reports the fault).
        try {
            return QString::fromStdString(FDs.Text(index.row(), index.column()));
        } catch (const std::exception&) {
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && FAlign.contains(index.column()))
        return QVariant::fromValue(FAlign.value(index.column()) | Qt::AlignVCenter);
    return {};
}

bool TDataSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid()) return false;
    std::string text = value.toString().toStdString();
    if (text == FDs.Text(index.row(), index.column()) && !FDs.IsEditingRow(index.row())) return true;
    bool ok = false;
    Guarded([&] {
        if (FDs.CurrentRow() != index.row()) FDs.MoveTo(index.row());
        FDs.SetFieldText(index.column(), text);
        ok = true;
    });
    return ok;
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal && section < FCols) return QString::fromStdString(FDs.FieldName(section));
    if (o == Qt::Vertical) return FDs.IsEditingRow(section) ? QStringLiteral("*") : QString();
    return {};
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (FDs.CanModify()) f |= Qt::ItemIsEditable;
    return f;
}

TDBGrid::TDBGrid(TDataSetModel* model, QWidget* parent) : QTableView(parent), FModel(model)
{
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setFixedWidth(18);
    connect(model, &TDataSetModel::currentRecordChanged, this, &TDBGrid::FollowDataSet);
    FModel->dataSet().SetBeforePost([this] { CommitOpenEditor(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { FollowDataSet(FModel->dataSet().CurrentRow()); });
}

TDBGrid::~TDBGrid() { FModel->dataSet().SetBeforePost({}); }

void TDBGrid::CommitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState) return;
    // Cell editors are the viewport's only direct child widgets.
    for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (editor->isVisible()) commitData(editor);
}

// The row goes into edit mode as its cell editor opens, so "保存当前记录" is
// enabled while the seller types. Done before the editor opens: a change of
// state afterwards would reset the editor and lose the first key typed.
bool TDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    auto& ds = FModel->dataSet();
    bool triggers = trigger == QAbstractItemView::AllEditTriggers || (editTriggers() & trigger);
    if (index.isValid() && triggers && state() != QAbstractItemView::EditingState &&
        (FModel->flags(index) & Qt::ItemIsEditable) && ds.State() == DataSetState::Browse &&
        index.row() < ds.RecordCount()) {
        bool ready = false;
        Guarded([&] {
            if (ds.CurrentRow() != index.row()) ds.MoveTo(index.row());
            ds.Edit();
            ready = true;
        });
        if (!ready) return false;
    }
    return QTableView::edit(index, trigger, event);
}

void TDBGrid::FollowDataSet(int row)
{
    if (FSyncing || row < 0 || row >= FModel->rowCount()) return;
    if (currentIndex().row() == row) return;
    FSyncing = true;
    int col = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(FModel->index(row, col));
    FSyncing = false;
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (FSyncing || !current.isValid() || current.row() == previous.row()) return;
    auto& ds = FModel->dataSet();
    if (current.row() == ds.CurrentRow()) return;
    FSyncing = true;
    // Leaving an edited row posts it; if the store refuses, stay on that row.
    Guarded([&] { ds.MoveTo(current.row()); });
    FSyncing = false;
    FollowDataSet(ds.CurrentRow());
}

void TDBGrid::keyPressEvent(QKeyEvent* e)
{
    auto& ds = FModel->dataSet();
    if (state() != QAbstractItemView::EditingState) {
        if (e->key() == Qt::Key_Escape && ds.State() != DataSetState::Browse) return Guarded([&] { ds.Cancel(); });
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && ds.State() != DataSetState::Browse &&
            !e->modifiers())
            return Guarded([&] { ds.Post(); });
        if (e->key() == Qt::Key_Insert) return Guarded([&] { ds.Insert(); });
    }
    QTableView::keyPressEvent(e);
}

TDBNavigator::TDBNavigator(store::DataSet& ds, QWidget* parent) : QWidget(parent), FDs(ds)
{
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    const QStyle::StandardPixmap icons[nbCount] = {QStyle::SP_MediaSkipBackward,      QStyle::SP_MediaSeekBackward,
                                                   QStyle::SP_MediaSeekForward,       QStyle::SP_MediaSkipForward,
                                                   QStyle::SP_FileDialogNewFolder,    QStyle::SP_DialogDiscardButton,
                                                   QStyle::SP_FileDialogDetailedView, QStyle::SP_DialogApplyButton,
                                                   QStyle::SP_DialogCancelButton,     QStyle::SP_BrowserReload};
    for (int b = 0; b < nbCount; ++b) {
        auto* btn = new QToolButton(this);
        btn->setIcon(style()->standardIcon(icons[b]));
        btn->setAutoRaise(false);
        btn->setFixedSize(28, 24);
        lay->addWidget(btn);
        connect(btn, &QToolButton::clicked, this, [this, b] { Guarded([&] { Click(static_cast<Button>(b)); }); });
        FButtons[b] = btn;
    }
    lay->addStretch();
    FListener = FDs.Subscribe([this](DataEvent) { UpdateButtons(); });
    UpdateButtons();
}

TDBNavigator::~TDBNavigator() { FDs.Unsubscribe(FListener); }

void TDBNavigator::setHints(const QStringList& hints)
{
    for (int b = 0; b < nbCount && b < hints.size(); ++b) FButtons[b]->setToolTip(hints[b]);
}

void TDBNavigator::setVisibleButtons(std::initializer_list<Button> shown)
{
    for (auto* b : FButtons) b->setVisible(false);
    for (Button b : shown) FButtons[b]->setVisible(true);
}

void TDBNavigator::Click(Button b)
{
    switch (b) {
    case nbFirst: return FDs.First();
    case nbPrior: return FDs.Prior();
    case nbNext: return FDs.Next();
    case nbLast: return FDs.Last();
    case nbInsert: return FDs.Insert();
    case nbDelete:
        if (Prompter().AskOkCancel(QStringLiteral("Delete selected record?"))) FDs.Delete();
        return;
    case nbEdit: return FDs.Edit();
    case nbPost: return FDs.Post();
    case nbCancel: return FDs.Cancel();
    case nbRefresh: FDs.Close(); return FDs.Open();
    case nbCount: return;
    }
}

void TDBNavigator::UpdateButtons()
{
    bool active = FDs.Active();
    bool browse = FDs.State() == DataSetState::Browse;
    bool editing = FDs.State() == DataSetState::Edit || FDs.State() == DataSetState::Insert;
    bool modify = active && FDs.CanModify();
    bool any = active && !FDs.IsEmpty();
    FButtons[nbFirst]->setEnabled(any && browse && !FDs.Bof());
    FButtons[nbPrior]->setEnabled(any && browse && !FDs.Bof());
    FButtons[nbNext]->setEnabled(any && browse && !FDs.Eof());
    FButtons[nbLast]->setEnabled(any && browse && !FDs.Eof());
    FButtons[nbInsert]->setEnabled(modify && browse);
    FButtons[nbDelete]->setEnabled(modify && any && browse);
    FButtons[nbEdit]->setEnabled(modify && any && browse);
    FButtons[nbPost]->setEnabled(editing);
    FButtons[nbCancel]->setEnabled(editing);
    FButtons[nbRefresh]->setEnabled(active && browse);
}

TDBEdit::TDBEdit(store::DataSet& ds, QString field, QWidget* parent)
    : QLineEdit(parent), FDs(ds), FField(std::move(field))
{
    FListener = FDs.Subscribe([this](DataEvent) { Refresh(); });
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        FWriting = true;
        Guarded([&] { FDs.SetFieldText(FField.toStdString(), text.toStdString()); });
        FWriting = false;
    });
    Refresh();
}

TDBEdit::~TDBEdit() { FDs.Unsubscribe(FListener); }

void TDBEdit::Refresh()
{
    if (FWriting) return;
    QString text;
    if (FDs.Active() && FDs.FieldIndex(FField.toStdString()) >= 0) {
        int row = FDs.CurrentRow();
        if (row >= 0) text = QString::fromStdString(FDs.Text(row, FDs.FieldIndex(FField.toStdString())));
    }
    if (text != this->text()) setText(text);
}
