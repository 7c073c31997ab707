// A query result held in memory, with a current record and in-place editing.
//
// The whole result is fetched when the data set opens, so the record count is
// exact. On a select over one table the data set also fetches each row's key,
// hidden from the fields, so that edits and deletes address exactly that row
// even when two rows look alike.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/Connection.h"
#include "store/Value.h"

namespace store {

enum class DataSetState { Inactive, Browse, Edit, Insert };
enum class DataEvent { DataChanged, RecordChanged, StateChanged };

class DataSet {
public:
    explicit DataSet(Connection& connection);

    void SetSQL(std::string sql);
    const std::string& SQL() const { return FSql; }
    void SetParam(const std::string& name, Value value);
    void ClearParams() { FParams.clear(); }

    void Open();
    void Close();
    bool Active() const { return FState != DataSetState::Inactive; }
    DataSetState State() const { return FState; }
    bool CanModify() const { return !FTable.empty(); }

    int FieldCount() const { return static_cast<int>(FFields.size()); }
    const std::string& FieldName(int col) const { return FFields.at(static_cast<size_t>(col)).name; }
    int FieldIndex(const std::string& name) const;

    // Stored records; an inserted row not yet posted is not counted.
    int RecordCount() const { return static_cast<int>(FRows.size()); }
    // 1-based number of the current record; -1 with none and while inserting.
    int RecNo() const;
    bool IsEmpty() const { return FRows.empty(); }
    bool Eof() const { return FRows.empty() || FCur >= RecordCount() - 1; }
    bool Bof() const { return FCur <= 0; }
    void First() { MoveTo(0); }
    void Last() { MoveTo(RecordCount() - 1); }
    void Next() { MoveTo(FCur + 1); }
    void Prior() { MoveTo(FCur - 1); }
    void MoveTo(int row);  // 0-based; clamped; posts a pending edit first

    // Rows as a grid shows them: the stored records plus a row being inserted.
    int RowCount() const { return RecordCount() + (FState == DataSetState::Insert ? 1 : 0); }
    int CurrentRow() const { return FCur; }
    bool IsEditingRow(int row) const;
    std::string Text(int row, int col) const;
    Value GetValue(int row, int col) const;
    std::string FieldText(int col) const { return FCur < 0 ? std::string() : Text(FCur, col); }
    std::string FieldText(const std::string& name) const;
    std::int64_t Key(int row) const { return FKeys.at(static_cast<size_t>(row)); }

    void Insert();  // a new row before the current one
    void Append();  // a new row after the last one
    void Edit();
    void SetFieldText(int col, std::string text);  // starts editing when browsing
    void SetFieldText(const std::string& name, std::string text);
    void Post();
    void Cancel();
    void Delete();

    // Called first by Post(): a grid hands over the text still in its open
    // cell editor, so what was typed is posted with the rest of the row.
    void SetBeforePost(std::function<void()> hook) { FBeforePost = std::move(hook); }
    // Posts a pending edit or insert, if any.
    void PostPending() {
        if (FState == DataSetState::Edit || FState == DataSetState::Insert) Post();
    }
    // Reads the result again with the same statement and parameters, keeping
    // the current row number where it can.
    void Reopen();

    int Subscribe(std::function<void(DataEvent)> listener);
    void Unsubscribe(int id) { FListeners.erase(id); }

private:
    struct Field {
        std::string name;
        std::string column;  // column of the table, empty for computed fields
        std::string type;    // declared type of that column
    };

    void Fetch(Statement& st, bool keyed);
    void Describe(Statement& st, bool keyed);
    void Notify(DataEvent e);
    void SetState(DataSetState s);
    void BeginInsert(int at);
    std::optional<Value> Convert(int col, const std::string& text) const;
    std::int64_t WriteRow();
    std::vector<Value> ReadRow(std::int64_t key);
    void RequireBrowse(const char* what) const;

    Connection& FConn;
    std::string FSql;
    Params FParams;
    std::vector<Field> FFields;
    std::string FTable;  // the one table behind an editable result
    std::vector<std::vector<Value>> FRows;
    std::vector<std::int64_t> FKeys;
    int FCur = -1;
    DataSetState FState = DataSetState::Inactive;
    std::map<int, std::string> FBuffer;  // typed texts of the row being edited
    std::map<int, std::function<void(DataEvent)>> FListeners;
    std::function<void()> FBeforePost;
    int FNextListener = 1;
};

}  // namespace store
