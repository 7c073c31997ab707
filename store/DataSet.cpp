#include "store/DataSet.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include "store/SqlTranslate.h"

namespace store {
namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// The table behind a plain select over one table, or "" when the result
// cannot be written back (joins, groups, unions, distinct rows).
std::string SingleTable(const std::string& sql) {
    std::string low = Lower(sql);
    static const std::regex simple(R"(^\s*select\s+(?!distinct\b)[\s\S]*?\bfrom\s+([a-z_][a-z0-9_]*)\s*(where\b[\s\S]*|order\b[\s\S]*|limit\b[\s\S]*)?$)");
    static const std::regex complex(R"(\b(join|group|union|having|intersect|except)\b|\bsum\s*\(|\bcount\s*\()");
    std::smatch m;
    if (!std::regex_match(low, m, simple) || std::regex_search(low, complex)) return {};
    return m[1].str();
}

std::int64_t KeyOf(const Value& v) { return std::holds_alternative<std::int64_t>(v) ? std::get<std::int64_t>(v) : 0; }

}  // namespace

DataSet::DataSet(Connection& connection) : FConn(connection) {}

void DataSet::SetSQL(std::string sql) {
    if (Active()) throw StoreError("数据集打开时不能修改 SQL");
    FSql = std::move(sql);
}

void DataSet::SetParam(const std::string& name, Value value) {
    std::string key = name.empty() || name[0] != ':' ? ":" + name : name;
    for (Param& p : FParams)
        if (p.name == key) {
            p.value = std::move(value);
            return;
        }
    FParams.push_back({key, std::move(value)});
}

void DataSet::Open() {
    if (Active()) return;
    std::string sql = TranslateSql(FSql);
    std::string table = SingleTable(sql);
    std::optional<Statement> st;
    if (!table.empty()) {
        auto at = Lower(sql).find("select");
        try {
            st.emplace(FConn, sql.substr(0, at + 6) + " rowid," + sql.substr(at + 6));
        } catch (const StoreError&) {
            table.clear();  // a view or an alias hid the key: browse only
        }
    }
    if (!st) st.emplace(FConn, sql);
    st->Bind(FParams);
    FTable = table;
    Describe(*st, !table.empty());
    Fetch(*st, !table.empty());
    FCur = FRows.empty() ? -1 : 0;
    FBuffer.clear();
    FState = DataSetState::Browse;
    Notify(DataEvent::StateChanged);
    Notify(DataEvent::DataChanged);
}

void DataSet::Describe(Statement& st, bool keyed) {
    FFields.clear();
    for (int i = keyed ? 1 : 0; i < st.ColumnCount(); ++i) {
        Field f;
        f.name = st.ColumnName(i);
        std::string origin = st.ColumnOrigin(i);
        if (keyed && !origin.empty() && st.ColumnTable(i) == FTable) f.column = origin;
        f.type = st.ColumnType(i);
        FFields.push_back(std::move(f));
    }
}

void DataSet::Fetch(Statement& st, bool keyed) {
    FRows.clear();
    FKeys.clear();
    const int first = keyed ? 1 : 0;
    const int n = st.ColumnCount();
    while (st.Step()) {
        std::vector<Value> row;
        row.reserve(static_cast<size_t>(n - first));
        for (int i = first; i < n; ++i) row.push_back(st.Column(i));
        FRows.push_back(std::move(row));
        FKeys.push_back(keyed ? KeyOf(st.Column(0)) : 0);
    }
}

void DataSet::Close() {
    if (!Active()) return;
    FRows.clear();
    FKeys.clear();
    FBuffer.clear();
    FCur = -1;
    FState = DataSetState::Inactive;
    Notify(DataEvent::StateChanged);
    Notify(DataEvent::DataChanged);
}

void DataSet::Reopen() {
    int row = FCur;
    Close();
    Open();
    if (row > 0 && RecordCount() > 0) MoveTo(row);
}

int DataSet::FieldIndex(const std::string& name) const {
    for (size_t i = 0; i < FFields.size(); ++i)
        if (Lower(FFields[i].name) == Lower(name)) return static_cast<int>(i);
    return -1;
}

int DataSet::RecNo() const {
    if (FState == DataSetState::Insert || FState == DataSetState::Inactive || FCur < 0) return -1;
    return FCur + 1;
}

bool DataSet::IsEditingRow(int row) const {
    return (FState == DataSetState::Edit || FState == DataSetState::Insert) && row == FCur;
}

Value DataSet::GetValue(int row, int col) const {
    if (FState == DataSetState::Insert) {
        if (row == FCur) return Null{};
        if (row > FCur) --row;
    }
    return FRows.at(static_cast<size_t>(row)).at(static_cast<size_t>(col));
}

std::string DataSet::Text(int row, int col) const {
    if (IsEditingRow(row)) {
        auto it = FBuffer.find(col);
        if (it != FBuffer.end()) return it->second;
    }
    return ValueText(GetValue(row, col));
}

std::string DataSet::FieldText(const std::string& name) const {
    int col = FieldIndex(name);
    if (col < 0) throw StoreError("没有字段 " + name);
    return FieldText(col);
}

void DataSet::MoveTo(int row) {
    if (!Active()) return;
    if (FState != DataSetState::Browse) Post();
    row = std::clamp(row, 0, RecordCount() - 1);
    if (row == FCur) return;
    FCur = row;
    Notify(DataEvent::RecordChanged);
}

void DataSet::RequireBrowse(const char* what) const {
    if (!Active()) throw StoreError(std::string("数据集没有打开, 不能") + what);
    if (!CanModify()) throw StoreError(std::string("这个查询结果是只读的, 不能") + what);
}

void DataSet::BeginInsert(int at) {
    RequireBrowse("新增");
    if (FState != DataSetState::Browse) Post();
    FBuffer.clear();
    FCur = std::clamp(at, 0, RecordCount());
    SetState(DataSetState::Insert);
    Notify(DataEvent::DataChanged);
}

void DataSet::Insert() { BeginInsert(FCur < 0 ? 0 : FCur); }
void DataSet::Append() { BeginInsert(RecordCount()); }

void DataSet::Edit() {
    if (FState == DataSetState::Edit || FState == DataSetState::Insert) return;
    RequireBrowse("编辑");
    if (FCur < 0) throw StoreError("没有当前记录可以编辑");
    FBuffer.clear();
    SetState(DataSetState::Edit);
}

void DataSet::SetFieldText(int col, std::string text) {
    if (col < 0 || col >= FieldCount()) throw StoreError("没有这个字段");
    if (FFields[static_cast<size_t>(col)].column.empty())
        throw StoreError("字段 " + FieldName(col) + " 是计算出来的, 不能修改");
    Edit();
    FBuffer[col] = std::move(text);
    Notify(DataEvent::RecordChanged);
}

void DataSet::SetFieldText(const std::string& name, std::string text) {
    int col = FieldIndex(name);
    if (col < 0) throw StoreError("没有字段 " + name);
    SetFieldText(col, std::move(text));
}

}  // namespace store
