// The rows of a data set read by key: in blocks as they are asked for, a
// bounded number of blocks kept.
#include <algorithm>

#include "store/DataSet.h"

namespace store {

namespace {

// A grid shows about thirty rows; a block covers several screens of
// scrolling, and the blocks kept several thousand rows (a few megabytes at
// a million sales lines, where the whole result took 453 MB).
constexpr size_t kBlockRows = 200;
constexpr size_t kKeptBlocks = 16;
// Reading every row (an export) goes in larger steps: fewer statements.
constexpr size_t kReadAllRows = 1000;

}  // namespace

std::int64_t DataSet::KeyOf(const Value& v)
{
    if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
    throw StoreError("记录的编号不是整数");
}

// Reads the rows of `keys` (in the order the store gives them); a key whose
// row is gone is not reported.
void DataSet::ReadBlock(const std::vector<std::int64_t>& keys,
                        const std::function<void(std::int64_t, std::vector<Value>)>& each) const
{
    if (keys.empty()) return;
    std::string sql = FRowSql;
    for (size_t i = 0; i < keys.size(); ++i) sql += i ? ",?" : "?";
    Statement st(FConn, sql + ")");
    for (size_t i = 0; i < keys.size(); ++i) st.Bind(static_cast<int>(i + 1), Value(keys[i]));
    const int n = st.ColumnCount() - 1;  // the key is the last column
    while (st.Step()) {
        std::vector<Value> row;
        row.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) row.push_back(st.Column(i));
        each(KeyOf(st.Column(n)), std::move(row));
    }
}

// Reads the block holding record `row`, then lets the oldest block go.
void DataSet::FetchBlockOf(int row) const
{
    const size_t begin = static_cast<size_t>(row) / kBlockRows * kBlockRows;
    const size_t end = std::min(FKeys.size(), begin + kBlockRows);
    std::vector<std::int64_t> keys;
    for (size_t i = begin; i < end; ++i)
        if (!FCache.contains(FKeys[i])) keys.push_back(FKeys[i]);
    ReadBlock(keys, [this](std::int64_t key, std::vector<Value> r) { FCache[key] = std::move(r); });
    for (std::int64_t key : keys)
        if (FCache.try_emplace(key, FFields.size(), Null{}).second) FGone.insert(key);
    FBlocks.push_back(std::move(keys));
    while (FBlocks.size() > kKeptBlocks) {
        for (std::int64_t key : FBlocks.front()) {
            FCache.erase(key);
            FGone.erase(key);
        }
        FBlocks.pop_front();
    }
}

const std::vector<Value>& DataSet::Row(int row) const
{
    if (!ByKeys()) return FRows.at(static_cast<size_t>(row));
    const std::int64_t key = FKeys.at(static_cast<size_t>(row));
    auto it = FCache.find(key);
    if (it != FCache.end()) return it->second;
    FetchBlockOf(row);
    return FCache.at(key);
}

bool DataSet::IsGone(int row) const
{
    if (!ByKeys()) return false;
    Row(row);
    return FGone.contains(FKeys.at(static_cast<size_t>(row)));
}

void DataSet::ForEachRecord(const std::function<void(const std::vector<Value>&)>& each) const
{
    if (!ByKeys()) {
        for (const auto& r : FRows) each(r);
        return;
    }
    for (size_t begin = 0; begin < FKeys.size(); begin += kReadAllRows) {
        std::vector<std::int64_t> keys(FKeys.begin() + static_cast<long>(begin),
                                       FKeys.begin() + static_cast<long>(std::min(FKeys.size(), begin + kReadAllRows)));
        std::unordered_map<std::int64_t, std::vector<Value>> rows;
        ReadBlock(keys, [&rows](std::int64_t key, std::vector<Value> r) { rows.emplace(key, std::move(r)); });
        for (std::int64_t key : keys)
            if (auto it = rows.find(key); it != rows.end()) each(it->second);
    }
}

// Lets go of every row and key, giving their memory back.
void DataSet::ForgetRows()
{
    std::vector<std::vector<Value>>().swap(FRows);
    std::vector<std::int64_t>().swap(FKeys);
    std::unordered_map<std::int64_t, std::vector<Value>>().swap(FCache);
    FBlocks.clear();
    FGone.clear();
    FRowSql.clear();
    FKeyColumn.clear();
}

}  // namespace store
