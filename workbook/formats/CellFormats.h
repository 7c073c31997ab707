// Cell formats (XF records), number formats, fonts and the colour palette.
// Lists are created with the defaults every BIFF8 file starts with: 22 XFs
// (21 built-in, XF 15 the default cell XF, XF 21 all defaults) and 5 fonts.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace workbook {

// One XF: its 20-byte BIFF8 body and the number of cells using it.
class TCellFormat {
public:
    TCellFormat(int index, const std::array<uint8_t, 20>& data) : FIndex(index), FData(data) {}
    int Index() const { return FIndex; }
    const std::array<uint8_t, 20>& Data() const { return FData; }
    std::array<uint8_t, 20>& Data() { return FData; }
    uint16_t FontIndex() const { return uint16_t(FData[0] | (FData[1] << 8)); }
    uint16_t NumberFormat() const { return uint16_t(FData[2] | (FData[3] << 8)); }
    uint32_t Usage() const { return FUsage; }
    void AddUsage() { ++FUsage; }
    void ReleaseUsage()
    {
        if (FUsage) --FUsage;
    }

private:
    int FIndex;
    std::array<uint8_t, 20> FData;
    uint32_t FUsage = 0;
};

struct TNumberFormat {
    uint16_t Id;
    std::u16string Text;
    bool BuiltIn;
    bool InUse;
};

// Built-in number format text for identifiers 0..58 (empty when none).
std::u16string BuiltInNumberFormat(uint16_t id);

class TCellFormats {
public:
    TCellFormats();
    // Empties the list and adds the 22 default XFs and the 59 built-in number formats.
    void Reset();
    void Clear();
    // Empties the XF list only; the number formats stay (a file's FORMAT
    // records come before its XF records).
    void ClearXFs();
    // Fails with "Add default formats when not empty." unless the list is empty.
    void AddDefaultFormats();
    // Appends an XF as read from a file; returns it.
    TCellFormat* Add(const std::array<uint8_t, 20>& data);
    int Count() const { return int(FItems.size()); }
    TCellFormat* operator[](int index) const { return FItems[size_t(index)].get(); }
    int DeleteIndex() const { return FDeleteIndex; }

    const std::vector<TNumberFormat>& NumberFormats() const { return FNumberFormats; }
    // Adds (or replaces the text of) a number format, marking it in use.
    void AddNumberFormat(uint16_t id, const std::u16string& text);
    void MarkNumberFormatUsed(uint16_t id);

private:
    std::vector<std::unique_ptr<TCellFormat>> FItems;
    std::vector<TNumberFormat> FNumberFormats;
    int FDeleteIndex = 0;
};

enum TFontUnderline { fuNone = 0, fuSingle = 1, fuDouble = 2, fuSingleAccount = 0x21, fuDoubleAccount = 0x22 };
enum TFontSubSuperScript { xssNone = 0, xssSuperscript = 1, xssSubscript = 2 };

struct TXFont {
    std::u16string Name = u"Arial";
    uint16_t Size20 = 200;  // twentieths of a point
    bool Italic = false;
    bool StrikeOut = false;
    bool Bold = false;
    uint8_t Color = 8;
    TFontSubSuperScript SubSuperScript = xssNone;
    TFontUnderline Underline = fuNone;
    uint8_t Family = 2;
    uint8_t CharSet = 0;
    uint32_t Usage = 0;

    // The FONT record body.
    std::vector<uint8_t> RecordBody() const;
};

class TXFonts {
public:
    TXFonts() { Reset(); }
    // Back to the 5 default fonts.
    void Reset();
    void Clear() { FItems.clear(); }
    TXFont& Add(const TXFont& font);
    int Count() const { return int(FItems.size()); }
    TXFont& operator[](int index) { return FItems[size_t(index)]; }
    const TXFont& operator[](int index) const { return FItems[size_t(index)]; }
    void AddUsage(uint16_t index);
    void ReleaseUsage(uint16_t index);

private:
    std::vector<TXFont> FItems;
};

// The process-wide palette of colour indexes 8..63 (0x00BBGGRR values).
constexpr int kPaletteSize = 56;
std::array<uint32_t, kPaletteSize>& Palette();
const std::array<uint32_t, kPaletteSize>& DefaultPalette();
void RestoreDefaultPalette();

}  // namespace workbook
