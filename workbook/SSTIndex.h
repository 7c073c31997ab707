// The shared-string table's hash index: finds an interned text by the CRC-32
// of its bytes without walking the trie. Open addressing with linear probing
// over three parallel arrays, at most three quarters full: one tag byte per
// slot (0: empty, else seven bits of the hash), the entry and its full hash.
// A lookup reads tag bytes until an empty one, so a text that is not in the
// table costs one look at an array small enough to stay in the processor's
// cache; entries are read only where a tag matches. It only finds; the
// trie alone gives the order.
#pragma once

#include "workbook/MemoryPool.h"

#include <cstddef>
#include <cstdint>

namespace workbook {

struct TXLSString;

class TSSTIndex {
public:
    TSSTIndex() { Reset(); }

    // The entry with this hash for which same(entry) holds, or null.
    template <class F> TXLSString* Find(uint32_t hash, F same) const
    {
        size_t mask = FTags.size() - 1;
        uint8_t tag = Tag(hash);
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            uint8_t t = FTags[i];
            if (t == 0) return nullptr;
            if (t == tag && FHashes[i] == hash && same(*FEntries[i])) return FEntries[i];
        }
    }
    void Add(TXLSString* entry, uint32_t hash);
    // Makes room for count entries in all, so adding up to that many never
    // grows the index step by step.
    void Reserve(size_t count);
    void Remove(const TXLSString* entry, uint32_t hash);
    void Reset();

private:
    static uint8_t Tag(uint32_t hash) { return uint8_t(0x80 | (hash >> 25)); }
    void Allocate(size_t capacity);
    void Put(TXLSString* entry, uint32_t hash);

    TZeroedArray<uint8_t> FTags;
    TZeroedArray<uint32_t> FHashes;
    TZeroedArray<TXLSString*> FEntries;
    size_t FCount = 0;
};

}  // namespace workbook
