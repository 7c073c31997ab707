// Widgets bound to a store::DataSet: a table model for grids, a record
// navigator and a text box bound to one field.
#pragma once

#include <QAbstractTableModel>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>
#include <QWidget>
#include <array>

#include "store/DataSet.h"

// Rows and fields of a data set as a grid shows them; edits go to the data set.
class TDataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDataSetModel(store::DataSet& ds, QObject* parent = nullptr);
    ~TDataSetModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setAlignment(int column, Qt::Alignment a) { FAlign[column] = a; }
    store::DataSet& dataSet() { return FDs; }

signals:
    void currentRecordChanged(int row);

private:
    void OnEvent(store::DataEvent e);
    store::DataSet& FDs;
    int FListener;
    int FRows = 0;
    int FCols = 0;
    QMap<int, Qt::Alignment> FAlign;
};

// A grid over a TDataSetModel that keeps its current row and the data set's together.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(TDataSetModel* model, QWidget* parent = nullptr);
    ~TDBGrid() override;
    // Hands the text of an open cell editor to the data set; the editor stays open.
    void CommitOpenEditor();

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void FollowDataSet(int row);
    TDataSetModel* FModel;
    bool FSyncing = false;
};

// First, prior, next, last, insert, delete, edit, post, cancel, refresh.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh, nbCount };
    explicit TDBNavigator(store::DataSet& ds, QWidget* parent = nullptr);
    ~TDBNavigator() override;
    QToolButton* button(Button b) const { return FButtons[b]; }
    void setHints(const QStringList& hints);
    void setVisibleButtons(std::initializer_list<Button> shown);

private:
    void Click(Button b);
    void UpdateButtons();
    store::DataSet& FDs;
    int FListener;
    std::array<QToolButton*, nbCount> FButtons{};
};

// A text box that shows and edits one field of the current record.
class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    TDBEdit(store::DataSet& ds, QString field, QWidget* parent = nullptr);
    ~TDBEdit() override;

private:
    void Refresh();
    store::DataSet& FDs;
    QString FField;
    int FListener;
    bool FWriting = false;
};
