// Chunk handling of the small-block pool.
#include "workbook/MemoryPool.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace workbook {

namespace {

constexpr size_t kMaxSlab = 4 * 1024 * 1024;

// Whole huge pages: a tail shorter than one would fall back to small pages.
size_t HugeRound(size_t size) { return (size + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* MapLarge(size_t size)
{
    if (size > SIZE_MAX / 2) throw std::bad_alloc();  // no size that could wrap below
    size = HugeRound(size);
    size_t span = size + kHugePage;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    auto start = reinterpret_cast<uintptr_t>(raw);
    uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (aligned > start) munmap(raw, aligned - start);
    uintptr_t end = aligned + size;
    if (start + span > end) munmap(reinterpret_cast<void*>(end), start + span - end);
    void* slab = reinterpret_cast<void*>(aligned);
    madvise(slab, size, MADV_HUGEPAGE);
    return slab;
}

void UnmapLarge(void* p, size_t size) { munmap(p, HugeRound(size)); }

void TMemoryPool::NewSlab()
{
    size_t size = FSlabs.empty() ? kChunk : std::min(2 * FSlabs.back().second, kMaxSlab);
    void* slab = size >= kHugePage ? MapLarge(size) : ::operator new(size, std::align_val_t(kChunk));
    FSlabs.push_back({slab, size});
    FSlabNext = static_cast<uint8_t*>(slab);
    FSlabLeft = size;
}

void TMemoryPool::NewChunk()
{
    if (FSlabLeft == 0) NewSlab();
    void* chunk = FSlabNext;
    FSlabNext += kChunk;
    FSlabLeft -= kChunk;
    new (chunk) TChunkHead{this};
    FBump = static_cast<uint8_t*>(chunk) + sizeof(TChunkHead);
    FLeft = kChunk - sizeof(TChunkHead);
}

void* TMemoryPool::AllocateLarge(size_t size)
{
    auto* head = static_cast<TLargeHead*>(::operator new(sizeof(TLargeHead) + size));
    head->Prev = nullptr;
    head->Next = FLarge;
    if (FLarge) FLarge->Prev = head;
    FLarge = head;
    return head + 1;
}

void TMemoryPool::FreeLarge(void* p)
{
    auto* head = static_cast<TLargeHead*>(p) - 1;
    if (head->Prev)
        head->Prev->Next = head->Next;
    else
        FLarge = head->Next;
    if (head->Next) head->Next->Prev = head->Prev;
    ::operator delete(head);
}

void TMemoryPool::Reset()
{
    while (FLarge) FreeLarge(FLarge + 1);
    for (auto [slab, size] : FSlabs) {
        if (size >= kHugePage)
            UnmapLarge(slab, size);
        else
            ::operator delete(slab, std::align_val_t(kChunk));
    }
    FSlabs.clear();
    FSlabNext = nullptr;
    FSlabLeft = 0;
    for (TFree*& f : FFree) f = nullptr;
    FBump = nullptr;
    FLeft = 0;
}

}  // namespace workbook
