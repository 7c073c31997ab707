// A query result with a current record and in-place editing.
//
// On a select over one table the data set works by each row's key, hidden
// from the fields, so that edits and deletes address exactly that row even
// when two rows look alike. Such a result is read as its ordered list of keys
// when the data set opens (so the record count is exact and comes from the
// same snapshot as the list); the rows themselves are read in blocks by key
// as they are asked for, and only a bounded number of blocks is kept. Other
// results (joins, sums) are fetched whole when the data set opens.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
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
    int RecordCount() const { return static_cast<int>(FKeys.size()); }
    // 1-based number of the current record; -1 with none and while inserting.
    int RecNo() const;
    bool IsEmpty() const { return FKeys.empty(); }
    bool Eof() const { return IsEmpty() || FCur >= RecordCount() - 1; }
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
    // The row's key was listed when the data set opened, but another
    // connection has deleted the row since: it shows empty until a reopen.
    bool IsGone(int row) const;
    // Every stored record in order, read from the store in blocks rather than
    // through the rows kept for the grid, so a large result does not stay in
    // memory; rows deleted meanwhile by another connection are left out.
    void ForEachRecord(const std::function<void(const std::vector<Value>&)>& each) const;

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
    void PostPending()
    {
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

    bool ByKeys() const { return !FRowSql.empty(); }
    void OpenWhole(const std::string& sql);
    bool OpenByKeys(const std::string& sql);
    void Fetch(Statement& st, bool keyed);
    void Describe(Statement& st, bool keyed);
    const std::vector<Value>& Row(int row) const;
    void ReadBlock(const std::vector<std::int64_t>& keys,
                   const std::function<void(std::int64_t, std::vector<Value>)>& each) const;
    void FetchBlockOf(int row) const;
    void ForgetRows();
    static std::int64_t KeyOf(const Value& v);
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
    std::string FTable;                     // the one table behind an editable result
    std::string FKeyColumn;                 // "id", or "rowid" for a table without one
    std::vector<std::vector<Value>> FRows;  // a result fetched whole
    std::vector<std::int64_t> FKeys;        // every record's key, in order (0 when not keyed)
    // A result read by key: "select <fields>, id from <table> where id in (",
    // the rows read so far by key, the blocks they came in (oldest first),
    // and the keys listed at open whose rows were deleted since.
    std::string FRowSql;
    mutable std::unordered_map<std::int64_t, std::vector<Value>> FCache;
    mutable std::deque<std::vector<std::int64_t>> FBlocks;
    mutable std::unordered_set<std::int64_t> FGone;
    int FCur = -1;
    DataSetState FState = DataSetState::Inactive;
    std::map<int, std::string> FBuffer;  // typed texts of the row being edited
    std::map<int, std::function<void(DataEvent)>> FListeners;
    std::function<void()> FBeforePost;
    int FNextListener = 1;
};

}  // namespace store
