// The in-memory tree of a compound document: finding, creating, replacing
// and copying storages and streams.
#include "workbook/compound/CompoundDocument.h"

#include "workbook/Utf16.h"
#include "workbook/XLSError.h"

#include <algorithm>

namespace workbook {

namespace {

// The format upper-cases names code unit by code unit; Latin letters and the
// Latin-1 range cover every name a workbook uses.
char16_t UpperUnit(char16_t c)
{
    if (c >= u'a' && c <= u'z') return char16_t(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
    return c;
}

void CheckName(std::u16string_view name)
{
    if (name.empty() || name.size() > 31)
        throw EXLSError("Invalid compound document entry name \"" + Utf16ToUtf8(name) + "\"");
    for (char16_t c : name)
        if (c == u'/' || c == u'\\' || c == u':' || c == u'!')
            throw EXLSError("Invalid compound document entry name \"" + Utf16ToUtf8(name) + "\"");
}

}  // namespace

int CompareEntryNames(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = UpperUnit(a[i]), y = UpperUnit(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

TCompoundEntry* TCompoundEntry::Find(std::u16string_view name) const
{
    for (const auto& child : Children)
        if (CompareEntryNames(child->Name, name) == 0) return child.get();
    return nullptr;
}

std::unique_ptr<TCompoundEntry> TCompoundEntry::Clone() const
{
    auto copy = std::make_unique<TCompoundEntry>();
    copy->Name = Name;
    copy->Type = Type;
    copy->Clsid = Clsid;
    copy->StateBits = StateBits;
    copy->CreationTime = CreationTime;
    copy->ModifiedTime = ModifiedTime;
    copy->Data.CopyFrom(Data);
    for (const auto& child : Children) copy->Children.push_back(child->Clone());
    return copy;
}

TCompoundEntry& TCompoundStorage::Insert(std::unique_ptr<TCompoundEntry> entry)
{
    Remove(entry->Name);
    auto& children = FEntry->Children;
    auto at =
        std::lower_bound(children.begin(), children.end(), entry->Name,
                         [](const auto& e, const std::u16string& n) { return CompareEntryNames(e->Name, n) < 0; });
    return **children.insert(at, std::move(entry));
}

TCompoundEntry& TCompoundStorage::Replace(std::u16string_view name, TEntryType type)
{
    CheckName(name);
    auto entry = std::make_unique<TCompoundEntry>();
    entry->Name = std::u16string(name);
    entry->Type = type;
    return Insert(std::move(entry));
}

TCompoundStream TCompoundStorage::CreateStream(std::u16string_view name)
{
    return TCompoundStream(Replace(name, TEntryType::Stream).Data);
}

TCompoundStream TCompoundStorage::OpenStream(std::u16string_view name)
{
    TCompoundEntry* e = FEntry->Find(name);
    if (!e || e->Type != TEntryType::Stream) throw EXLSError("Stream not found: " + Utf16ToUtf8(name));
    return TCompoundStream(e->Data);
}

bool TCompoundStorage::HasStream(std::u16string_view name) const
{
    TCompoundEntry* e = FEntry->Find(name);
    return e && e->Type == TEntryType::Stream;
}

TCompoundStorage TCompoundStorage::CreateStorage(std::u16string_view name)
{
    return TCompoundStorage(Replace(name, TEntryType::Storage));
}

TCompoundStorage TCompoundStorage::OpenStorage(std::u16string_view name)
{
    TCompoundEntry* e = FEntry->Find(name);
    if (!e || !e->IsStorage()) throw EXLSError("Storage not found: " + Utf16ToUtf8(name));
    return TCompoundStorage(*e);
}

bool TCompoundStorage::Remove(std::u16string_view name)
{
    auto& children = FEntry->Children;
    auto it = std::find_if(children.begin(), children.end(),
                           [&](const auto& e) { return CompareEntryNames(e->Name, name) == 0; });
    if (it == children.end()) return false;
    children.erase(it);
    return true;
}

void TCompoundStorage::CopyTo(TCompoundStorage dest) const
{
    if (dest.FEntry == FEntry) return;
    for (const auto& child : FEntry->Children) dest.Insert(child->Clone());
}

TCompoundDocument::TCompoundDocument() : FRoot(std::make_unique<TCompoundEntry>())
{
    FRoot->Name = u"Root Entry";
    FRoot->Type = TEntryType::Root;
}

}  // namespace workbook
