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
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace workbook {

// Blocks of kHugePage or more are mapped straight from the system, aligned to
// a huge page and marked for huge pages: a large table then costs a few
// hundred page faults instead of tens of thousands, which was most of the
// time the kernel spent building it. The memory comes zeroed.
// MapLarge throws std::bad_alloc when the system refuses.
constexpr size_t kHugePage = 2 * 1024 * 1024;
void* MapLarge(size_t size);
void UnmapLarge(void* p, size_t size);

// A fixed-size array of zeroed trivial values; large ones in huge pages.
// Allocating one costs no pass over its memory: the system hands out zeroed
// pages as they are first touched.
template <class T> class TZeroedArray {
public:
    TZeroedArray() = default;
    explicit TZeroedArray(size_t count) : FData(Allocate(count)), FCount(count) {}
    ~TZeroedArray() { Free(FData, FCount); }
    TZeroedArray(TZeroedArray&& other) noexcept
        : FData(std::exchange(other.FData, nullptr)), FCount(std::exchange(other.FCount, 0))
    {}
    TZeroedArray& operator=(TZeroedArray&& other) noexcept
    {
        if (this != &other) {
            Free(FData, FCount);
            FData = std::exchange(other.FData, nullptr);
            FCount = std::exchange(other.FCount, 0);
        }
        return *this;
    }
    T& operator[](size_t i) { return FData[i]; }
    const T& operator[](size_t i) const { return FData[i]; }
    size_t size() const { return FCount; }

private:
    static T* Allocate(size_t count)
    {
        if (count == 0) return nullptr;
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        size_t bytes = count * sizeof(T);
        if (bytes >= kHugePage) return static_cast<T*>(MapLarge(bytes));
        void* p = std::calloc(count, sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    static void Free(T* p, size_t count)
    {
        if (!p) return;
        if (count * sizeof(T) >= kHugePage)
            UnmapLarge(p, count * sizeof(T));
        else
            std::free(p);
    }

    T* FData = nullptr;
    size_t FCount = 0;
};

// While one of these lives, pools take their slabs of 4 MB from a stock
// that a second thread keeps ready with their pages in place (see
// MemoryPool.cpp). A reader holds one while it reads: its second core is
// otherwise idle, while a writer's is already busy preparing its input.
class TSlabStockUse {
public:
    TSlabStockUse();
    ~TSlabStockUse();
    TSlabStockUse(const TSlabStockUse&) = delete;
    TSlabStockUse& operator=(const TSlabStockUse&) = delete;
};

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
