// The shared-string table: every text of every text cell of the workbook is
// interned once, found again through a hash trie keyed by the CRC-32 of the
// text's bytes, and counted by the cells that use it.
#pragma once

#include "workbook/model/MemoryPool.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

class TXFonts;

// Option bits of a shared string.
constexpr uint8_t sstUTF16 = 0x01;
constexpr uint8_t sstExtData = 0x04;
constexpr uint8_t sstFormatted = 0x08;

// One interned text. Characters (Len bytes, or 2*Len little-endian bytes when
// UTF-16) are followed in the same block by RunCount formatting runs of 4
// bytes (16-bit character position, 16-bit font index) and ExtLen bytes of
// extension data, both present only for strings read from files.
struct TXLSString {
    uint32_t Index = 0xFFFF;
    uint32_t RefCount = 1;
    uint16_t Len = 0;
    uint8_t Options = 0;
    uint16_t RunCount = 0;
    uint32_t ExtLen = 0;
    uint32_t Hash = 0;
    TXLSString* Next = nullptr;  // the next entry of the same trie chain

    size_t CharBytes() const { return (Options & sstUTF16) ? 2u * Len : Len; }
    const uint8_t* Chars() const { return reinterpret_cast<const uint8_t*>(this + 1); }
    uint8_t* Chars() { return reinterpret_cast<uint8_t*>(this + 1); }
    const uint8_t* Runs() const { return Chars() + CharBytes(); }
    const uint8_t* Ext() const { return Runs() + 4u * RunCount; }
    // Run k's font index; fails when the string has no runs or k is past them.
    uint16_t FormatFont(int k) const;
};

// CRC-32 register (reflected polynomial 0xEDB88320, initial 0xFFFFFFFF, no final inversion).
uint32_t SSTHash(const uint8_t* bytes, size_t count);

// A text in the form it is interned in: its characters' bytes (compressed
// when every character is <= U+00FF, else UTF-16LE) and their hash. Making
// one touches no table, so it can be done ahead, in another thread.
struct TSSTText {
    const uint8_t* Bytes;
    uint16_t Len;
    uint8_t Options;  // sstUTF16 or 0
    uint32_t Hash;
    size_t ByteCount() const { return (Options & sstUTF16) ? 2u * Len : Len; }
};
// The text's bytes go to buffer, which the result points into.
TSSTText PrepareSSTText(std::u16string_view text, std::vector<uint8_t>& buffer);

class TSST2 {
public:
    TSST2();
    ~TSST2();
    TSST2(const TSST2&) = delete;
    TSST2& operator=(const TSST2&) = delete;

    // Interns text: compressed form when every character is <= U+00FF, else UTF-16.
    TXLSString* AddString(std::u16string_view text);
    TXLSString* AddString(const TSSTText& text);
    // Interns a string as read from a file (any form, with runs and extension data).
    TXLSString* AddRawString(uint8_t options, uint16_t len, const uint8_t* chars, uint16_t runCount,
                             const uint8_t* runs, uint32_t extLen, const uint8_t* ext);
    std::u16string GetItem(const TXLSString* entry) const;
    void AddRef(TXLSString* entry) { ++entry->RefCount; }
    // Drops one reference; the entry is removed and freed at zero. When the
    // last entry goes, the string memory is given back at once; the trie
    // keeps its nodes, so texts added later land where they did before.
    void Release(TXLSString* entry);
    void Clear();

    uint32_t TotalCount() const { return FTotalCount; }
    void SetTotalCount(uint32_t count) { FTotalCount = count; }
    uint32_t UniqueCount() const { return FUniqueCount; }
    int MaxBufSize() const { return FMaxBufSize; }
    void SetMaxBufSize(int size) { FMaxBufSize = size; }
    TXFonts* Fonts() const { return FFonts; }
    void SetFonts(TXFonts* fonts) { FFonts = fonts; }
    // Strings in file order while a file is read (the reader's lookup by
    // index); the reader empties it when done, as entries may be freed later.
    std::vector<TXLSString*>& FileOrder() { return FSST; }

    // Visits every entry in trie order: slots ascending, sub-nodes depth
    // first, chains front to back. This is the order an SST is written in.
    template <class F> void Traverse(F visit) const { TraverseNode(FRoot, visit); }

private:
    // A slot holds either a sub-node (tagged with bit 0) or the head of a
    // chain of entries linked through TXLSString::Next, newest first; an
    // empty slot is 0. Lengths counts a chain's entries where chains may
    // still split, so adding an entry does not walk its chain.
    struct TNode {
        uintptr_t Slots[256];
        uint8_t Lengths[256];
    };
    // Where an entry with some hash is or would be chained.
    struct TLeaf {
        TNode* Node;
        int Slot;
        int Depth;
        uintptr_t& Head() const { return Node->Slots[Slot]; }
    };
    static bool IsNode(uintptr_t slot) { return slot & 1; }
    static TNode* AsNode(uintptr_t slot) { return reinterpret_cast<TNode*>(slot & ~uintptr_t(1)); }
    static TXLSString* AsChain(uintptr_t slot) { return reinterpret_cast<TXLSString*>(slot); }
    static TLeaf Leaf(TNode* node, int depth, uint32_t hash);
    // The entry with this hash for which same(entry) holds, or null: the
    // chain of its leaf in the trie is walked.
    template <class F> TXLSString* Find(uint32_t hash, F same) const
    {
        for (TXLSString* e = AsChain(Leaf(FRoot, 0, hash).Head()); e; e = e->Next)
            if (e->Hash == hash && same(*e)) return e;
        return nullptr;
    }
    TXLSString* Intern(TXLSString* candidate);
    TXLSString* NewString(uint8_t options, uint16_t len, size_t payload);
    void FreeString(TXLSString* s);
    TNode* NewNode();
    void Add(TXLSString* entry);
    void Insert(TNode* node, int depth, TXLSString* entry);
    void Chain(const TLeaf& leaf, TXLSString* entry);
    void Unchain(TXLSString* entry);
    template <class F> static void TraverseNode(const TNode* node, F& visit)
    {
        for (uintptr_t slot : node->Slots) {
            if (IsNode(slot))
                TraverseNode(AsNode(slot), visit);
            else
                for (TXLSString* e = AsChain(slot); e; e = e->Next) visit(e);
        }
    }

    TMemoryPool FStringPool;
    TMemoryPool FNodePool;
    TNode* FRoot = nullptr;
    std::vector<TXLSString*> FSST;
    uint32_t FTotalCount = 0;
    uint32_t FUniqueCount = 0;
    int FMaxBufSize = 8224;
    TXFonts* FFonts = nullptr;
    std::vector<uint8_t> FScratch;
};

}  // namespace workbook
