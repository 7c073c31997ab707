// Adding to, removing from and growing the shared-string hash index.
#include "workbook/SSTIndex.h"

#include <utility>

namespace workbook {

namespace {

constexpr size_t kInitialCapacity = 256;

}  // namespace

void TSSTIndex::Allocate(size_t capacity)
{
    FTags = TZeroedArray<uint8_t>(capacity);
    FHashes = TZeroedArray<uint32_t>(capacity);
    FEntries = TZeroedArray<TXLSString*>(capacity);
    FCount = 0;
}

void TSSTIndex::Reset() { Allocate(kInitialCapacity); }

void TSSTIndex::Put(TXLSString* entry, uint32_t hash)
{
    size_t mask = FTags.size() - 1;
    size_t i = hash & mask;
    while (FTags[i]) i = (i + 1) & mask;
    FTags[i] = Tag(hash);
    FHashes[i] = hash;
    FEntries[i] = entry;
    ++FCount;
}

void TSSTIndex::Add(TXLSString* entry, uint32_t hash)
{
    if ((FCount + 1) * 4 > FTags.size() * 3) {
        TZeroedArray<uint8_t> tags = std::move(FTags);
        TZeroedArray<uint32_t> hashes = std::move(FHashes);
        TZeroedArray<TXLSString*> entries = std::move(FEntries);
        Allocate(tags.size() * 2);
        for (size_t i = 0; i < tags.size(); ++i)
            if (tags[i]) Put(entries[i], hashes[i]);
    }
    Put(entry, hash);
}

void TSSTIndex::Reserve(size_t count)
{
    size_t capacity = FTags.size();
    while (count * 4 > capacity * 3) capacity *= 2;
    if (capacity == FTags.size()) return;
    TZeroedArray<uint8_t> tags = std::move(FTags);
    TZeroedArray<uint32_t> hashes = std::move(FHashes);
    TZeroedArray<TXLSString*> entries = std::move(FEntries);
    Allocate(capacity);
    for (size_t i = 0; i < tags.size(); ++i)
        if (tags[i]) Put(entries[i], hashes[i]);
}

// Removes entry and moves later slots of its run back, so every entry stays
// reachable from its home slot without gaps.
void TSSTIndex::Remove(const TXLSString* entry, uint32_t hash)
{
    size_t mask = FTags.size() - 1;
    size_t i = hash & mask;
    while (FEntries[i] != entry) {
        if (!FTags[i]) return;
        i = (i + 1) & mask;
    }
    for (size_t j = (i + 1) & mask; FTags[j]; j = (j + 1) & mask) {
        size_t home = FHashes[j] & mask;
        if (((j - home) & mask) >= ((j - i) & mask)) {
            FTags[i] = FTags[j];
            FHashes[i] = FHashes[j];
            FEntries[i] = FEntries[j];
            i = j;
        }
    }
    FTags[i] = 0;
    FEntries[i] = nullptr;
    --FCount;
}

}  // namespace workbook
