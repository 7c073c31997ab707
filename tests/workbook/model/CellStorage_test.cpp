// The sparse cell store: cells made in the store's own memory, the used area
// kept as cells come and go, and its two ways of visiting cells.
#include "workbook/model/CellStorage.h"
#include "workbook/model/SST.h"

#include <gtest/gtest.h>

#include <random>

using namespace workbook;

namespace {

std::vector<std::pair<uint32_t, uint32_t>> ByCursor(TCellStorage& store)
{
    std::vector<std::pair<uint32_t, uint32_t>> cells;
    store.BeginIterate();
    while (TCell* c = store.GetNext()) cells.push_back({c->Row(), c->Col()});
    return cells;
}

std::unique_ptr<TCell> Blank(TCellStorage& store, uint32_t col, uint32_t row)
{
    return store.NewCell<TBlankCell>(uint16_t(col), row, nullptr);
}

}  // namespace

TEST(CellStorage, the_used_area_is_found_again_after_a_cell_on_its_border_goes)
{
    TCellStorage store;
    EXPECT_TRUE(store.CalcDimensions().Empty);
    store.SetCells(2, 3, Blank(store, 2, 3));
    store.SetCells(5, 7, Blank(store, 5, 7));
    store.SetCells(4, 9, std::make_unique<TBlankCell>(4, 9, nullptr));
    TCellDimensions d = store.CalcDimensions();
    EXPECT_FALSE(d.Empty);
    EXPECT_EQ(std::vector<uint32_t>({d.FirstCol, d.LastCol, d.FirstRow, d.LastRow}),
              std::vector<uint32_t>({2, 5, 3, 9}));
    EXPECT_TRUE(store.Delete(5, 7));
    d = store.CalcDimensions();
    EXPECT_EQ(std::vector<uint32_t>({d.FirstCol, d.LastCol, d.FirstRow, d.LastRow}),
              std::vector<uint32_t>({2, 4, 3, 9}));
    EXPECT_TRUE(store.Delete(4, 9));
    EXPECT_FALSE(store.Delete(4, 9));
    d = store.CalcDimensions();
    EXPECT_EQ(std::vector<uint32_t>({d.FirstCol, d.LastCol, d.FirstRow, d.LastRow}),
              std::vector<uint32_t>({2, 2, 3, 3}));
    EXPECT_TRUE(store.Delete(2, 3));
    EXPECT_TRUE(store.CalcDimensions().Empty);
}

TEST(CellStorage, cells_made_by_the_store_are_replaced_deleted_and_cleared_like_others)
{
    TSST2 sst;
    TCellValues store(sst);
    TCellFormat format(15, {});
    store.SetCells(1, 1, store.NewCell<TStringCell>(1, 1, &format, sst.AddString(u"a")));
    store.SetCells(1, 1, std::make_unique<TStringCell>(1, 1, nullptr, sst.AddString(u"b")));
    EXPECT_EQ(static_cast<TStringCell*>(store.GetCells(1, 1))->Format(), &format);
    EXPECT_EQ(sst.UniqueCount(), 1u);
    store.SetCells(1, 1, store.NewCell<TFloatCell>(1, 1, nullptr, 2.5));
    EXPECT_EQ(sst.UniqueCount(), 0u);
    EXPECT_EQ(format.Usage(), 1u);
    for (uint32_t r = 0; r < 3000; ++r)
        store.SetCells(2 + r % 200, r,
                       store.NewCell<TStringCell>(uint16_t(2 + r % 200), r, &format, sst.AddString(u"x")));
    EXPECT_EQ(store.CellCount(), 3001u);
    EXPECT_EQ(format.Usage(), 3001u);
    store.Clear();
    EXPECT_EQ(store.CellCount(), 0u);
    EXPECT_EQ(format.Usage(), 0u);
    EXPECT_EQ(sst.UniqueCount(), 0u);
    store.SetCells(7, 70000, store.NewCell<TIntegerCell>(7, 70000, nullptr, 42));
    EXPECT_EQ(static_cast<TIntegerCell*>(store.GetCells(7, 70000))->FValue, 42);
}

// A workbook going whole drops a store of the library's plain kinds with
// its pool, unvisited (the usages of their format are not given back: the
// formats go too); any other cell still has its destructor run.
TEST(CellStorage, dropping_with_the_workbook_destroys_what_owns_memory)
{
    static int destroyed;
    struct TCountedBlank : TBlankCell {
        using TBlankCell::TBlankCell;
        ~TCountedBlank() override { ++destroyed; }
    };
    TSST2 sst;
    TCellValues store(sst);
    TCellFormat format(15, {});
    for (uint32_t r = 0; r < 2000; ++r)
        store.SetCells(r % 20, r, store.NewCell<TFloatCell>(uint16_t(r % 20), r, &format, r));
    store.SetCells(3, 5, store.NewCell<TStringCell>(3, 5, &format, sst.AddString(u"s")));
    store.DetachStrings();
    store.DropWithWorkbook();
    EXPECT_EQ(store.CellCount(), 0u);
    EXPECT_EQ(store.GetCells(3, 5), nullptr);
    EXPECT_EQ(format.Usage(), 2001u);

    destroyed = 0;
    store.SetCells(1, 1, store.NewCell<TFloatCell>(1, 1, nullptr, 1.0));
    store.SetCells(2, 1, store.NewCell<TCountedBlank>(2, 1, nullptr));
    store.SetCells(2, 2, std::make_unique<TCountedBlank>(2, 2, nullptr));
    auto formula = store.NewCell<TNumberFormulaCell>(3, 1, nullptr);
    static_cast<TFormulaCell&>(*formula).FPTGS.assign(100, 0x1E);  // heap memory a leak check would see
    store.SetCells(3, 1, std::move(formula));
    store.DropWithWorkbook();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(store.CellCount(), 0u);

    // Emptied, the store takes cells again and drops them whole once more.
    store.SetCells(4, 4, store.NewCell<TFloatCell>(4, 4, nullptr, 4.0));
    EXPECT_EQ(static_cast<TFloatCell*>(store.GetCells(4, 4))->FValue, 4.0);
    store.DropWithWorkbook();
    EXPECT_EQ(store.CellCount(), 0u);
}

TEST(CellStorage, for_each_and_the_cursor_visit_cells_by_row_then_column)
{
    TCellStorage store;
    std::mt19937 rng(7);
    std::vector<std::pair<uint32_t, uint32_t>> expected;
    for (int i = 0; i < 2000; ++i) {
        uint32_t col = rng() % 3 == 0 ? rng() % 16384 : rng() % 300;
        uint32_t row = rng() % 4 == 0 ? rng() % 1048576 : rng() % 3000;
        if (!store.GetCells(col, row)) expected.push_back({row, col});
        store.SetCells(col, row, Blank(store, col, row));
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::pair<uint32_t, uint32_t>> visited;
    store.ForEach([&](TCell& c) { visited.push_back({c.Row(), c.Col()}); });
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(ByCursor(store), expected);
}
