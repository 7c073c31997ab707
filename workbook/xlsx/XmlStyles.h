// The style elements of a package's styles part read into plain values:
// colours, fills, borders, fonts and cell formats. The workbook reader turns
// them into the model's font, fill, border and format objects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/xlsx/XmlTree.h"

namespace workbook {

enum TXmlColorKind { xcUnassigned, xcAutomatic, xcIndexed, xcRgb, xcTheme };

struct TXmlColor {
    TXmlColorKind Kind = xcUnassigned;
    std::uint32_t Value = 0;  // palette index, ARGB value or theme colour (theme - 1)
    double Tint = 0;
    bool operator==(const TXmlColor&) const = default;
};

// A colour element (color, fgColor, bgColor, ...); nullptr reads as unassigned.
TXmlColor ReadXmlColor(const TExXMLTag* color);

// Positions in the value lists of the styles part; text not in a list gives
// the default (0, or 2 = bottom for vertical alignment).
int PatternTypeIndex(std::string_view name);          // none, solid, mediumGray, ... gray0625
int BorderStyleIndex(std::string_view name);          // none, thin, medium, ... slantedDashDot
int HorizontalAlignmentIndex(std::string_view name);  // general, left, center, ... distributed
int VerticalAlignmentIndex(std::string_view name);    // top, center, bottom, justify, distributed

struct TXmlGradientStop {
    TXmlColor Color;
    double Position = 0;
};

struct TXmlFill {
    bool Gradient = false;
    int PatternType = 0;
    TXmlColor Foreground;
    TXmlColor Background;
    std::vector<TXmlGradientStop> Stops;
    bool Path = false;  // gradient kind: path unless type is "linear" or absent
    double Degree = 0, Left = 0, Right = 0, Top = 0, Bottom = 0;
};

// A fill element; throws EXmlError("Unknown fill type") without a pattern or gradient.
TXmlFill ReadXmlFill(const TExXMLTag& fill);

struct TXmlBorderLine {
    int Style = 0;
    TXmlColor Color;
};

enum TXmlBorderSide { bsLeft, bsTop, bsRight, bsBottom, bsDiagonal, bsHorizontal, bsVertical };

struct TXmlBorder {
    int Options = 0;          // diagonalDown 1, diagonalUp 2, outline 4
    TXmlBorderLine Lines[7];  // by TXmlBorderSide
};

TXmlBorder ReadXmlBorder(const TExXMLTag& border);

struct TXmlFont {
    bool Bold = false, Italic = false, StrikeOut = false;
    bool Outline = false, Shadow = false, Condense = false, Extend = false;
    std::u16string Name = u"Arial";
    int Height20 = 160;  // twentieths of a point
    int Family = 0, Charset = 0;
    TXmlColor Color;
    int Underline = 0;  // none 0, single 1, double 2, single accounting 3, double accounting 4
    int VertAlign = 0;  // none 0, superscript 1, subscript 2
    int Scheme = 0;     // none 0, minor 1, major 2
    bool operator==(const TXmlFont&) const = default;
};

// A font element, or the rPr element of a rich text run (name from rFont).
TXmlFont ReadXmlFont(const TExXMLTag& font);

struct TXmlCellFormat {
    int ApplyFlags = 0;  // numFmt 1, font 2, fill 4, border 8, alignment 16, protection 32
    int NumFmtId = 0, FontId = 0, FillId = 0, BorderId = 0, XfId = 0;
    int Horizontal = 0, Vertical = 2, TextRotation = 0;
    int AlignOptions = 0;  // wrapText 1, shrinkToFit 2, justifyLastLine 4
    int Indent = 0, RelativeIndent = 0, ReadingOrder = 0;
    bool Locked = true, Hidden = false, QuotePrefix = false, PivotButton = false;
};

// An xf element of cellXfs or cellStyleXfs.
TXmlCellFormat ReadXmlCellFormat(const TExXMLTag& xf);

}  // namespace workbook
