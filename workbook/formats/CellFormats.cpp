// Default XFs, built-in number formats, fonts and the palette.
#include "workbook/formats/CellFormats.h"

#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"

namespace workbook {

namespace {

using TXFBody = std::array<uint8_t, 20>;

TXFBody StyleXF(uint8_t font, uint8_t numberFormat, uint8_t attributes)
{
    return {font, 0, numberFormat, 0, 0xF5, 0xFF, 0x20, 0, 0, attributes, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20};
}

// XF 0..20 as every BIFF8 file starts with them, then XF 21 with all defaults.
std::vector<TXFBody> DefaultXFs()
{
    std::vector<TXFBody> xfs{StyleXF(0, 0, 0x00), StyleXF(1, 0, 0xF4), StyleXF(1, 0, 0xF4), StyleXF(2, 0, 0xF4),
                             StyleXF(2, 0, 0xF4)};
    for (int i = 5; i <= 14; ++i) xfs.push_back(StyleXF(0, 0, 0xF4));
    xfs.push_back({0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20});
    for (uint8_t nf : {0x2A, 0x2B, 0x2C, 0x2D, 0x09}) xfs.push_back(StyleXF(0, nf, 0x00));
    xfs.push_back({0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0, 0, 0, 0, 0x40, 0x20, 0x40, 0x20, 0x10, 0x00, 0xC0, 0x20});
    return xfs;
}

const char16_t* const kBuiltInFormats[] = {u"",
                                           u"0",
                                           u"0.00",
                                           u"#,##0",
                                           u"#,##0.00",
                                           u"_($#,##0_);($#,##0)",
                                           u"_($#,##0_);[Red]($#,##0)",
                                           u"_($#,##0.00_);($#,##0.00)",
                                           u"_($#,##0.00_);[Red]($#,##0.00)",
                                           u"0%",
                                           u"0.00%",
                                           u"0.00E+00",
                                           u"# ?/?",
                                           u"# ?\?/??",
                                           u"m/d/yy",
                                           u"d-mmm-y",
                                           u"d-mmm",
                                           u"mmmm-yy",
                                           u"h:mm AM/PM",
                                           u"h:mm:ss AM/PM",
                                           u"h:mm",
                                           u"h:mm:SS",
                                           u"m/d/yy h:mm",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"_(#,##0_);(#,##0)",
                                           u"_(#,##0_);[Red](#,##0)",
                                           u"_(#,##0.00_);(#,##0.00)",
                                           u"_(#,##0.00_);[Red](#,##0.00)",
                                           u"_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)",
                                           u"_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)",
                                           u"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)",
                                           u"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)",
                                           u"mm:ss",
                                           u"[h]:mm:ss",
                                           u"mm:ss.0",
                                           u"# #0.0E+0",
                                           u"@"};
constexpr uint16_t kBuiltInCount = 59;

// Colour indexes 8..63 as 0x00BBGGRR.
constexpr std::array<uint32_t, kPaletteSize> kDefaultPalette = {
    0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0x000080, 0x008000,
    0x800000, 0x008080, 0x800080, 0x808000, 0xC0C0C0, 0x808080, 0xFF9999, 0x663399, 0xCCFFFF, 0xFFFFCC,
    0x660066, 0x8080FF, 0xCC6600, 0xFFCCCC, 0x800000, 0xFF00FF, 0x00FFFF, 0xFFFF00, 0x800080, 0x000080,
    0x808000, 0xFF0000, 0xFFCC00, 0xFFFFCC, 0xCCFFCC, 0x99FFFF, 0xFFCC99, 0xCC99FF, 0xFF99CC, 0x99CCFF,
    0xFF6633, 0xCCCC33, 0x00CC99, 0x00CCFF, 0x0099FF, 0x0066FF, 0x996666, 0x969696, 0x663300, 0x669933,
    0x003300, 0x003333, 0x003399, 0x663399, 0x993333, 0x333333};

}  // namespace

std::u16string BuiltInNumberFormat(uint16_t id) { return id < 50 ? kBuiltInFormats[id] : u""; }

TCellFormats::TCellFormats() { Reset(); }

void TCellFormats::Clear()
{
    FItems.clear();
    FNumberFormats.clear();
    FDeleteIndex = 0;
}

void TCellFormats::ClearXFs()
{
    FItems.clear();
    FDeleteIndex = 0;
}

void TCellFormats::Reset()
{
    Clear();
    for (uint16_t id = 0; id < kBuiltInCount; ++id)
        FNumberFormats.push_back({id, BuiltInNumberFormat(id), true, false});
    AddDefaultFormats();
}

void TCellFormats::AddDefaultFormats()
{
    if (!FItems.empty()) throw EXLSError("Add default formats when not empty.");
    for (const TXFBody& body : DefaultXFs()) Add(body);
    for (int i = 16; i <= 20; ++i) MarkNumberFormatUsed(FItems[size_t(i)]->NumberFormat());
    FDeleteIndex = Count();
}

TCellFormat* TCellFormats::Add(const std::array<uint8_t, 20>& data)
{
    FItems.push_back(std::make_unique<TCellFormat>(Count(), data));
    return FItems.back().get();
}

void TCellFormats::AddNumberFormat(uint16_t id, const std::u16string& text)
{
    for (TNumberFormat& f : FNumberFormats) {
        if (f.Id != id) continue;
        f.Text = text;
        f.InUse = true;
        return;
    }
    auto at = FNumberFormats.begin();
    while (at != FNumberFormats.end() && at->Id < id) ++at;
    FNumberFormats.insert(at, {id, text, false, true});
}

void TCellFormats::MarkNumberFormatUsed(uint16_t id)
{
    for (TNumberFormat& f : FNumberFormats)
        if (f.Id == id) f.InUse = true;
}

std::vector<uint8_t> TXFont::RecordBody() const
{
    TByteWriter w;
    w.U16(Size20);
    w.U16(uint16_t((Italic ? 0x0002 : 0) | (StrikeOut ? 0x0008 : 0)));
    w.U16(Color ? uint16_t(Color & 0x7F) : 0x7FFF);
    w.U16(Bold ? 700 : 400);
    w.U16(uint16_t(SubSuperScript));
    w.U8(uint8_t(Underline));
    w.U8(Family);
    w.U8(CharSet);
    w.U8(0);
    w.U8(uint8_t(Name.size()));
    w.U8(1);
    w.UTF16(Name);
    return w.Data();
}

void TXFonts::Reset() { FItems.assign(5, TXFont()); }

TXFont& TXFonts::Add(const TXFont& font)
{
    FItems.push_back(font);
    return FItems.back();
}

void TXFonts::AddUsage(uint16_t index)
{
    if (index < FItems.size()) ++FItems[index].Usage;
}

void TXFonts::ReleaseUsage(uint16_t index)
{
    if (index < FItems.size() && FItems[index].Usage) --FItems[index].Usage;
}

std::array<uint32_t, kPaletteSize>& Palette()
{
    static std::array<uint32_t, kPaletteSize> palette = kDefaultPalette;
    return palette;
}

const std::array<uint32_t, kPaletteSize>& DefaultPalette() { return kDefaultPalette; }

void RestoreDefaultPalette() { Palette() = kDefaultPalette; }

}  // namespace workbook
