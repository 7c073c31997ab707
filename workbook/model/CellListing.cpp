// Cell and sheet listings of a read workbook (see Listings.h). A text cell's
// characters go from its shared string straight into the output as escaped
// UTF-8, with no text object per cell: a listing of a large sheet costs
// little more than writing its bytes. Other cells take their text from the
// sheet's GetAsString.
#include "workbook/Listings.h"

#include "workbook/ByteOrder.h"
#include "workbook/model/Model.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

namespace workbook {

namespace {

// Position in the file's sheet list -> index in Sheets() (-1: chart sheet).
std::vector<TSheetName> AllSheets(TXLSWorkbook& book)
{
    if (!book.SheetNames().empty()) return book.SheetNames();
    std::vector<TSheetName> names;
    for (int i = 0; i < book.Sheets().Count(); ++i) names.push_back({book.Sheet(i).Name(), i});
    return names;
}

// Escaped UTF-8 of one code point at p; returns the end.
char* PutCodePoint(char* p, char32_t cp)
{
    if (cp < 0x80) {
        char c = char(cp);
        switch (c) {
        case '\t': *p++ = '\\', *p++ = 't'; break;
        case '\r': *p++ = '\\', *p++ = 'r'; break;
        case '\n': *p++ = '\\', *p++ = 'n'; break;
        case '\\': *p++ = '\\', *p++ = '\\'; break;
        default: *p++ = c;
        }
    } else if (cp < 0x800) {
        *p++ = char(0xC0 | (cp >> 6));
        *p++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = char(0xE0 | (cp >> 12));
        *p++ = char(0x80 | ((cp >> 6) & 0x3F));
        *p++ = char(0x80 | (cp & 0x3F));
    } else {
        *p++ = char(0xF0 | (cp >> 18));
        *p++ = char(0x80 | ((cp >> 12) & 0x3F));
        *p++ = char(0x80 | ((cp >> 6) & 0x3F));
        *p++ = char(0x80 | (cp & 0x3F));
    }
    return p;
}

// Bytes written as they are: ASCII but for the four escaped characters.
constexpr auto kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 0x80; ++c) plain[size_t(c)] = c != '\t' && c != '\r' && c != '\n' && c != '\\';
    return plain;
}();

bool IsPlain(uint8_t c) { return kPlain[c]; }

// UTF-16 code units read by unit(i), as escaped UTF-8 at p; a lone surrogate
// becomes U+FFFD. Returns the end. The common units (ASCII, then the rest of
// the basic plane) are tested first.
template <class F> char* PutUnits(char* p, size_t n, F unit)
{
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = unit(i);
        if (cp < 0x80) {
            if (IsPlain(uint8_t(cp)))
                *p++ = char(cp);
            else
                p = PutCodePoint(p, cp);
        } else if (cp < 0x800) {
            *p++ = char(0xC0 | (cp >> 6));
            *p++ = char(0x80 | (cp & 0x3F));
        } else if (cp < 0xD800 || cp >= 0xE000) {
            *p++ = char(0xE0 | (cp >> 12));
            *p++ = char(0x80 | ((cp >> 6) & 0x3F));
            *p++ = char(0x80 | (cp & 0x3F));
        } else if (cp < 0xDC00 && i + 1 < n && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            p = PutCodePoint(p, 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            p = PutCodePoint(p, 0xFFFD);
        }
    }
    return p;
}

// Output buffer of listing lines, handed to the sink when nearly full. Each
// line first reserves its worst case (3 bytes per UTF-16 unit, 2 per 8-bit
// character), so the writers below need no bounds checks of their own.
class TListingOut {
public:
    static constexpr size_t kBlock = 64 * 1024;

    explicit TListingOut(const TTextSink& sink) : FSink(sink), FBuf(kBlock), FOut(FBuf.data()) {}
    void Reserve(size_t bytes)
    {
        if (bytes <= size_t(FBuf.data() + FBuf.size() - FOut)) return;
        Flush();
        if (bytes > FBuf.size()) {
            FBuf.resize(bytes);
            FOut = FBuf.data();
        }
    }
    void Flush()
    {
        if (FOut != FBuf.data()) FSink(FBuf.data(), size_t(FOut - FBuf.data()));
        FOut = FBuf.data();
    }
    void Char(char c) { *FOut++ = c; }
    // A line head: its buffer holds at least kHeadCopy bytes, and the line
    // has reserved them, so a copy of fixed size (no library call) will do.
    static constexpr size_t kHeadCopy = 24;
    void Head(std::string_view text)
    {
        std::memcpy(FOut, text.data(), kHeadCopy);
        FOut += text.size();
    }
    void Number(uint32_t v) { FOut = std::to_chars(FOut, FOut + 10, v).ptr; }
    // The characters of a shared string: 8-bit ones are code points.
    void Entry(const TXLSString& s)
    {
        const uint8_t* chars = s.Chars();
        if (s.Options & sstUTF16) {
            FOut = PutUnits(FOut, s.Len, [chars](size_t i) { return char32_t(GetU16(chars + 2 * i)); });
            return;
        }
        char* p = FOut;
        for (size_t i = 0; i < s.Len; ++i) {
            uint8_t c = chars[i];
            if (IsPlain(c))
                *p++ = char(c);
            else
                p = PutCodePoint(p, c);
        }
        FOut = p;
    }
    void Text(std::u16string_view t)
    {
        FOut = PutUnits(FOut, t.size(), [t](size_t i) { return char32_t(t[i]); });
    }

private:
    const TTextSink& FSink;
    std::vector<char> FBuf;
    char* FOut;
};

// Sheet position, row and column with their tabs, at most 3 x 11 bytes.
constexpr size_t kLineHead = 40;

// "sheet<TAB>row<TAB>" is the same for every cell of a row: made once a row.
class TLineHead {
public:
    explicit TLineHead(uint32_t pos) : FPos(pos) {}
    std::string_view Of(uint32_t row)
    {
        if (row != FRow || FLength == 0) {
            char* p = std::to_chars(FText, FText + 10, FPos).ptr;
            *p++ = '\t';
            p = std::to_chars(p, p + 10, row).ptr;
            *p++ = '\t';
            FLength = size_t(p - FText);
            FRow = row;
        }
        return {FText, FLength};
    }

private:
    uint32_t FPos, FRow = 0;
    char FText[TListingOut::kHeadCopy] = {};
    size_t FLength = 0;
};

void ListCell(TSheet& sheet, const TCell& cell, TCellType kind, TLineHead& head, TListingOut& out)
{
    if (kind == ctBlank) return;
    const TXLSString* entry = kind == ctString ? static_cast<const TStringCell&>(cell).FValue : nullptr;
    std::u16string text;
    if (!entry) text = sheet.GetAsString(cell.Col(), cell.Row());
    size_t units = entry ? entry->Len : text.size();
    if (units == 0) return;
    out.Reserve(kLineHead + 3 * units + 1);
    out.Head(head.Of(cell.Row()));
    out.Number(cell.Col());
    out.Char('\t');
    if (entry)
        out.Entry(*entry);
    else
        out.Text(text);
    out.Char('\n');
}

// Cells go in batches: the cells of a batch and then their strings (which
// lie anywhere in the table) are fetched into the cache all at once, which
// costs about one wait for memory per batch instead of two per cell.
class TBatchLister {
public:
    TBatchLister(TSheet& sheet, uint32_t pos, TListingOut& out) : FSheet(sheet), FHead(pos), FOut(out) {}
    void Add(TCell& cell)
    {
        __builtin_prefetch(&cell);
        FBatch[FCount++] = &cell;
        if (FCount == kBatch) Flush();
    }
    void Flush()
    {
        TCellType kinds[kBatch];
        for (int i = 0; i < FCount; ++i) {
            kinds[i] = FBatch[i]->CellType();
            if (kinds[i] != ctString) continue;
            const char* entry = reinterpret_cast<const char*>(static_cast<TStringCell*>(FBatch[i])->FValue);
            __builtin_prefetch(entry);
            __builtin_prefetch(entry + 64);
        }
        for (int i = 0; i < FCount; ++i) ListCell(FSheet, *FBatch[i], kinds[i], FHead, FOut);
        FCount = 0;
    }

private:
    static constexpr int kBatch = 32;
    TSheet& FSheet;
    TLineHead FHead;
    TListingOut& FOut;
    TCell* FBatch[kBatch];
    int FCount = 0;
};

void ListSheet(TSheet& sheet, uint32_t pos, TListingOut& out)
{
    TBatchLister lister(sheet, pos, out);
    sheet.Cells().ForEach([&](TCell& cell) { lister.Add(cell); });
    lister.Flush();
}

}  // namespace

std::string EscapeCellText(const std::u16string& text)
{
    std::string out;
    TTextSink sink = [&](const char* p, size_t n) { out.append(p, n); };
    TListingOut writer(sink);
    writer.Reserve(3 * text.size());
    writer.Text(text);
    writer.Flush();
    return out;
}

void WriteCellListing(TXLSWorkbook& book, const TTextSink& sink)
{
    TListingOut out(sink);
    std::vector<TSheetName> names = AllSheets(book);
    for (size_t pos = 0; pos < names.size(); ++pos) {
        if (names[pos].Sheet < 0 || names[pos].Sheet >= book.Sheets().Count()) continue;
        ListSheet(book.Sheet(names[pos].Sheet), uint32_t(pos), out);
    }
    out.Flush();
}

std::string CellListing(TXLSWorkbook& book)
{
    std::string out;
    WriteCellListing(book, [&](const char* p, size_t n) { out.append(p, n); });
    return out;
}

std::string SheetNameListing(TXLSWorkbook& book)
{
    std::string out;
    for (const TSheetName& n : AllSheets(book)) out += EscapeCellText(n.Name) + '\n';
    return out;
}

}  // namespace workbook
