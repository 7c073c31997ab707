// Sparse four-level cell table with its one-entry cache, row-major cursor
// and the used area kept as cells come and go.
#include "workbook/model/CellStorage.h"

#include "workbook/model/SST.h"
#include "workbook/XLSError.h"

#include <algorithm>
#include <cstring>

namespace workbook {

namespace {

// A block of a row grows in steps of 16 cells, so filling a row left to
// right rarely copies it.
uint32_t BlockCapacity(uint32_t need) { return std::min<uint32_t>(128, (need + 15) / 16 * 16); }

}  // namespace

TCellStorage::TCellStorage() = default;

TCellStorage::~TCellStorage()
{
    // Derived stores release their cells in their own destructor; this frees
    // what is left. The blocks go with the pool.
    ForEach([](TCell& c) { delete &c; });
}

TCell* TCellStorage::Find(uint32_t col, uint32_t row) const
{
    if (col > kMaxStoreCol || row > kMaxStoreRow) return nullptr;
    const TRowGroup* group = FCells[row >> 10];
    if (!group) return nullptr;
    const TRowBlock& rowBlock = (*group)[row & 0x3FF];
    if ((col >> 7) >= rowBlock.Count) return nullptr;
    const TColBlock* block = rowBlock.Blocks[col >> 7];
    if (!block || (col & 0x7F) >= block->Capacity) return nullptr;
    return block->Cells()[col & 0x7F];
}

TCell* TCellStorage::GetCells(uint32_t col, uint32_t row)
{
    if (FLastCell && FLastCell->Col() == col && FLastCell->Row() == row) return FLastCell;
    TCell* c = Find(col, row);
    if (c) FLastCell = c;
    return c;
}

TCellStorage::TColBlock*& TCellStorage::BlockSlot(TRowBlock& rowBlock, uint32_t index)
{
    if (index >= rowBlock.Count) {
        uint32_t count = index + 1;
        auto** blocks = static_cast<TColBlock**>(FPool.Allocate(count * sizeof(TColBlock*)));
        std::fill(blocks, blocks + count, nullptr);
        if (rowBlock.Count) {
            std::copy(rowBlock.Blocks, rowBlock.Blocks + rowBlock.Count, blocks);
            FPool.Free(rowBlock.Blocks, rowBlock.Count * sizeof(TColBlock*));
        }
        rowBlock.Blocks = blocks;
        rowBlock.Count = count;
    }
    return rowBlock.Blocks[index];
}

// A copy of block (null: none yet) with room for at least need cells.
TCellStorage::TColBlock* TCellStorage::GrowBlock(TColBlock* block, uint32_t need)
{
    uint32_t capacity = BlockCapacity(need);
    auto* grown = static_cast<TColBlock*>(FPool.Allocate(sizeof(TColBlock) + capacity * sizeof(TCell*)));
    grown->Capacity = capacity;
    std::fill(grown->Cells(), grown->Cells() + capacity, nullptr);
    if (block) {
        std::copy(block->Cells(), block->Cells() + block->Capacity, grown->Cells());
        FPool.Free(block, sizeof(TColBlock) + block->Capacity * sizeof(TCell*));
    }
    return grown;
}

TCell*& TCellStorage::Slot(uint32_t col, uint32_t row)
{
    TRowGroup*& group = FCells[row >> 10];
    if (!group) group = new (FPool.Allocate(sizeof(TRowGroup))) TRowGroup{};
    TColBlock*& block = BlockSlot((*group)[row & 0x3FF], col >> 7);
    if (!block || (col & 0x7F) >= block->Capacity) block = GrowBlock(block, (col & 0x7F) + 1);
    return block->Cells()[col & 0x7F];
}

void TCellStorage::Destroy(TCell* cell)
{
    ReleaseCell(*cell);
    if (FLastCell == cell) FLastCell = nullptr;
    const TCellDimensions& b = FBounds;
    if (cell->Col() == b.FirstCol || cell->Col() == b.LastCol || cell->Row() == b.FirstRow || cell->Row() == b.LastRow)
        FBoundsStale = true;
    delete cell;
    --FCount;
}

// Widens the used area by a stored cell. An empty area starts from the
// largest column and row of the store, as a scan does.
void TCellStorage::Extend(const TCell& cell) const
{
    TCellDimensions& d = FBounds;
    if (d.Empty) d = TCellDimensions{kMaxStoreRow, 0, kMaxStoreCol, 0, false};
    d.FirstCol = std::min<uint32_t>(d.FirstCol, cell.Col());
    d.LastCol = std::max<uint32_t>(d.LastCol, cell.Col());
    d.FirstRow = std::min(d.FirstRow, cell.Row());
    d.LastRow = std::max(d.LastRow, cell.Row());
}

void TCellStorage::SetCells(uint32_t col, uint32_t row, std::unique_ptr<TCell> cell)
{
    if (col > kMaxStoreCol || row > kMaxStoreRow)
        throw EXLSError(FormatText("Cell position out of range (column %u, row %u)", col, row));
    if (cell.get() != FFreshPlain) FOnlyFreshPlain = false;
    FFreshPlain = nullptr;
    TCell*& slot = Slot(col, row);
    if (slot) {
        BeforeReplace(*slot);
        cell->SetFormat(slot->Format());
        Destroy(slot);
    }
    slot = cell.release();
    ++FCount;
    FLastCell = slot;
    Extend(*slot);
    if (FCount == 1) {
        FFirstCol = FLastCol = col;
        FFirstRow = FLastRow = row;
    } else {
        FFirstCol = std::min(FFirstCol, col);
        FLastCol = std::max(FLastCol, col);
        FFirstRow = std::min(FFirstRow, row);
        FLastRow = std::max(FLastRow, row);
    }
}

bool TCellStorage::Delete(uint32_t col, uint32_t row)
{
    if (!Find(col, row)) return false;
    TCell*& slot = Slot(col, row);
    Destroy(slot);
    slot = nullptr;
    return true;
}

void TCellStorage::Clear()
{
    for (TRowGroup*& group : FCells) {
        if (!group) continue;
        for (TRowBlock& rowBlock : *group)
            for (uint32_t b = 0; b < rowBlock.Count; ++b) {
                TColBlock* block = rowBlock.Blocks[b];
                if (!block) continue;
                for (uint32_t c = 0; c < block->Capacity; ++c) {
                    TCell* cell = block->Cells()[c];
                    if (!cell) continue;
                    ReleaseCell(*cell);
                    delete cell;
                }
            }
        group = nullptr;
    }
    Forget();
}

void TCellStorage::DropWithWorkbook()
{
    if (!FOnlyFreshPlain) {
        Clear();
        return;
    }
    // Plain cells own nothing but their pool memory and a usage of their
    // format, which goes with the workbook too.
    FCells.fill(nullptr);
    Forget();
}

// The store is empty again: the pool's memory, with every block and pooled
// cell, goes at once.
void TCellStorage::Forget()
{
    FPool.Reset();
    FFreshPlain = nullptr;
    FOnlyFreshPlain = true;
    FCount = 0;
    FLastCell = nullptr;
    FBounds = TCellDimensions{};
    FBoundsStale = false;
    FFirstCol = FLastCol = FFirstRow = FLastRow = 0;
}

void TCellStorage::BeginIterate()
{
    std::fill(std::begin(FIter), std::end(FIter), 0);
    FIterDone = false;
}

// Advances the four indexes (row group, row, column group, column) to the
// next occupied slot.
TCell* TCellStorage::GetNext()
{
    while (!FIterDone) {
        auto& [g, r, b, c] = FIter;
        if (g >= 1024) {
            FIterDone = true;
            break;
        }
        const TRowGroup* group = FCells[g];
        const TRowBlock* rowBlock = group && r < 1024 ? &(*group)[r] : nullptr;
        const TColBlock* block = rowBlock && b < rowBlock->Count ? rowBlock->Blocks[b] : nullptr;
        if (block && c < block->Capacity) {
            TCell* cell = block->Cells()[c++];
            if (cell) return cell;
        } else if (rowBlock && b < rowBlock->Count) {
            ++b, c = 0;
        } else if (group && r < 1023) {
            ++r, b = c = 0;
        } else {
            ++g, r = b = c = 0;
        }
    }
    return nullptr;
}

void TCellStorage::Rescan() const
{
    FBounds = TCellDimensions{};
    ForEach([this](const TCell& c) { Extend(c); });
    FBoundsStale = false;
}

TCellDimensions TCellStorage::CalcDimensions() const
{
    if (FCount == 0) return TCellDimensions{};
    if (FBoundsStale) Rescan();
    return FBounds;
}

TCellValues::~TCellValues() { Clear(); }

void TCellValues::ReleaseCell(TCell& cell)
{
    if (FSST && cell.CellType() == ctString) FSST->Release(static_cast<TStringCell&>(cell).FValue);
}

void TCellValues::BeforeReplace(TCell& old)
{
    if (!IsFormulaCell(old.CellType())) return;
    auto& formula = static_cast<TFormulaCell&>(old);
    if (formula.FSharedIndex == 0xFFFF) return;
    if (!OnDeleteSharedFormula) throw EXLSError("Can not delete shared formula");
    OnDeleteSharedFormula(formula);
}

}  // namespace workbook
