// The parts made from the model's cells: each worksheet (stored elements in
// their order, with the dimension, columns and cell data made anew) and the
// shared strings of all of them.
#include <charconv>
#include <cmath>

#include "workbook/ByteOrder.h"
#include "workbook/formats/CellFormats.h"
#include "workbook/formats/CellText.h"
#include "workbook/model/SST.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/XLSXNamespaces.h"
#include "workbook/xlsx/XLSXText.h"
#include "workbook/xlsx/XLSXWriter.h"

namespace workbook {

namespace {

std::string ColumnName(uint32_t col)
{
    std::string name;
    for (uint32_t n = col + 1; n > 0; n = (n - 1) / 26) name.insert(name.begin(), char('A' + (n - 1) % 26));
    return name;
}

std::string CellName(uint32_t col, uint32_t row) { return ColumnName(col) + std::to_string(row + 1); }

// The shortest text that reads back as the same double.
std::string NumberText(double v)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string Dimension(TSheet& sheet)
{
    const TCellDimensions d = sheet.Cells().CalcDimensions();
    if (d.Empty) return "<dimension ref=\"A1\"/>";
    return "<dimension ref=\"" + CellName(d.FirstCol, d.FirstRow) + ":" + CellName(d.LastCol, d.LastRow) + "\"/>";
}

std::string RowStart(uint32_t row, const TXLSRow* settings, const std::string& style)
{
    std::string xml = "<row r=\"" + std::to_string(row + 1) + "\"";
    if (settings == nullptr) return xml + ">";
    if (settings->Options & 0x40) xml += " ht=\"" + NumberText(settings->Height / 20.0) + "\" customHeight=\"1\"";
    if (settings->Options & 0x20) xml += " hidden=\"1\"";
    if (!style.empty()) xml += style + " customFormat=\"1\"";
    return xml + ">";
}

bool EdgeSpace(std::u16string_view text)
{
    auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    return !text.empty() && (space(text.front()) || space(text.back()));
}

// The rest of a cell element after its reference and style.
void ValueCell(std::string& xml, std::string_view type, const std::string& formula, const std::string& value)
{
    xml += " t=\"" + std::string(type) + "\">" + formula + "<v>" + value + "</v></c>";
}

void NumberCell(std::string& xml, const std::string& formula, double v)
{
    if (std::isfinite(v))
        xml += ">" + formula + "<v>" + NumberText(v) + "</v></c>";
    else
        ValueCell(xml, "e", formula, "#NUM!");
}

// A formula without its result keeps having none; a result without its
// formula (read from a file of another format) is a plain text.
void TextResultCell(std::string& xml, const std::string& formula, const std::u16string& text)
{
    if (text.empty() && !formula.empty())
        xml += ">" + formula + "</c>";
    else if (formula.empty())
        xml += " t=\"inlineStr\"><is><t xml:space=\"preserve\">" + XmlElementText(text) + "</t></is></c>";
    else
        xml += " t=\"str\">" + formula + (EdgeSpace(text) ? "<v xml:space=\"preserve\">" : "<v>") +
               XmlElementText(text) + "</v></c>";
}

// A font as the properties of a rich text run, in the order the schema asks.
std::string RunProperties(const TXFont& font)
{
    std::string xml = "<rPr><rFont val=\"" + XmlAttributeText(font.Name) + "\"/>";
    if (font.CharSet) xml += "<charset val=\"" + std::to_string(font.CharSet) + "\"/>";
    if (font.Family) xml += "<family val=\"" + std::to_string(font.Family) + "\"/>";
    if (font.Bold) xml += "<b/>";
    if (font.Italic) xml += "<i/>";
    if (font.StrikeOut) xml += "<strike/>";
    if (font.Color < 64) xml += "<color indexed=\"" + std::to_string(font.Color) + "\"/>";
    xml += "<sz val=\"" + NumberText(font.Size20 / 20.0) + "\"/>";
    static const std::pair<TFontUnderline, const char*> kUnderlines[] = {{fuSingle, "single"},
                                                                         {fuDouble, "double"},
                                                                         {fuSingleAccount, "singleAccounting"},
                                                                         {fuDoubleAccount, "doubleAccounting"}};
    for (const auto& [kind, name] : kUnderlines)
        if (font.Underline == kind) xml += std::string("<u val=\"") + name + "\"/>";
    if (font.SubSuperScript != xssNone)
        xml += font.SubSuperScript == xssSuperscript ? "<vertAlign val=\"superscript\"/>"
                                                     : "<vertAlign val=\"subscript\"/>";
    return xml + "</rPr>";
}

// A string with formatting runs as one r element per run; text before the
// first run has the cell's own font.
std::string RichRuns(const std::u16string& text, const TXLSString& s, const TXFonts& fonts)
{
    std::string xml;
    auto run = [&](std::size_t from, std::size_t to, const TXFont* font) {
        if (from >= to) return;
        xml += "<r>" + (font ? RunProperties(*font) : std::string()) + "<t xml:space=\"preserve\">" +
               XmlElementText(std::u16string_view(text).substr(from, to - from)) + "</t></r>";
    };
    std::size_t start = 0;
    const TXFont* font = nullptr;
    for (int k = 0; k < s.RunCount; ++k) {
        const std::size_t position = std::min<std::size_t>(GetU16(s.Runs() + 4 * k), text.size());
        run(start, position, font);
        const uint16_t index = s.FormatFont(k);
        font = index < fonts.Count() ? &fonts[index] : nullptr;
        start = std::max(start, position);
    }
    run(start, text.size(), font);
    return xml;
}

// Elements of a worksheet that come before its cell data, in schema order.
bool PrecedesSheetData(int id)
{
    return id == xe_sheetPr || id == xe_dimension || id == xe_sheetViews || id == xe_sheetFormatPr || id == xe_cols;
}

}  // namespace

int TXLSXWriter::StringIndex(TXLSString* s)
{
    const auto [it, added] = FStringIndex.emplace(s, int(FStrings.size()));
    if (added) FStrings.push_back(s);
    return it->second;
}

// The styles part's cell format of a model format, when the styles part is
// the one the workbook was read with.
std::string TXLSXWriter::StyleAttribute(const TCell& cell) const
{
    if (cell.Format() == nullptr || FPackage->FStylesPart.empty()) return {};
    const int s = cell.Format()->Index() - FPackage->FFirstCellFormat;
    if (s <= 0 || s >= FPackage->FCellXfCount) return {};
    return " s=\"" + std::to_string(s) + "\"";
}

std::string TXLSXWriter::Worksheet(TSheet& sheet, const TSheetOut& out)
{
    std::string xml = kXmlDeclaration + "<worksheet " + std::string(kRootNamespaces) + ">";
    const TXLSSavedTags empty;
    const TXLSSavedTags& tags = out.Read != nullptr ? out.Read->FTags : empty;
    bool hasCols = false, hasData = false;
    for (const TXLSSavedTag& tag : tags.Items()) {
        hasCols |= tag.FId == xe_cols;
        hasData |= tag.FId == xe_sheetData;
    }
    bool dataWritten = false;
    auto writeData = [&] {
        if (!hasCols) xml += Columns(sheet);
        xml += SheetData(sheet, out);
        dataWritten = true;
    };
    if (tags.Empty()) xml += Dimension(sheet);
    for (const TXLSSavedTag& tag : tags.Items()) {
        if (!hasData && !dataWritten && !PrecedesSheetData(tag.FId)) writeData();
        if (tag.FId == xe_dimension)
            xml += Dimension(sheet);
        else if (tag.FId == xe_cols)
            xml += Columns(sheet);
        else if (tag.FId == xe_sheetData)
            writeData();
        else if (FragmentNamespacesDeclared(tag.FXml))
            xml += tag.FXml;
    }
    if (!dataWritten) writeData();
    return xml + "</worksheet>";
}

std::string TXLSXWriter::Columns(TSheet& sheet) const
{
    std::string xml;
    const auto& columns = sheet.Columns();
    for (auto it = columns.begin(); it != columns.end();) {
        auto last = it;
        for (auto next = std::next(it);
             next != columns.end() && next->first == last->first + 1 && next->second == it->second; ++next)
            last = next;
        const TXLSColumn& c = it->second;
        xml += "<col min=\"" + std::to_string(it->first + 1) + "\" max=\"" + std::to_string(last->first + 1) +
               "\" width=\"" + NumberText(c.Width / 256.0) + "\" customWidth=\"1\"";
        if (c.Hidden) xml += " hidden=\"1\"";
        if (c.OutlineLevel) xml += " outlineLevel=\"" + std::to_string(c.OutlineLevel) + "\"";
        if (c.Collapsed) xml += " collapsed=\"1\"";
        const int s = c.XF - FPackage->FFirstCellFormat;
        if (!FPackage->FStylesPart.empty() && s > 0 && s < FPackage->FCellXfCount)
            xml += " style=\"" + std::to_string(s) + "\"";
        xml += "/>";
        it = std::next(last);
    }
    return xml.empty() ? xml : "<cols>" + xml + "</cols>";
}

std::string TXLSXWriter::SheetData(TSheet& sheet, const TSheetOut& out)
{
    std::string xml = "<sheetData>";
    const auto& rows = sheet.Rows();
    auto nextRow = rows.begin();
    auto rowStyle = [&](const TXLSRow& r) {
        const int s = r.XF - FPackage->FFirstCellFormat;
        const bool own = (r.Options & 0x80) && !FPackage->FStylesPart.empty() && s > 0 && s < FPackage->FCellXfCount;
        return own ? " s=\"" + std::to_string(s) + "\"" : std::string();
    };
    auto emptyRowsBefore = [&](uint64_t row) {
        for (; nextRow != rows.end() && nextRow->first < row; ++nextRow)
            xml += RowStart(nextRow->first, &nextRow->second, rowStyle(nextRow->second)) + "</row>";
    };
    TCellValues& cells = sheet.Cells();
    cells.BeginIterate();
    int64_t openRow = -1;
    for (TCell* cell = cells.GetNext(); cell != nullptr; cell = cells.GetNext()) {
        if (int64_t(cell->Row()) != openRow) {
            if (openRow >= 0) xml += "</row>";
            emptyRowsBefore(cell->Row());
            const bool settings = nextRow != rows.end() && nextRow->first == cell->Row();
            xml +=
                RowStart(cell->Row(), settings ? &nextRow->second : nullptr, settings ? rowStyle(nextRow->second) : "");
            if (settings) ++nextRow;
            openRow = cell->Row();
        }
        CellXml(xml, *cell, out);
    }
    if (openRow >= 0) xml += "</row>";
    emptyRowsBefore(uint64_t(1) << 32);
    return xml + "</sheetData>";
}

void TXLSXWriter::CellXml(std::string& xml, TCell& cell, const TSheetOut& out)
{
    xml += "<c r=\"" + CellName(cell.Col(), cell.Row()) + "\"" + StyleAttribute(cell);
    std::string formula;
    if (IsFormulaCell(cell.CellType()) && out.Read != nullptr) {
        const auto f = out.Read->FFormulas.find({int(cell.Row()), int(cell.Col())});
        if (f != out.Read->FFormulas.end()) formula = f->second;
    }
    switch (cell.CellType()) {
    case ctInteger: return NumberCell(xml, formula, static_cast<TIntegerCell&>(cell).FValue);
    case ctFloat: return NumberCell(xml, formula, static_cast<TFloatCell&>(cell).FValue);
    case ctNumberFormula: return NumberCell(xml, formula, static_cast<TNumberFormulaCell&>(cell).FValue);
    case ctNumberArrayFormula: return NumberCell(xml, formula, static_cast<TNumberArrayFormulaCell&>(cell).FValue);
    case ctString:
        xml += " t=\"s\"><v>" + std::to_string(StringIndex(static_cast<TStringCell&>(cell).FValue)) + "</v></c>";
        return;
    case ctBoolean: return ValueCell(xml, "b", formula, static_cast<TBooleanCell&>(cell).FValue ? "1" : "0");
    case ctBooleanFormula:
        return ValueCell(xml, "b", formula, static_cast<TBooleanFormulaCell&>(cell).FValue ? "1" : "0");
    case ctError: return ValueCell(xml, "e", formula, ErrorText(static_cast<TErrorCell&>(cell).FValue));
    case ctErrorFormula: return ValueCell(xml, "e", formula, ErrorText(static_cast<TErrorFormulaCell&>(cell).FValue));
    case ctStringFormula: return TextResultCell(xml, formula, static_cast<TStringFormulaCell&>(cell).FValue);
    case ctStringArrayFormula: return TextResultCell(xml, formula, static_cast<TStringArrayFormulaCell&>(cell).FValue);
    default: xml += "/>";
    }
}

std::string TXLSXWriter::SharedStrings() const
{
    std::string xml = kXmlDeclaration + "<sst xmlns=\"" + std::string(kMainNs) + "\" count=\"" +
                      std::to_string(FStrings.size()) + "\" uniqueCount=\"" + std::to_string(FStrings.size()) + "\">";
    for (const TXLSString* s : FStrings) {
        const std::u16string text = FBook.SST().GetItem(s);
        xml += "<si>";
        if (s->RunCount == 0)
            xml += "<t xml:space=\"preserve\">" + XmlElementText(text) + "</t>";
        else
            xml += RichRuns(text, *s, FBook.Fonts());
        xml += "</si>";
    }
    return xml + "</sst>";
}

}  // namespace workbook
