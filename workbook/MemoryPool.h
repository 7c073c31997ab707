// A small-block pool for the workbook model: shared strings, trie nodes,
// cells and the cell store's row and column blocks. A large table holds
// hundreds of thousands of these; taking each from the general heap costs
// more than building the table, and giving them back one by one costs as
// much again. The pool carves blocks from 64 KB chunks, keeps freed blocks
// on one list per size (multiples of 8 bytes), and drops every chunk at once
// on Reset. Chunks come from slabs that double in size up to 4 MB, so a
// large table costs few calls to the system and a small one little memory. Blocks larger than kMaxPooled come from the heap one by one,
// linked in a list so Reset frees them too.
//
// Chunks are aligned to their size and start with a pointer to their pool,
// so Owner(p) finds the pool of any pooled block without storing it per
// block (a pooled cell's operator delete relies on this).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace workbook {

class TMemoryPool {
public:
    static constexpr size_t kChunk = 64 * 1024;
    static constexpr size_t kMaxPooled = 4096;

    TMemoryPool() = default;
    ~TMemoryPool() { Reset(); }
    TMemoryPool(const TMemoryPool&) = delete;
    TMemoryPool& operator=(const TMemoryPool&) = delete;

    // Uninitialised memory for size bytes, aligned to 8.
    void* Allocate(size_t size)
    {
        size_t cls = ClassOf(size);
        if (cls > kClasses) return AllocateLarge(size);
        if (TFree* f = FFree[cls]) {
            FFree[cls] = f->Next;
            return f;
        }
        size_t bytes = cls * kGrain;
        if (FLeft < bytes) NewChunk();
        void* p = FBump;
        FBump += bytes;
        FLeft -= bytes;
        return p;
    }
    // Returns a block taken with Allocate(size), same size.
    void Free(void* p, size_t size)
    {
        size_t cls = ClassOf(size);
        if (cls > kClasses) return FreeLarge(p);
        auto* f = static_cast<TFree*>(p);
        f->Next = FFree[cls];
        FFree[cls] = f;
    }
    // Frees every block at once.
    void Reset();
    // The pool a pooled block (size <= kMaxPooled) was taken from.
    static TMemoryPool* Owner(const void* p)
    {
        auto base = reinterpret_cast<uintptr_t>(p) & ~uintptr_t(kChunk - 1);
        return reinterpret_cast<const TChunkHead*>(base)->Pool;
    }

private:
    static constexpr size_t kGrain = 8;
    static constexpr size_t kClasses = kMaxPooled / kGrain;
    struct TFree {
        TFree* Next;
    };
    struct alignas(16) TChunkHead {
        TMemoryPool* Pool;
    };
    struct alignas(16) TLargeHead {
        TLargeHead* Prev;
        TLargeHead* Next;
    };
    static size_t ClassOf(size_t size) { return size == 0 ? 1 : (size + kGrain - 1) / kGrain; }
    void NewChunk();
    void NewSlab();
    void* AllocateLarge(size_t size);
    void FreeLarge(void* p);

    TFree* FFree[kClasses + 1] = {};
    uint8_t* FBump = nullptr;
    size_t FLeft = 0;
    std::vector<std::pair<void*, size_t>> FSlabs;
    uint8_t* FSlabNext = nullptr;
    size_t FSlabLeft = 0;
    TLargeHead* FLarge = nullptr;
};

}  // namespace workbook
