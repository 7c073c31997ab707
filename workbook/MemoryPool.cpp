// Chunk handling of the small-block pool.
#include "workbook/MemoryPool.h"

#include <algorithm>
#include <new>

namespace workbook {

namespace {

constexpr size_t kMaxSlab = 4 * 1024 * 1024;

}  // namespace

void TMemoryPool::NewSlab()
{
    size_t size = FSlabs.empty() ? kChunk : std::min(2 * FSlabs.back().second, kMaxSlab);
    void* slab = ::operator new(size, std::align_val_t(kChunk));
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
    for (auto [slab, size] : FSlabs) ::operator delete(slab, std::align_val_t(kChunk));
    FSlabs.clear();
    FSlabNext = nullptr;
    FSlabLeft = 0;
    for (TFree*& f : FFree) f = nullptr;
    FBump = nullptr;
    FLeft = 0;
}

}  // namespace workbook
