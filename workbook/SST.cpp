// Shared-string interning: CRC-32 hash trie with chains of up to 8 entries.
// A node's slot at depth d is the low byte of the hash rotated right by 8*d.
// Past depth 3 all 32 hash bits are used up, so chains there are not split
// (texts with one full hash would otherwise split forever).
#include "workbook/SST.h"

#include "workbook/ByteOrder.h"
#include "workbook/CellFormats.h"
#include "workbook/XLSError.h"

#include <array>
#include <cstring>
#include <new>

namespace workbook {

namespace {

constexpr int kChainLimit = 8;
constexpr int kLastSplitDepth = 3;

const std::array<uint32_t, 256>& CrcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

uint8_t SlotIndex(uint32_t hash, int depth)
{
    int shift = (8 * depth) % 32;
    uint32_t rotated = shift ? (hash >> shift) | (hash << (32 - shift)) : hash;
    return uint8_t(rotated);
}

size_t BlockBytes(const TXLSString& s) { return s.CharBytes() + 4u * s.RunCount + s.ExtLen; }

TXLSString* NewString(uint8_t options, uint16_t len, size_t payload)
{
    void* block = ::operator new(sizeof(TXLSString) + payload);
    auto* s = new (block) TXLSString;
    s->Options = options;
    s->Len = len;
    return s;
}

void FreeString(TXLSString* s)
{
    s->~TXLSString();
    ::operator delete(s);
}

bool SameString(const TXLSString& a, const TXLSString& b)
{
    return a.Options == b.Options && a.Len == b.Len && a.RunCount == b.RunCount && a.ExtLen == b.ExtLen &&
           std::memcmp(a.Chars(), b.Chars(), BlockBytes(a)) == 0;
}

}  // namespace

uint32_t SSTHash(const uint8_t* bytes, size_t count)
{
    const auto& table = CrcTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint16_t TXLSString::FormatFont(int k) const
{
    if (!(Options & sstFormatted) || RunCount == 0) throw EXLSError("String is not formatted");
    if (k < 0 || k >= RunCount) throw EXLSError("FormatIndedx out of range");
    return GetU16(Runs() + 4 * k + 2);
}

TSST2::TSST2() : FRoot(std::make_unique<TNode>()) {}

TSST2::~TSST2() { Clear(); }

TXLSString* TSST2::AddString(const std::u16string& text)
{
    bool wide = false;
    for (char16_t c : text) wide |= c > 0xFF;
    uint16_t len = uint16_t(text.size());
    // The text's bytes are built in a scratch buffer first, so a text that is
    // already interned costs no allocation.
    FScratch.resize(wide ? 2u * len : len);
    for (size_t i = 0; i < len; ++i) {
        if (wide)
            PutU16(FScratch.data() + 2 * i, text[i]);
        else
            FScratch[i] = uint8_t(text[i]);
    }
    ++FTotalCount;
    uint8_t options = wide ? sstUTF16 : 0;
    uint32_t hash = SSTHash(FScratch.data(), FScratch.size());
    if (TXLSString* found = Find(options, len, hash)) {
        ++found->RefCount;
        return found;
    }
    TXLSString* s = NewString(options, len, FScratch.size());
    if (!FScratch.empty()) std::memcpy(s->Chars(), FScratch.data(), FScratch.size());
    s->Hash = hash;
    Insert(FRoot.get(), 0, s);
    ++FUniqueCount;
    return s;
}

TXLSString* TSST2::Find(uint8_t options, uint16_t len, uint32_t hash) const
{
    const TNode* node = FRoot.get();
    for (int depth = 0;; ++depth) {
        const TSlot& slot = node->Slots[SlotIndex(hash, depth)];
        if (slot.Node) {
            node = slot.Node.get();
            continue;
        }
        for (auto it = slot.Chain.rbegin(); it != slot.Chain.rend(); ++it) {
            const TXLSString& e = *it->Entry;
            if (it->Hash == hash && e.Options == options && e.Len == len && e.RunCount == 0 && e.ExtLen == 0 &&
                (FScratch.empty() || std::memcmp(e.Chars(), FScratch.data(), FScratch.size()) == 0))
                return it->Entry;
        }
        return nullptr;
    }
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
    s->Hash = SSTHash(s->Chars(), s->CharBytes());
    TXLSString* entry = Intern(s);
    if (FFonts)
        for (int k = 0; k < entry->RunCount && entry == s; ++k) FFonts->AddUsage(GetU16(entry->Runs() + 4 * k + 2));
    return entry;
}

TXLSString* TSST2::Intern(TXLSString* candidate)
{
    TNode* node = FRoot.get();
    for (int depth = 0;; ++depth) {
        TSlot& slot = node->Slots[SlotIndex(candidate->Hash, depth)];
        if (slot.Node) {
            node = slot.Node.get();
            continue;
        }
        for (auto it = slot.Chain.rbegin(); it != slot.Chain.rend(); ++it) {
            if (it->Hash == candidate->Hash && SameString(*it->Entry, *candidate)) {
                ++it->Entry->RefCount;
                FreeString(candidate);
                return it->Entry;
            }
        }
        Insert(node, depth, candidate);
        ++FUniqueCount;
        return candidate;
    }
}

void TSST2::Insert(TNode* node, int depth, TXLSString* entry)
{
    TSlot& slot = node->Slots[SlotIndex(entry->Hash, depth)];
    if (slot.Node) {
        Insert(slot.Node.get(), depth + 1, entry);
        return;
    }
    if (slot.Chain.size() < size_t(kChainLimit) || depth >= kLastSplitDepth) {
        slot.Chain.push_back({entry->Hash, entry});
        return;
    }
    slot.Node = std::make_unique<TNode>();
    std::vector<TLink> chain = std::move(slot.Chain);
    slot.Chain = {};
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) Insert(slot.Node.get(), depth + 1, it->Entry);
    Insert(slot.Node.get(), depth + 1, entry);
}

std::u16string TSST2::GetItem(const TXLSString* entry) const
{
    std::u16string text(entry->Len, u'\0');
    const uint8_t* p = entry->Chars();
    for (size_t i = 0; i < entry->Len; ++i) text[i] = (entry->Options & sstUTF16) ? char16_t(GetU16(p + 2 * i)) : char16_t(p[i]);
    return text;
}

void TSST2::Release(TXLSString* entry)
{
    if (--entry->RefCount > 0) return;
    TNode* node = FRoot.get();
    for (int depth = 0; node; ++depth) {
        TSlot& slot = node->Slots[SlotIndex(entry->Hash, depth)];
        if (slot.Node) {
            node = slot.Node.get();
            continue;
        }
        for (auto it = slot.Chain.begin(); it != slot.Chain.end(); ++it) {
            if (it->Entry != entry) continue;
            slot.Chain.erase(it);
            break;
        }
        break;
    }
    if (FFonts)
        for (int k = 0; k < entry->RunCount; ++k) FFonts->ReleaseUsage(GetU16(entry->Runs() + 4 * k + 2));
    FreeString(entry);
    --FUniqueCount;
    if (FTotalCount > 0) --FTotalCount;
}

void TSST2::FreeNode(TNode* node)
{
    for (TSlot& slot : node->Slots) {
        if (slot.Node) FreeNode(slot.Node.get());
        for (const TLink& link : slot.Chain) FreeString(link.Entry);
        slot.Chain.clear();
    }
}

void TSST2::Clear()
{
    FreeNode(FRoot.get());
    FRoot = std::make_unique<TNode>();
    FSST.clear();
    FTotalCount = 0;
    FUniqueCount = 0;
}

}  // namespace workbook
