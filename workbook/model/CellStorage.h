// The sparse cell store of a sheet: a four-level table addressed by row and
// column (row >> 10, row & 0x3FF, col >> 7, col & 0x7F), spanning rows
// 0..1048575 and columns 0..16383. Memory is used only along the paths of
// cells that exist; the two column levels grow only as far as the highest
// column used in a row, so a row of 10 cells costs under two hundred bytes.
// FLastCell caches the cell last stored or found. The blocks of all levels,
// and the cells the store makes itself (NewCell), come from the store's
// memory pool, which is dropped whole when the store is emptied.
#pragma once

#include "workbook/model/Cells.h"
#include "workbook/model/MemoryPool.h"
#include "workbook/XLSTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace workbook {

class TSST2;

constexpr uint32_t kMaxStoreCol = 16383;
constexpr uint32_t kMaxStoreRow = 1048575;

// The kinds that own nothing but their memory and a usage of their format.
template <class TKind> constexpr bool kPlainCell =
    std::is_same_v<TKind, TBlankCell> || std::is_same_v<TKind, TIntegerCell> || std::is_same_v<TKind, TFloatCell> ||
    std::is_same_v<TKind, TStringCell> || std::is_same_v<TKind, TBooleanCell> || std::is_same_v<TKind, TErrorCell>;

// A cell kind whose memory comes from a store's pool; deleting it gives the
// memory back to that pool. Made only by TCellStorage::NewCell.
template <class TKind> class TPooledCell final : public TKind {
public:
    using TKind::TKind;
    static void operator delete(void* p, size_t size) { TMemoryPool::Owner(p)->Free(p, size); }
};

class TCellStorage {
public:
    TCellStorage();
    virtual ~TCellStorage();
    TCellStorage(const TCellStorage&) = delete;
    TCellStorage& operator=(const TCellStorage&) = delete;

    TCell* GetCells(uint32_t col, uint32_t row);
    // The cell at (col, row) or null, without touching the one-entry cache.
    TCell* Find(uint32_t col, uint32_t row) const;
    // Makes a cell of kind TKind in the store's memory, to be stored with
    // SetCells in this store before the store is next cleared. It costs no
    // heap allocation of its own.
    template <class TKind, class... TArgs> std::unique_ptr<TCell> NewCell(TArgs&&... args)
    {
        static_assert(sizeof(TPooledCell<TKind>) <= TMemoryPool::kMaxPooled, "pooled cells find their pool by address");
        void* block = FPool.Allocate(sizeof(TPooledCell<TKind>));
        try {
            auto* cell = new (block) TPooledCell<TKind>(std::forward<TArgs>(args)...);
            FFreshPlain = kPlainCell<TKind> ? cell : nullptr;
            return std::unique_ptr<TCell>(cell);
        } catch (...) {
            FPool.Free(block, sizeof(TPooledCell<TKind>));
            throw;
        }
    }
    // Stores cell at (col, row). A cell already there gives the new cell its
    // XF and is destroyed. Positions outside the store fail with an EXLSError.
    void SetCells(uint32_t col, uint32_t row, std::unique_ptr<TCell> cell);
    // Removes and destroys the cell at (col, row); false when there was none.
    bool Delete(uint32_t col, uint32_t row);
    void Clear();
    // Empties the store as its workbook goes whole, formats and strings
    // included: a store of plain cells from NewCell only (no formulas, no
    // cells made elsewhere) lets them go with its pool, unvisited; any other
    // store is cleared cell by cell.
    void DropWithWorkbook();

    // Row-major iteration: rows ascending, then columns ascending.
    void BeginIterate();
    TCell* GetNext();
    // Calls visit(TCell&) for every cell in the order of GetNext, without
    // touching the cursor of BeginIterate/GetNext.
    template <class F> void ForEach(F visit) const;
    // The used area by the cells' own columns and rows. It is kept up to
    // date as cells are stored, and found again by a scan only after a cell
    // on its border went.
    TCellDimensions CalcDimensions() const;
    size_t CellCount() const { return FCount; }
    uint32_t FFirstCol = 0, FLastCol = 0, FFirstRow = 0, FLastRow = 0;

protected:
    // Called before a cell is destroyed (text cells release their string); never throws.
    virtual void ReleaseCell(TCell& cell) {}
    // Called before a stored cell is replaced by another; may refuse by throwing.
    virtual void BeforeReplace(TCell& old) {}

private:
    // Level 4 (col & 0x7F): Capacity cell pointers follow the header.
    struct alignas(TCell*) TColBlock {
        uint32_t Capacity;
        TCell** Cells() { return reinterpret_cast<TCell**>(this + 1); }
        TCell* const* Cells() const { return reinterpret_cast<TCell* const*>(this + 1); }
    };
    // Level 3 (col >> 7): Count block pointers, null where no block is.
    struct TRowBlock {
        TColBlock** Blocks = nullptr;
        uint32_t Count = 0;
    };
    using TRowGroup = std::array<TRowBlock, 1024>;  // level 2: row & 0x3FF
    TCell*& Slot(uint32_t col, uint32_t row);
    TColBlock*& BlockSlot(TRowBlock& rowBlock, uint32_t index);
    TColBlock* GrowBlock(TColBlock* block, uint32_t need);
    void Destroy(TCell* cell);
    void Forget();
    void Extend(const TCell& cell) const;
    void Rescan() const;

    TMemoryPool FPool;
    // The plain cell NewCell made last; SetCells notes whether every stored
    // cell was one of these.
    const TCell* FFreshPlain = nullptr;
    bool FOnlyFreshPlain = true;
    std::array<TRowGroup*, 1024> FCells{};  // level 1: row >> 10
    TCell* FLastCell = nullptr;
    size_t FCount = 0;
    uint32_t FIter[4] = {};
    bool FIterDone = true;
    mutable TCellDimensions FBounds;
    mutable bool FBoundsStale = false;
};

template <class F> void TCellStorage::ForEach(F visit) const
{
    for (const TRowGroup* group : FCells) {
        if (!group) continue;
        for (const TRowBlock& rowBlock : *group)
            for (uint32_t b = 0; b < rowBlock.Count; ++b) {
                const TColBlock* block = rowBlock.Blocks[b];
                if (!block) continue;
                for (uint32_t c = 0; c < block->Capacity; ++c)
                    if (TCell* cell = block->Cells()[c]) visit(*cell);
            }
    }
}

// The store of a sheet: also knows the shared-string table of the workbook.
class TCellValues : public TCellStorage {
public:
    explicit TCellValues(TSST2& sst) : FSST(&sst) {}
    ~TCellValues() override;
    TSST2& SST() const { return *FSST; }
    // For clearing a whole workbook: the string table is emptied at once,
    // so cells destroyed afterwards need not release their strings.
    void DetachStrings() { FSST = nullptr; }
    // Called before a cell of a shared formula is replaced; the default
    // refuses with "Can not delete shared formula".
    std::function<void(TFormulaCell&)> OnDeleteSharedFormula;

protected:
    void ReleaseCell(TCell& cell) override;
    void BeforeReplace(TCell& old) override;

private:
    TSST2* FSST;
};

}  // namespace workbook
