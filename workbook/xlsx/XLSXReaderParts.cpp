// The styles, shared-strings and workbook parts: fonts, number formats and
// cell formats into the model's lists, shared strings (rich runs included)
// into the string table, and the sheet names and stored elements of the
// workbook part.
#include <algorithm>
#include <cmath>

#include "workbook/model/SST.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/XLSXPartHandler.h"
#include "workbook/xlsx/XLSXReader.h"
#include "workbook/xlsx/XLSXText.h"
#include "workbook/xlsx/XmlText.h"

namespace workbook {

namespace {

TXFont ModelFont(const TXmlFont& f)
{
    static constexpr TFontUnderline kUnderlines[] = {fuNone, fuSingle, fuDouble, fuSingleAccount, fuDoubleAccount};
    TXFont font;
    font.Name = f.Name;
    font.Size20 = uint16_t(std::clamp(f.Height20, 20, 8191));
    font.Bold = f.Bold;
    font.Italic = f.Italic;
    font.StrikeOut = f.StrikeOut;
    font.Underline = kUnderlines[std::clamp(f.Underline, 0, 4)];
    font.SubSuperScript = TFontSubSuperScript(std::clamp(f.VertAlign, 0, 2));
    font.Family = uint8_t(f.Family);
    font.CharSet = uint8_t(f.Charset);
    font.Color = f.Color.Kind == xcIndexed && f.Color.Value < 64 ? uint8_t(f.Color.Value) : 8;
    return font;
}

// The BIFF8 body of a cell format, as far as the model uses one: font,
// number format, protection and alignment.
std::array<uint8_t, 20> ModelCellFormat(const TXmlCellFormat& xf)
{
    // Font 4 does not exist in the model's numbering; later fonts are one up.
    const int font = xf.FontId >= 4 ? xf.FontId + 1 : xf.FontId;
    std::array<uint8_t, 20> body{uint8_t(font),
                                 uint8_t(font >> 8),
                                 uint8_t(xf.NumFmtId),
                                 uint8_t(xf.NumFmtId >> 8),
                                 0,
                                 0,
                                 0x20,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0xC0,
                                 0x20};
    body[4] = uint8_t((xf.Locked ? 1 : 0) | (xf.Hidden ? 2 : 0));
    body[6] = uint8_t((xf.Horizontal & 7) | ((xf.AlignOptions & 1) << 3) | ((xf.Vertical & 7) << 4));
    body[7] = uint8_t(xf.TextRotation);
    body[8] = uint8_t((xf.Indent & 15) | ((xf.AlignOptions & 2) << 3));
    return body;
}

void ReadFonts(TXLSXReader& reader, const TExXMLTag& fonts)
{
    reader.Book().Fonts().Clear();
    reader.XmlFonts().clear();
    for (const auto& font : fonts.FTags) {
        if (font->FId != xe_font) continue;
        reader.XmlFonts().push_back(ReadXmlFont(*font));
        reader.Book().Fonts().Add(ModelFont(reader.XmlFonts().back()));
    }
}

void ReadCellFormats(TXLSXReader& reader, const TExXMLTag& cellXfs)
{
    for (const auto& xf : cellXfs.FTags) {
        if (xf->FId != xe_xf) continue;
        reader.Book().Formats().Add(ModelCellFormat(ReadXmlCellFormat(*xf)));
        ++reader.Package().FCellXfCount;
    }
}

// The model's font of a rich text run: the styles part's font with the same
// properties, or a new font when the run's differs from all of them.
uint16_t RunFont(TXLSXReader& reader, const TExXMLTag* rPr)
{
    if (rPr == nullptr) return 0;
    const TXmlFont font = ReadXmlFont(*rPr);
    std::vector<TXmlFont>& fonts = reader.XmlFonts();
    TXFonts& model = reader.Book().Fonts();
    while (int(fonts.size()) < model.Count()) fonts.emplace_back();  // the defaults of a package without styles
    const auto found = std::find(fonts.begin(), fonts.end(), font);
    if (found != fonts.end()) return uint16_t(found - fonts.begin());
    fonts.push_back(font);
    model.Add(ModelFont(font));
    return uint16_t(fonts.size() - 1);
}

// text: the caller's buffer, reused for every item.
TXLSString* SharedString(TXLSXReader& reader, const TExXMLTag& si, std::u16string& text)
{
    text.clear();
    std::vector<TXLSXRun> runs;
    for (const auto& child : si.FTags) {
        if (child->FId == xe_t) AppendDecodedXmlText(text, child->FText);
        if (child->FId != xe_r) continue;
        const TExXMLTag* t = child->Child(xe_t);
        if (t == nullptr) throw EXLSError("Excepcted tag missing: \"T\"");
        runs.push_back({text.size(), RunFont(reader, child->Child(xe_rPr))});
        AppendDecodedXmlText(text, t->FText);
    }
    DecodeXEscapesInPlace(text);
    return InternXLSXString(reader.Book().SST(), text, runs);
}

class TStylesHandler : public TXmlPartHandler {
public:
    explicit TStylesHandler(TXLSXReader& reader) : FReader(reader) {}
    bool TagEnds(TExXMLTag& tag) override
    {
        if (tag.FId == xe_numFmts) {
            for (const auto& n : tag.FTags)
                if (n->FId == xe_numFmt)
                    FReader.Book().Formats().AddNumberFormat(uint16_t(XmlToInt(n->Required(xa_numFmtId))),
                                                             n->DecodedValue(xa_formatCode));
        }
        if (tag.FId == xe_fonts) ReadFonts(FReader, tag);
        if (tag.FId == xe_cellXfs) ReadCellFormats(FReader, tag);
        return tag.FParent != nullptr && tag.FParent->FId == xe_styleSheet;
    }

private:
    TXLSXReader& FReader;
};

// Elements of the workbook part kept as they are; the sheets are the model's.
bool StoredWholeInWorkbook(int id) { return id != kUnknownElement && id != xe_sheets; }

void WorkbookElementEnds(TXLSXReader& reader, TExXMLTag& tag)
{
    if (tag.FId == xe_sheet) {
        TXLSWorkbook& book = reader.Book();
        std::vector<TXLSXSheetPart>& sheets = reader.Package().FSheets;
        if (!sheets.empty()) book.Sheets().Add();
        TSheet& sheet = book.Sheet(book.Sheets().Count() - 1);
        sheet.SetName(tag.DecodedValue(xa_name).empty() ? sheet.Name() : DecodeXEscapes(tag.DecodedValue(xa_name)));
        const std::string_view state = tag.Raw(xa_state);
        sheet.FHidden = state == "hidden" ? hsHidden : state == "veryHidden" ? hsVeryHidden : hsVisible;
        sheets.push_back({std::string(tag.Raw(xa_r_id)), {}, {}, std::string(state), {}, {}, {}});
    }
    if (tag.FParent == nullptr || tag.FParent->FId != xe_workbook) return;
    if (tag.FId == xe_sheets)
        reader.Package().FWorkbook.Add(tag.FId, tag.PlaceMarker());
    else if (StoredWholeInWorkbook(tag.FId))
        reader.Package().FWorkbook.Add(tag.FId, tag.AsXml());
}

// The date system is an attribute the name tables do not know (so the tree
// drops it); it is looked up in the workbookPr element's text itself.
bool Date1904(std::string_view bytes)
{
    const std::size_t element = bytes.find("workbookPr");
    if (element == std::string_view::npos) return false;
    const std::string_view tag = bytes.substr(element, bytes.find('>', element) - element);
    const std::size_t at = tag.find("date1904=");
    if (at == std::string_view::npos || at + 10 >= tag.size()) return false;
    const std::string_view value = tag.substr(at + 10);
    return value.starts_with("1") || value.starts_with("true");
}

}  // namespace

void ReadXLSXStyles(TXLSXReader& reader, std::string_view bytes, const std::string& part)
{
    TStylesHandler handler(reader);
    TXmlTree().Parse(bytes, part, &handler);
}

void ReadXLSXSharedStrings(TXLSXReader& reader, const std::string& part)
{
    std::u16string text;
    TXLSXPartHandler handler([&](TExXMLTag& tag) {
        if (tag.FId != xe_si) return false;
        reader.Strings().push_back(SharedString(reader, tag, text));
        return true;
    });
    reader.ParsePart(part, handler);
}

void ReadXLSXWorkbookPart(TXLSXReader& reader, std::string_view bytes, const std::string& part)
{
    reader.SetDate1904(Date1904(bytes));
    reader.Package().FDate1904 = reader.Date1904();
    TXLSXPartHandler handler([&](TExXMLTag& tag) {
        WorkbookElementEnds(reader, tag);
        return tag.FId == xe_sheet || (tag.FParent != nullptr && tag.FParent->FId == xe_workbook);
    });
    TXmlTree().Parse(bytes, part, &handler);
}

}  // namespace workbook
