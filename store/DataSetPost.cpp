// Writing a data set's edited or inserted row back to its table.
#include <algorithm>

#include "store/DataSet.h"

namespace store {

namespace {

// The seller's name for a column, for messages about a field shown under its
// bare column name (the entry form's boxes).
std::string ColumnCaption(const std::string& column)
{
    static const std::pair<const char*, const char*> kCaptions[] = {{"spbm", "商品编码"}, {"spmc", "商品名称"},
                                                                    {"spsx", "商品属性"}, {"spjj", "商品进价"},
                                                                    {"spsj", "商品售价"}, {"spkc", "商品库存"},
                                                                    {"bz", "备注"},       {"ddbh", "订单编号"},
                                                                    {"sj", "售价"},       {"jj", "进价"},
                                                                    {"gmsl", "购买数量"}, {"xssj", "登记时间"}};
    for (const auto& [name, caption] : kCaptions)
        if (column == name) return caption;
    return column;
}

}  // namespace

// Typed text to the value its column stores: empty numbers are null, money
// keeps four decimals, a registration time is stored in its one canonical
// form, and text that does not convert is refused by name.
std::optional<Value> DataSet::Convert(int col, const std::string& text) const
{
    const Field& f = FFields[static_cast<size_t>(col)];
    const std::string name = f.name == f.column ? ColumnCaption(f.column) : f.name;
    if (f.column == "xssj") {
        // The day-range filter compares the stored text, so a time in any
        // other form would drop out of every query without a word.
        if (Trim(text).empty()) return Value(Null{});
        if (auto t = ParseDateTime(text)) return Value(*t);
        throw StoreError("\"" + text + "\" 不是有效的时间, 请在“" + name +
                         "”中输入日期和时间, 例如 2024-03-01 14:30:00, 或只输入日期 2024-03-01。");
    }
    bool integer = f.type.find("int") != std::string::npos;
    bool real = f.type.find("real") != std::string::npos || f.type.find("num") != std::string::npos ||
                f.type.find("dec") != std::string::npos;
    if (!integer && !real) return Value(text);
    if (Trim(text).empty()) return Value(Null{});
    if (integer) {
        if (auto i = ParseInteger(text)) return Value(*i);
        throw StoreError("\"" + text + "\" 不是有效的整数, 请在“" + name + "”中输入整数。");
    }
    if (auto units = ParseCurrency(text)) return Value(CurrencyValue(*units));
    throw StoreError("\"" + text + "\" 不是有效的数值, 请在“" + name + "”中输入数字, 例如 12.5。");
}

std::int64_t DataSet::WriteRow()
{
    std::vector<std::pair<std::string, Value>> sets;
    for (const auto& [col, text] : FBuffer)
        sets.emplace_back(FFields[static_cast<size_t>(col)].column, *Convert(col, text));
    if (FState == DataSetState::Edit) {
        std::int64_t key = FKeys.at(static_cast<size_t>(FCur));
        if (sets.empty()) return key;
        std::string sql = "update " + FTable + " set ";
        for (size_t i = 0; i < sets.size(); ++i) sql += (i ? ", " : "") + sets[i].first + " = ?";
        sql += " where " + FKeyColumn + " = ?";
        Statement st(FConn, sql);
        for (size_t i = 0; i < sets.size(); ++i) st.Bind(static_cast<int>(i + 1), sets[i].second);
        st.Bind(static_cast<int>(sets.size() + 1), Value(key));
        st.Step();
        if (FConn.Changes() == 0) throw StoreError("这条记录已被删除, 无法保存修改。请重新查询。");
        return key;
    }
    std::string sql = "insert into " + FTable;
    if (sets.empty()) {
        sql += " default values";
    } else {
        std::string cols, marks;
        for (size_t i = 0; i < sets.size(); ++i) {
            cols += (i ? ", " : "") + sets[i].first;
            marks += i ? ", ?" : "?";
        }
        sql += " (" + cols + ") values (" + marks + ")";
    }
    Statement st(FConn, sql);
    for (size_t i = 0; i < sets.size(); ++i) st.Bind(static_cast<int>(i + 1), sets[i].second);
    st.Step();
    return FConn.LastInsertId();
}

// Reads back what the table now holds for the row, defaults included.
std::vector<Value> DataSet::ReadRow(std::int64_t key)
{
    if (ByKeys()) {
        std::vector<Value> row(FFields.size(), Null{});
        ReadBlock({key}, [&row](std::int64_t, std::vector<Value> r) { row = std::move(r); });
        return row;
    }
    std::string sql = "select ";
    for (size_t i = 0; i < FFields.size(); ++i)
        sql += (i ? ", " : "") + (FFields[i].column.empty() ? std::string("null") : FFields[i].column);
    sql += " from " + FTable + " where " + FKeyColumn + " = ?";
    Statement st(FConn, sql);
    st.Bind(1, Value(key));
    std::vector<Value> row;
    if (st.Step())
        for (int i = 0; i < st.ColumnCount(); ++i) row.push_back(st.Column(i));
    else
        row.assign(FFields.size(), Null{});
    return row;
}

void DataSet::Post()
{
    if (FBeforePost) FBeforePost();
    if (FState != DataSetState::Edit && FState != DataSetState::Insert) return;
    // Conversion or store errors leave the typed row and the state as they were.
    std::int64_t key = WriteRow();
    std::vector<Value> row = ReadRow(key);
    auto at = static_cast<size_t>(FCur);
    if (FState == DataSetState::Insert) FKeys.insert(FKeys.begin() + static_cast<long>(at), key);
    if (ByKeys()) {
        FCache[key] = std::move(row);
        FGone.erase(key);
    } else if (FState == DataSetState::Insert) {
        FRows.insert(FRows.begin() + static_cast<long>(at), std::move(row));
    } else {
        FRows[at] = std::move(row);
    }
    FBuffer.clear();
    SetState(DataSetState::Browse);
    Notify(DataEvent::DataChanged);
    Notify(DataEvent::RecordChanged);
}

void DataSet::Cancel()
{
    if (FState != DataSetState::Edit && FState != DataSetState::Insert) return;
    bool inserting = FState == DataSetState::Insert;
    FBuffer.clear();
    if (inserting && FCur >= RecordCount()) FCur = RecordCount() - 1;
    SetState(DataSetState::Browse);
    Notify(DataEvent::DataChanged);
    Notify(DataEvent::RecordChanged);
}

void DataSet::Delete()
{
    if (FState == DataSetState::Insert) return Cancel();
    RequireBrowse("删除");
    if (FCur < 0) throw StoreError("没有记录可以删除");
    FBuffer.clear();
    const std::int64_t key = FKeys.at(static_cast<size_t>(FCur));
    Statement st(FConn, "delete from " + FTable + " where " + FKeyColumn + " = ?");
    st.Bind(1, Value(key));
    st.Step();
    if (ByKeys()) {
        FCache.erase(key);
        FGone.erase(key);
    } else {
        FRows.erase(FRows.begin() + FCur);
    }
    FKeys.erase(FKeys.begin() + FCur);
    FCur = std::min(FCur, RecordCount() - 1);
    SetState(DataSetState::Browse);
    Notify(DataEvent::DataChanged);
    Notify(DataEvent::RecordChanged);
}

int DataSet::Subscribe(std::function<void(DataEvent)> listener)
{
    FListeners[FNextListener] = std::move(listener);
    return FNextListener++;
}

void DataSet::Notify(DataEvent e)
{
    auto copy = FListeners;  // a listener may unsubscribe itself
    for (auto& [id, l] : copy) l(e);
}

void DataSet::SetState(DataSetState s)
{
    if (FState == s) return;
    FState = s;
    Notify(DataEvent::StateChanged);
}

}  // namespace store
