// Workbook-globals records that build the model: fonts, number formats,
// XFs, styles, the palette, the user name, and the text decoding of strings.
#include "workbook/biff/XLSReader.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

#include <iconv.h>

#include <array>
#include <cstring>

#include <algorithm>
#include <string>

namespace workbook {

namespace {

std::u16string Latin1(const uint8_t* bytes, size_t count) { return std::u16string(bytes, bytes + count); }

std::string IconvName(uint16_t codepage)
{
    switch (codepage) {
    case 367: return "ASCII";
    case 936: return "GBK";
    case 10000:
    case 32768: return "MACINTOSH";
    case 32769: return "CP1252";
    case 1200:
    case 1201:
    case 65001: return {};
    default: return "CP" + std::to_string(codepage);
    }
}

// iconv to UTF-16LE; a byte that does not decode becomes U+FFFD.
std::u16string Iconv(iconv_t cd, const uint8_t* bytes, size_t count)
{
    std::u16string out(count, u'\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
    size_t inLeft = count;
    char* dst = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1)) break;
        if (outLeft < 2) break;
        ++in, --inLeft;
        char16_t bad = 0xFFFD;
        std::memcpy(dst, &bad, 2);
        dst += 2, outLeft -= 2;
    }
    out.resize(out.size() - outLeft / 2);
    return out;
}

// An Excel 5/95 XF (16 bytes) in the Excel 97 layout (20 bytes), so a
// workbook of that age keeps its cell formatting when it is written back.
// Font, number format and the type/parent word are in the same place; the
// alignment byte is the same; the rest is packed differently.
std::array<uint8_t, 20> XF8FromXF5(const uint8_t* x)
{
    std::array<uint8_t, 20> d{};
    std::copy_n(x, 7, d.begin());  // font, format, type/parent, alignment
    static const uint8_t kRotation[4] = {0, 255, 90, 180};
    d[7] = kRotation[x[7] & 0x03];
    d[9] = uint8_t(x[7] & 0xFC);            // the "attribute used" flags
    const uint32_t area = GetU32(x + 8);    // pattern colours, pattern, bottom line
    const uint32_t lines = GetU32(x + 12);  // top/left/right lines and colours
    const uint32_t top = lines & 0x07, left = (lines >> 3) & 0x07, right = (lines >> 6) & 0x07;
    const uint32_t topColour = (lines >> 9) & 0x7F, leftColour = (lines >> 16) & 0x7F,
                   rightColour = (lines >> 23) & 0x7F;
    const uint32_t bottom = (area >> 22) & 0x07, bottomColour = (area >> 25) & 0x7F;
    const uint32_t pattern = (area >> 16) & 0x3F;
    PutU32(d.data() + 10, left | right << 4 | top << 8 | bottom << 12 | leftColour << 16 | rightColour << 23);
    PutU32(d.data() + 14, topColour | bottomColour << 7 | pattern << 26);
    PutU16(d.data() + 18, uint16_t(area & 0x3FFF));  // pattern and background colours
    return d;
}

}  // namespace

std::u16string DecodeCodepage(const uint8_t* bytes, size_t count, uint16_t codepage)
{
    std::string name = codepage == 0 ? std::string() : IconvName(codepage);
    if (name.empty() || std::all_of(bytes, bytes + count, [](uint8_t b) { return b < 0x80; }))
        return Latin1(bytes, count);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == iconv_t(-1)) return Latin1(bytes, count);
    std::u16string text = Iconv(cd, bytes, count);
    iconv_close(cd);
    return text;
}

// BIFF8 keeps compressed characters as code points; older files decode by
// their code page.
std::u16string TXLSReader::Text8(const uint8_t* bytes, size_t count) const
{
    if (FOwner.Version() >= xvExcel97) return Latin1(bytes, count);
    return DecodeCodepage(bytes, count, FCodepage);
}

std::u16string TXLSReader::ShortString8(TRecordView r, size_t offset) const
{
    size_t n = r.U8(offset);
    n = std::min(n, r.Size() - offset - 1);
    return Text8(r.At(offset + 1, n), n);
}

// A BIFF8 string: count (1 or 2 bytes), option byte, characters. A string
// cut short by the record's end keeps the characters present.
std::u16string TXLSReader::UnicodeString(TRecordView r, size_t offset, size_t countSize) const
{
    size_t n = countSize == 1 ? r.U8(offset) : r.U16(offset);
    uint8_t options = r.U8(offset + countSize);
    size_t start = offset + countSize + 1;
    size_t room = r.Size() - start;
    if (options & 1) {
        n = std::min(n, room / 2);
        const uint8_t* p = r.At(start, 2 * n);
        std::u16string s(n, u'\0');
        for (size_t i = 0; i < n; ++i) s[i] = char16_t(GetU16(p + 2 * i));
        return s;
    }
    n = std::min(n, room);
    return Latin1(r.At(start, n), n);
}

void TXLSReader::ReadFont(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel50) return;
    if (!FFontsRead) {
        FOwner.Fonts().Clear();
        FFontsRead = true;
        CurrRecs->UpdateInternal(INTERNAL_FORMATS);
    }
    TXFont f;
    f.Size20 = r.U16(0);
    uint16_t grbit = r.U16(2);
    f.Italic = grbit & 0x0002;
    f.StrikeOut = grbit & 0x0008;
    uint16_t color = r.U16(4);
    f.Color = color >= 0x7FFF || color > 0xFF ? 0 : uint8_t(color);
    f.Bold = r.U16(6) >= 700;
    f.SubSuperScript = TFontSubSuperScript(std::min<uint16_t>(r.U16(8), 2));
    uint8_t underline = r.U8(10);
    bool known = underline <= 2 || underline == 0x21 || underline == 0x22;
    f.Underline = known ? TFontUnderline(underline) : fuNone;
    f.Family = r.U8(11);
    f.CharSet = r.U8(12);
    f.Name = FOwner.Version() >= xvExcel97 ? UnicodeString(r, 14, 1) : ShortString8(r, 14);
    FOwner.Fonts().Add(f);
    if (FOwner.Fonts().Count() == 4) FOwner.Fonts().Add(TXFont());
}

void TXLSReader::ReadFormat(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel50) return;
    FOwner.Formats().AddNumberFormat(r.U16(0),
                                     FOwner.Version() >= xvExcel97 ? UnicodeString(r, 2, 2) : ShortString8(r, 2));
}

void TXLSReader::ReadXF(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel50) return;
    if (!FXFsRead) {
        FOwner.Formats().ClearXFs();
        FXFsRead = true;
    }
    if (FOwner.Version() < xvExcel97) {
        FOwner.Formats().Add(XF8FromXF5(r.At(0, 16)));
        return;
    }
    std::array<uint8_t, 20> data{};
    std::copy_n(r.At(0, 20), 20, data.begin());
    FOwner.Formats().Add(data);
}

void TXLSReader::ReadStyle(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel50) return;
    if (FOwner.Version() >= xvExcel97 || (r.U16(0) & 0x8000)) {
        FOwner.Styles().emplace_back(r.Data(), r.Data() + r.Size());
        return;
    }
    // An Excel 5/95 user style names itself with 8-bit characters; the
    // Excel 97 record wants a 16-bit count, an option byte and UTF-16.
    const std::u16string name = ShortString8(r, 2);
    std::vector<uint8_t> body(5 + 2 * name.size());
    PutU16(body.data(), r.U16(0));
    PutU16(body.data() + 2, uint16_t(name.size()));
    body[4] = 1;
    for (size_t i = 0; i < name.size(); ++i) PutU16(body.data() + 5 + 2 * i, name[i]);
    FOwner.Styles().push_back(std::move(body));
}

// At most the 56 colours of the palette are taken: a longer list must not
// write past it. The palette is written again from the model.
void TXLSReader::ReadPalette(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel97) return;
    size_t count = std::min<size_t>(r.U16(0), kPaletteSize);
    count = std::min(count, (r.Size() - 2) / 4);
    for (size_t i = 0; i < count; ++i) Palette()[i] = r.U32(2 + 4 * i);
}

// WRITEACCESS is kept padded with spaces to its full 112 bytes.
void TXLSReader::ReadWriteAccess(TRecordView r)
{
    std::vector<uint8_t> body(r.Data(), r.Data() + r.Size());
    if (body.size() < 112) body.resize(112, ' ');
    if (body.size() > 112) body.resize(112);
    KeepDefault(BIFFRECID_WRITEACCESS, body.data(), body.size());
}

}  // namespace workbook
