// Shared-string interning: CRC-32 hash trie with chains of up to 8 entries.
// A node's slot at depth d is the low byte of the hash rotated right by 8*d.
// Past depth 3 all 32 hash bits are used up, so chains there are not split
// (texts with one full hash would otherwise split forever). Entries and
// nodes live in two pools of the table, so interning a text costs no heap
// allocation and emptying the table frees everything in one go.
#include "workbook/model/SST.h"

#include "workbook/ByteOrder.h"
#include "workbook/formats/CellFormats.h"
#include "workbook/XLSError.h"

#include <zlib.h>

#include <cstring>
#include <new>

namespace workbook {

namespace {

constexpr int kChainLimit = 8;
constexpr int kLastSplitDepth = 3;

uint8_t SlotIndex(uint32_t hash, int depth)
{
    int shift = (8 * depth) % 32;
    uint32_t rotated = shift ? (hash >> shift) | (hash << (32 - shift)) : hash;
    return uint8_t(rotated);
}

size_t BlockBytes(const TXLSString& s) { return s.CharBytes() + 4u * s.RunCount + s.ExtLen; }

// Equal bytes; most texts are short, and comparing them eight bytes at a
// time here costs less than a call.
bool SameBytes(const uint8_t* a, const uint8_t* b, size_t n)
{
    if (n < 8) {
        for (size_t i = 0; i < n; ++i)
            if (a[i] != b[i]) return false;
        return true;
    }
    for (size_t i = 0; i + 8 <= n; i += 8)
        if (GetU64(a + i) != GetU64(b + i)) return false;
    return GetU64(a + n - 8) == GetU64(b + n - 8);
}

bool SameString(const TXLSString& a, const TXLSString& b)
{
    return a.Options == b.Options && a.Len == b.Len && a.RunCount == b.RunCount && a.ExtLen == b.ExtLen &&
           std::memcmp(a.Chars(), b.Chars(), BlockBytes(a)) == 0;
}

}  // namespace

// zlib's CRC-32 inverts the register at the end; the hash is the register.
uint32_t SSTHash(const uint8_t* bytes, size_t count) { return ~uint32_t(crc32(0L, bytes, uInt(count))); }

uint16_t TXLSString::FormatFont(int k) const
{
    if (!(Options & sstFormatted) || RunCount == 0) throw EXLSError("String is not formatted");
    if (k < 0 || k >= RunCount) throw EXLSError("FormatIndedx out of range");
    return GetU16(Runs() + 4 * k + 2);
}

TSST2::TSST2() : FRoot(NewNode()) {}

TSST2::~TSST2() = default;

TSST2::TNode* TSST2::NewNode()
{
    void* block = FNodePool.Allocate(sizeof(TNode));
    std::memset(block, 0, sizeof(TNode));
    return static_cast<TNode*>(block);
}

TXLSString* TSST2::NewString(uint8_t options, uint16_t len, size_t payload)
{
    auto* s = new (FStringPool.Allocate(sizeof(TXLSString) + payload)) TXLSString;
    s->Options = options;
    s->Len = len;
    return s;
}

void TSST2::FreeString(TXLSString* s)
{
    size_t size = sizeof(TXLSString) + BlockBytes(*s);
    s->~TXLSString();
    FStringPool.Free(s, size);
}

// A shared string holds at most 65,535 characters (its length is 16 bits);
// a longer text keeps its first 65,535 rather than wrapping to a few.
TSSTText PrepareSSTText(std::u16string_view text, std::vector<uint8_t>& buffer)
{
    text = text.substr(0, 0xFFFF);
    bool wide = false;
    for (char16_t c : text) wide |= c > 0xFF;
    uint16_t len = uint16_t(text.size());
    size_t bytes = wide ? 2u * len : len;
    if (buffer.size() < bytes) buffer.resize(bytes);
    uint8_t* out = buffer.data();
    if (wide)
        for (size_t i = 0; i < len; ++i) PutU16(out + 2 * i, text[i]);
    else
        for (size_t i = 0; i < len; ++i) out[i] = uint8_t(text[i]);
    return {out, len, uint8_t(wide ? sstUTF16 : 0), SSTHash(out, bytes)};
}

// The text's bytes are built in a scratch buffer first, so a text that is
// already interned costs no allocation.
TXLSString* TSST2::AddString(std::u16string_view text) { return AddString(PrepareSSTText(text, FScratch)); }

TXLSString* TSST2::AddString(const TSSTText& text)
{
    ++FTotalCount;
    size_t bytes = text.ByteCount();
    TXLSString* found = Find(text.Hash, [&](const TXLSString& e) {
        return e.Options == text.Options && e.Len == text.Len && e.RunCount == 0 && e.ExtLen == 0 &&
               SameBytes(e.Chars(), text.Bytes, bytes);
    });
    if (found) {
        ++found->RefCount;
        return found;
    }
    TXLSString* s = NewString(text.Options, text.Len, bytes);
    if (bytes) std::memcpy(s->Chars(), text.Bytes, bytes);
    s->Hash = text.Hash;
    Add(s);
    return s;
}

TXLSString* TSST2::AddRawString(uint8_t options, uint16_t len, const uint8_t* chars, uint16_t runCount,
                                const uint8_t* runs, uint32_t extLen, const uint8_t* ext)
{
    size_t charBytes = (options & sstUTF16) ? 2u * len : len;
    TXLSString* s = NewString(options, len, charBytes + 4u * runCount + extLen);
    s->RunCount = runCount;
    s->ExtLen = extLen;
    if (charBytes) std::memcpy(s->Chars(), chars, charBytes);
    if (runCount) std::memcpy(s->Chars() + charBytes, runs, 4u * runCount);
    if (extLen) std::memcpy(s->Chars() + charBytes + 4u * runCount, ext, extLen);
    ++FTotalCount;
    // Hashed from the caller's bytes: reading back the copy just written
    // would wait for its stores.
    s->Hash = SSTHash(chars, charBytes);
    TXLSString* entry = Intern(s);
    if (FFonts)
        for (int k = 0; k < entry->RunCount && entry == s; ++k) FFonts->AddUsage(GetU16(entry->Runs() + 4 * k + 2));
    return entry;
}

TXLSString* TSST2::Intern(TXLSString* candidate)
{
    TXLSString* found = Find(candidate->Hash, [&](const TXLSString& e) { return SameString(e, *candidate); });
    if (found) {
        ++found->RefCount;
        FreeString(candidate);
        return found;
    }
    Add(candidate);
    return candidate;
}

TSST2::TLeaf TSST2::Leaf(TNode* node, int depth, uint32_t hash)
{
    for (;; ++depth) {
        int slot = SlotIndex(hash, depth);
        if (!IsNode(node->Slots[slot])) return {node, slot, depth};
        node = AsNode(node->Slots[slot]);
    }
}

void TSST2::Add(TXLSString* entry)
{
    Chain(Leaf(FRoot, 0, entry->Hash), entry);
    ++FUniqueCount;
}

void TSST2::Insert(TNode* node, int depth, TXLSString* entry) { Chain(Leaf(node, depth, entry->Hash), entry); }

// Puts entry at the front of the leaf's chain, or splits a full chain into
// a new node: its entries are inserted there front to back, then entry.
void TSST2::Chain(const TLeaf& leaf, TXLSString* entry)
{
    uintptr_t& head = leaf.Head();
    if (leaf.Depth >= kLastSplitDepth) {
        entry->Next = AsChain(head);
        head = reinterpret_cast<uintptr_t>(entry);
        return;
    }
    uint8_t& length = leaf.Node->Lengths[leaf.Slot];
    if (length < kChainLimit) {
        entry->Next = AsChain(head);
        head = reinterpret_cast<uintptr_t>(entry);
        ++length;
        return;
    }
    TNode* node = NewNode();
    TXLSString* old = AsChain(head);
    head = reinterpret_cast<uintptr_t>(node) | 1;
    length = 0;
    while (old) {
        TXLSString* next = old->Next;
        Insert(node, leaf.Depth + 1, old);
        old = next;
    }
    Insert(node, leaf.Depth + 1, entry);
}

void TSST2::Unchain(TXLSString* entry)
{
    TLeaf leaf = Leaf(FRoot, 0, entry->Hash);
    uintptr_t& head = leaf.Head();
    bool found = AsChain(head) == entry;
    if (found) {
        head = reinterpret_cast<uintptr_t>(entry->Next);
    } else {
        for (TXLSString* e = AsChain(head); e; e = e->Next) {
            if (e->Next != entry) continue;
            e->Next = entry->Next;
            found = true;
            break;
        }
    }
    if (found && leaf.Depth < kLastSplitDepth) --leaf.Node->Lengths[leaf.Slot];
}

std::u16string TSST2::GetItem(const TXLSString* entry) const
{
    const size_t len = entry->Len;
    std::u16string text(len, u'\0');
    const uint8_t* p = entry->Chars();
    char16_t* out = text.data();
    if (entry->Options & sstUTF16)
        for (size_t i = 0; i < len; ++i) out[i] = char16_t(GetU16(p + 2 * i));
    else
        for (size_t i = 0; i < len; ++i) out[i] = p[i];
    return text;
}

void TSST2::Release(TXLSString* entry)
{
    if (--entry->RefCount > 0) return;
    Unchain(entry);
    if (FFonts)
        for (int k = 0; k < entry->RunCount; ++k) FFonts->ReleaseUsage(GetU16(entry->Runs() + 4 * k + 2));
    FreeString(entry);
    --FUniqueCount;
    if (FTotalCount > 0) --FTotalCount;
    if (FUniqueCount == 0) FStringPool.Reset();
}

void TSST2::Clear()
{
    FStringPool.Reset();
    FNodePool.Reset();
    FRoot = NewNode();
    FSST.clear();
    FTotalCount = 0;
    FUniqueCount = 0;
}

}  // namespace workbook
