// Style elements to plain values, with the defaults of the styles part.
#include "workbook/xlsx/XmlStyles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "workbook/xlsx/XmlText.h"

namespace workbook {

namespace {

constexpr std::array<std::string_view, 19> kPatternTypes = {
    "none",     "solid",     "mediumGray",   "darkGray",    "lightGray",       "darkHorizontal", "darkVertical",
    "darkDown", "darkUp",    "darkGrid",     "darkTrellis", "lightHorizontal", "lightVertical",  "lightDown",
    "lightUp",  "lightGrid", "lightTrellis", "gray125",     "gray0625"};
constexpr std::array<std::string_view, 14> kBorderStyles = {
    "none",         "thin",    "medium",        "dashed",     "dotted",           "thick",         "double", "hair",
    "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantedDashDot"};
constexpr std::array<std::string_view, 8> kHorizontalAlignments = {
    "general", "left", "center", "right", "fill", "justify", "centerContinuous", "distributed"};
constexpr std::array<std::string_view, 5> kVerticalAlignments = {"top", "center", "bottom", "justify", "distributed"};
constexpr int kDefaultVertical = 2;  // bottom
constexpr std::array<int, 7> kBorderSideElements = {xe_left,     xe_top,        xe_right,   xe_bottom,
                                                    xe_diagonal, xe_horizontal, xe_vertical};

template <std::size_t N> int IndexIn(const std::array<std::string_view, N>& list, std::string_view name, int fallback)
{
    const auto found = std::find(list.begin(), list.end(), name);
    return found == list.end() ? fallback : static_cast<int>(found - list.begin());
}

std::uint32_t HexValue(std::string_view text)
{
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::string Lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

// A flag child such as <b/>: true when present without val or with val true.
bool FlagChild(const TExXMLTag& parent, int element)
{
    const TExXMLTag* child = parent.Child(element);
    return child != nullptr && (!child->Has(xa_val) || child->AsBool(xa_val));
}

std::string_view ChildValue(const TExXMLTag& parent, int element)
{
    const TExXMLTag* child = parent.Child(element);
    return child != nullptr ? child->Raw(xa_val) : std::string_view();
}

// Underline values are compared without case: files write singleAccounting.
int UnderlineOf(const TExXMLTag& font)
{
    const TExXMLTag* u = font.Child(xe_u);
    if (u == nullptr) return 0;
    const std::string value = Lower(u->Raw(xa_val));
    if (value == "double") return 2;
    if (value == "singleaccounting") return 3;
    if (value == "doubleaccounting") return 4;
    return 1;
}

int LowerCasedIndex(const TExXMLTag& font, int element, std::string_view first, std::string_view second)
{
    const std::string value = Lower(ChildValue(font, element));
    return value == first ? 1 : value == second ? 2 : 0;
}

void ReadAlignment(const TExXMLTag& alignment, TXmlCellFormat& format)
{
    format.Horizontal = HorizontalAlignmentIndex(alignment.Raw(xa_horizontal));
    format.Vertical = VerticalAlignmentIndex(alignment.Raw(xa_vertical));
    format.TextRotation = alignment.AsInt(xa_textRotation);
    format.AlignOptions = (alignment.AsBool(xa_wrapText) ? 1 : 0) | (alignment.AsBool(xa_shrinkToFit) ? 2 : 0) |
                          (alignment.AsBool(xa_justifyLastLine) ? 4 : 0);
    format.Indent = alignment.AsInt(xa_indent);
    format.RelativeIndent = alignment.AsInt(xa_relativeIndent);
    format.ReadingOrder = alignment.AsInt(xa_readingOrder);
}

}  // namespace

TXmlColor ReadXmlColor(const TExXMLTag* color)
{
    TXmlColor result;
    if (color == nullptr) return result;
    result.Tint = color->AsFloat(xa_tint);
    if (color->Has(xa_auto)) {
        result.Kind = xcAutomatic;
    } else if (color->Has(xa_indexed)) {
        result.Kind = xcIndexed;
        result.Value = static_cast<std::uint32_t>(color->AsInt(xa_indexed));
    } else if (color->Has(xa_rgb)) {
        result.Kind = xcRgb;
        result.Value = HexValue(color->Raw(xa_rgb));
    } else if (color->Has(xa_theme)) {
        result.Kind = xcTheme;
        result.Value = static_cast<std::uint32_t>(color->AsInt(xa_theme) - 1);
    }
    return result;
}

int PatternTypeIndex(std::string_view name) { return IndexIn(kPatternTypes, name, 0); }
int BorderStyleIndex(std::string_view name) { return IndexIn(kBorderStyles, name, 0); }
int HorizontalAlignmentIndex(std::string_view name) { return IndexIn(kHorizontalAlignments, name, 0); }
int VerticalAlignmentIndex(std::string_view name) { return IndexIn(kVerticalAlignments, name, kDefaultVertical); }

TXmlFill ReadXmlFill(const TExXMLTag& fill)
{
    TXmlFill result;
    if (const TExXMLTag* pattern = fill.Child(xe_patternFill)) {
        result.PatternType = PatternTypeIndex(pattern->Raw(xa_patternType));
        result.Foreground = ReadXmlColor(pattern->Child(xe_fgColor));
        result.Background = ReadXmlColor(pattern->Child(xe_bgColor));
        return result;
    }
    const TExXMLTag* gradient = fill.Child(xe_gradientFill);
    if (gradient == nullptr) throw EXmlError("Unknown fill type");
    result.Gradient = true;
    for (const auto& stop : gradient->FTags) {
        if (stop->FId != xe_stop) continue;
        result.Stops.push_back({ReadXmlColor(stop->Child(xe_color)), XmlToFloat(stop->Required(xa_position))});
    }
    const std::string_view type = gradient->Raw(xa_type, "linear");
    result.Path = type != "linear";
    result.Degree = gradient->AsFloat(xa_degree);
    result.Left = gradient->AsFloat(xa_left);
    result.Right = gradient->AsFloat(xa_right);
    result.Top = gradient->AsFloat(xa_top);
    result.Bottom = gradient->AsFloat(xa_bottom);
    return result;
}

TXmlBorder ReadXmlBorder(const TExXMLTag& border)
{
    TXmlBorder result;
    result.Options = (border.AsBool(xa_diagonalDown) ? 1 : 0) | (border.AsBool(xa_diagonalUp) ? 2 : 0) |
                     (border.AsBool(xa_outline) ? 4 : 0);
    for (std::size_t side = 0; side < kBorderSideElements.size(); ++side) {
        const TExXMLTag* line = border.Child(kBorderSideElements[side]);
        if (line == nullptr) continue;
        result.Lines[side].Style = BorderStyleIndex(line->Raw(xa_style));
        result.Lines[side].Color = ReadXmlColor(line->Child(xe_color));
    }
    return result;
}

TXmlFont ReadXmlFont(const TExXMLTag& font)
{
    TXmlFont result;
    result.Bold = FlagChild(font, xe_b);
    result.Italic = FlagChild(font, xe_i);
    result.StrikeOut = FlagChild(font, xe_strike);
    result.Outline = FlagChild(font, xe_outline);
    result.Shadow = FlagChild(font, xe_shadow);
    result.Condense = FlagChild(font, xe_condense);
    result.Extend = FlagChild(font, xe_extend);
    if (const TExXMLTag* rFont = font.Child(xe_rFont))
        result.Name = DecodeXmlText(rFont->Required(xa_val));
    else if (const TExXMLTag* name = font.Child(xe_name))
        result.Name = name->DecodedValue(xa_val);
    if (const TExXMLTag* sz = font.Child(xe_sz))
        result.Height20 = static_cast<int>(std::nearbyint(sz->AsFloat(xa_val, 8) * 20));
    result.Family = XmlToInt(ChildValue(font, xe_family));
    result.Charset = XmlToInt(ChildValue(font, xe_charset));
    result.Color = ReadXmlColor(font.Child(xe_color));
    result.Underline = UnderlineOf(font);
    result.VertAlign = LowerCasedIndex(font, xe_vertAlign, "superscript", "subscript");
    result.Scheme = LowerCasedIndex(font, xe_scheme, "minor", "major");
    return result;
}

TXmlCellFormat ReadXmlCellFormat(const TExXMLTag& xf)
{
    TXmlCellFormat result;
    result.ApplyFlags = (xf.AsBool(xa_applyNumberFormat) ? 1 : 0) | (xf.AsBool(xa_applyFont) ? 2 : 0) |
                        (xf.AsBool(xa_applyFill) ? 4 : 0) | (xf.AsBool(xa_applyBorder) ? 8 : 0) |
                        (xf.AsBool(xa_applyAlignment) ? 16 : 0) | (xf.AsBool(xa_applyProtection) ? 32 : 0);
    result.NumFmtId = xf.AsInt(xa_numFmtId);
    result.FontId = xf.AsInt(xa_fontId);
    result.FillId = xf.AsInt(xa_fillId);
    result.BorderId = xf.AsInt(xa_borderId);
    result.XfId = xf.AsInt(xa_xfId);
    if (const TExXMLTag* alignment = xf.Child(xe_alignment)) ReadAlignment(*alignment, result);
    if (const TExXMLTag* protection = xf.Child(xe_protection)) {
        result.Locked = protection->AsBool(xa_locked, true);
        result.Hidden = protection->AsBool(xa_hidden);
    }
    result.QuotePrefix = xf.AsBool(xa_quotePrefix);
    result.PivotButton = xf.AsBool(xa_pivotButton);
    return result;
}

}  // namespace workbook
