// Sparse four-level cell table with its one-entry cache and row-major cursor.
#include "workbook/CellStorage.h"

#include "workbook/SST.h"
#include "workbook/XLSError.h"

#include <algorithm>

namespace workbook {

TCellStorage::TCellStorage() = default;

TCellStorage::~TCellStorage()
{
    // Derived stores release their cells in their own destructor; this frees what is left.
    for (auto& group : FCells) {
        if (!group) continue;
        for (auto& row : *group)
            for (auto& block : row)
                for (TCell* c : block) delete c;
    }
}

TCell* TCellStorage::Find(uint32_t col, uint32_t row) const
{
    if (col > kMaxStoreCol || row > kMaxStoreRow) return nullptr;
    const auto& group = FCells[row >> 10];
    if (!group) return nullptr;
    const auto& rowBlock = (*group)[row & 0x3FF];
    if ((col >> 7) >= rowBlock.size()) return nullptr;
    const auto& block = rowBlock[col >> 7];
    if ((col & 0x7F) >= block.size()) return nullptr;
    return block[col & 0x7F];
}

TCell* TCellStorage::GetCells(uint32_t col, uint32_t row)
{
    if (FLastCell && FLastCell->Col() == col && FLastCell->Row() == row) return FLastCell;
    TCell* c = Find(col, row);
    if (c) FLastCell = c;
    return c;
}

TCell*& TCellStorage::Slot(uint32_t col, uint32_t row)
{
    auto& group = FCells[row >> 10];
    if (!group) group = std::make_unique<TRowGroup>();
    auto& rowBlock = (*group)[row & 0x3FF];
    if ((col >> 7) >= rowBlock.size()) rowBlock.resize((col >> 7) + 1);
    auto& block = rowBlock[col >> 7];
    size_t need = (col & 0x7F) + 1;
    if (need > block.size()) {
        // Grow in steps of 16 so filling a row left to right rarely reallocates.
        block.reserve(std::min<size_t>(128, (need + 15) / 16 * 16));
        block.resize(need, nullptr);
    }
    return block[col & 0x7F];
}

void TCellStorage::Destroy(TCell* cell)
{
    ReleaseCell(*cell);
    if (FLastCell == cell) FLastCell = nullptr;
    delete cell;
    --FCount;
}

void TCellStorage::SetCells(uint32_t col, uint32_t row, std::unique_ptr<TCell> cell)
{
    if (col > kMaxStoreCol || row > kMaxStoreRow)
        throw EXLSError(FormatText("Cell position out of range (column %u, row %u)", col, row));
    TCell*& slot = Slot(col, row);
    if (slot) {
        BeforeReplace(*slot);
        cell->SetFormat(slot->Format());
        Destroy(slot);
    }
    slot = cell.release();
    ++FCount;
    FLastCell = slot;
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
    for (auto& group : FCells) {
        if (!group) continue;
        for (auto& row : *group)
            for (auto& block : row)
                for (TCell*& c : block)
                    if (c) {
                        Destroy(c);
                        c = nullptr;
                    }
        group.reset();
    }
    FLastCell = nullptr;
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
        const auto& group = FCells[g];
        const TRowBlock* rowBlock = group && r < 1024 ? &(*group)[r] : nullptr;
        const TColBlock* block = rowBlock && b < rowBlock->size() ? &(*rowBlock)[b] : nullptr;
        if (block && c < block->size()) {
            TCell* cell = (*block)[c++];
            if (cell) return cell;
        } else if (rowBlock && b < rowBlock->size()) {
            ++b, c = 0;
        } else if (group && r < 1023) {
            ++r, b = c = 0;
        } else {
            ++g, r = b = c = 0;
        }
    }
    return nullptr;
}

TCellDimensions TCellStorage::CalcDimensions() const
{
    TCellDimensions d;
    if (FCount == 0) return d;
    d.Empty = false;
    d.FirstCol = kMaxStoreCol;
    d.FirstRow = kMaxStoreRow;
    auto* self = const_cast<TCellStorage*>(this);
    uint32_t saved[4];
    std::copy(std::begin(FIter), std::end(FIter), saved);
    bool savedDone = FIterDone;
    self->BeginIterate();
    while (TCell* c = self->GetNext()) {
        d.FirstCol = std::min<uint32_t>(d.FirstCol, c->Col());
        d.LastCol = std::max<uint32_t>(d.LastCol, c->Col());
        d.FirstRow = std::min(d.FirstRow, c->Row());
        d.LastRow = std::max(d.LastRow, c->Row());
    }
    std::copy(saved, saved + 4, self->FIter);
    self->FIterDone = savedDone;
    return d;
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
