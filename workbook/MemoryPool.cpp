// Chunk handling of the small-block pool.
#include "workbook/MemoryPool.h"

#include <new>

namespace workbook {

void TMemoryPool::NewChunk()
{
    void* chunk = ::operator new(kChunk, std::align_val_t(kChunk));
    FChunks.push_back(chunk);
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
    for (void* chunk : FChunks) ::operator delete(chunk, std::align_val_t(kChunk));
    FChunks.clear();
    for (TFree*& f : FFree) f = nullptr;
    FBump = nullptr;
    FLeft = 0;
}

}  // namespace workbook
