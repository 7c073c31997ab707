// Chunk handling of the small-block pool.
#include "workbook/model/MemoryPool.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

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

namespace {

// A large table fills one slab of kMaxSlab after another, and the kernel
// zeroing each new page on its first touch was a tenth of reading a large
// workbook. A second thread keeps a small stock of such slabs with their
// pages already in place, so the reading thread only takes them. The thread
// starts when a pool first asks for a kMaxSlab slab while a TSlabStockUse
// lives, and ends, giving the stock back to the system, after a second
// without demand. The stock is never destroyed: the thread may still run
// while the process exits.
class TSlabStock {
public:
    static TSlabStock& Instance()
    {
        static TSlabStock* stock = new TSlabStock;
        return *stock;
    }

    // A slab of kMaxSlab with its pages in place, or null when none is ready
    // (the caller maps its own; the stock is refilled meanwhile).
    void* Take()
    {
        std::unique_lock lock(FMutex);
        void* slab = FCount > 0 ? FSlabs[--FCount] : nullptr;
        FDemand = true;
        if (!FRunning) {
            try {
                std::thread([this] { Fill(); }).detach();
                FRunning = true;
            } catch (const std::system_error&) {
                // No thread: every slab is mapped by its caller.
            }
        }
        lock.unlock();
        FWake.notify_one();
        return slab;
    }

private:
    static constexpr int kStock = 2;

    void Fill()
    {
        std::unique_lock lock(FMutex);
        for (;;) {
            if (FCount < kStock) {
                lock.unlock();
                void* slab = nullptr;
                try {
                    slab = MapLarge(kMaxSlab);
                    // A write puts a page in place; a read would only map the shared zero page.
                    auto* bytes = static_cast<volatile uint8_t*>(slab);
                    for (size_t off = 0; off < kMaxSlab; off += 4096) bytes[off] = 0;
                } catch (const std::bad_alloc&) {
                }
                lock.lock();
                if (!slab) break;
                FSlabs[FCount++] = slab;
                continue;
            }
            FDemand = false;
            FWake.wait_for(lock, std::chrono::seconds(1), [this] { return FDemand && FCount < kStock; });
            if (!FDemand) break;
        }
        while (FCount > 0) UnmapLarge(FSlabs[--FCount], kMaxSlab);
        FRunning = false;
    }

    std::mutex FMutex;
    std::condition_variable FWake;
    void* FSlabs[kStock] = {};
    int FCount = 0;
    bool FRunning = false;
    bool FDemand = false;
};

std::atomic<int> gStockUsers{0};

}  // namespace

TSlabStockUse::TSlabStockUse() { gStockUsers.fetch_add(1, std::memory_order_relaxed); }
TSlabStockUse::~TSlabStockUse() { gStockUsers.fetch_sub(1, std::memory_order_relaxed); }

void TMemoryPool::NewSlab()
{
    size_t size = FSlabs.empty() ? kChunk : std::min(2 * FSlabs.back().second, kMaxSlab);
    const bool stocked = size == kMaxSlab && gStockUsers.load(std::memory_order_relaxed) > 0;
    void* slab = stocked ? TSlabStock::Instance().Take() : nullptr;
    if (!slab) slab = size >= kHugePage ? MapLarge(size) : ::operator new(size, std::align_val_t(kChunk));
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
