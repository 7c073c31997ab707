// A worksheet part: cells of every kind, row and column settings, and the
// elements the model does not hold, stored as XML text in document order
// with place markers where a writer makes the element anew.
#include <algorithm>
#include <cmath>

#include "workbook/formats/CellText.h"
#include "workbook/model/SST.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/XLSXReader.h"
#include "workbook/xlsx/XLSXText.h"
#include "workbook/xlsx/XmlText.h"

namespace workbook {

namespace {

// Elements the model holds and a writer regenerates.
bool IsRegeneratedSheetElement(int id) { return id == xe_sheetData || id == xe_cols || id == xe_dimension; }

// A cell's type and value.
struct TCellValue {
    std::string_view Type;              // t, "n" when absent
    std::optional<std::string_view> V;  // the v child's raw text; none for no v, or an empty one
    const TExXMLTag* Is = nullptr;      // the is child
};

class TSheetHandler : public TXmlPartHandler {
public:
    TSheetHandler(TXLSXReader& reader, int sheetIndex)
        : FReader(reader),
          FBook(reader.Book()),
          FSheet(reader.Book().Sheet(sheetIndex)),
          FCells(FSheet.Cells()),
          FPart(reader.Package().FSheets[size_t(sheetIndex)])
    {}
    void TagBegins(TExXMLTag& tag) override
    {
        if (tag.FId != xe_row) return;
        FRow = tag.Has(xa_r) ? XmlToInt(tag.Raw(xa_r)) - 1 : FRow + 1;
        FCol = -1;
    }
    bool TagEnds(TExXMLTag& tag) override;

private:
    void Cell(const TExXMLTag& c);
    void Place(std::string_view ref, std::string_view style);
    void Formula(const TExXMLTag& c, const TExXMLTag& f, std::string_view type, const TExXMLTag* v);
    void Value(const TCellValue& value);
    void Row(const TExXMLTag& row);
    void Columns(const TExXMLTag& col);
    void Put(std::unique_ptr<TCell> cell) { FCells.SetCells(uint32_t(FCol), uint32_t(FCellRow), std::move(cell)); }
    void PutText(std::u16string_view text);
    void SharedStringCell(int index);
    TXLSString* SharedString(int index) const;
    // The decoded raw text with its _xHHHH_ escapes, in FText.
    const std::u16string& DecodedText(std::string_view raw);
    TCellFormat* Format(int s) const;

    TXLSXReader& FReader;
    TXLSWorkbook& FBook;
    TSheet& FSheet;
    TCellValues& FCells;  // cells are made in the store's own memory
    TXLSXSheetPart& FPart;
    int FRow = -1, FCol = -1, FCellRow = 0;
    TCellFormat* FFormat = nullptr;
    std::u16string FText;  // reused for every cell's text
};

bool TSheetHandler::TagEnds(TExXMLTag& tag)
{
    if (tag.FId == xe_c) Cell(tag);
    if (tag.FId == xe_row) Row(tag);
    if (tag.FId == xe_col) Columns(tag);
    if (tag.FId == xe_c || tag.FId == xe_row) return true;
    if (tag.FParent == nullptr || tag.FParent->FId != xe_worksheet || tag.FId == kUnknownElement) return false;
    if (IsRegeneratedSheetElement(tag.FId)) {
        FPart.FTags.Add(tag.FId, tag.PlaceMarker());
    } else {
        std::string xml = tag.AsXml();
        if (tag.FId == xe_sheetViews && xml.find("rightToLeft=\"1\"") != std::string::npos)
            FBook.OptionsDialog().RightToLeft = true;
        FPart.FTags.Add(tag.FId, std::move(xml));
    }
    return true;
}

TCellFormat* TSheetHandler::Format(int s) const
{
    const int index = FReader.Package().FFirstCellFormat + s;
    return s >= 0 && index < FBook.Formats().Count() ? FBook.Formats()[index] : FBook.DefaultFormat();
}

// A cell without a reference, or with one that is no cell reference, follows
// the one before it in its row. ref and style are raw, empty when absent.
void TSheetHandler::Place(std::string_view ref, std::string_view style)
{
    if (const auto cell = !ref.empty() ? ParseCellRef(ref) : std::nullopt) {
        FCol = cell->Col;
        FCellRow = cell->Row;
    } else {
        ++FCol;
        FCellRow = std::max(FRow, 0);
    }
    FFormat = Format(style.empty() ? 0 : XmlToInt(style));
}

void TSheetHandler::Cell(const TExXMLTag& c)
{
    Place(c.Raw(xa_r), c.Raw(xa_s));
    const std::string_view type = c.Raw(xa_t, "n");
    const TExXMLTag* v = c.Child(xe_v);
    if (v != nullptr && v->FText.empty() && type != "str" && type != "inlineStr") v = nullptr;  // <v/> is no value
    if (const TExXMLTag* f = c.Child(xe_f)) return Formula(c, *f, type, v);
    TCellValue value{type, std::nullopt, nullptr};
    if (v != nullptr) value.V = v->FText;
    value.Is = c.Child(xe_is);
    Value(value);
}

template <class TFormula, class TValue>
std::unique_ptr<TCell> FormulaOf(int col, int row, TCellFormat* format, TValue value)
{
    auto cell = std::make_unique<TFormula>(uint16_t(col), uint32_t(row), format);
    cell->FValue = std::move(value);
    cell->FIsEx12 = true;
    return cell;
}

void TSheetHandler::Formula(const TExXMLTag& c, const TExXMLTag& f, std::string_view type, const TExXMLTag* v)
{
    FPart.FFormulas[{FCellRow, FCol}] = f.AsXml();
    std::unique_ptr<TCell> cell;
    if (type == "inlineStr" && c.Child(xe_is) != nullptr)
        cell = FormulaOf<TStringFormulaCell>(FCol, FCellRow, FFormat, XLSXItemText(*c.Child(xe_is)));
    else if (v == nullptr)
        cell = FormulaOf<TStringFormulaCell>(FCol, FCellRow, FFormat, std::u16string());
    else if (type == "b")
        cell = FormulaOf<TBooleanFormulaCell>(FCol, FCellRow, FFormat, XmlToBool(v->FText));
    else if (type == "e")
        cell = FormulaOf<TErrorFormulaCell>(FCol, FCellRow, FFormat, TCellError(ErrorIndexFromText(v->FText)));
    else if (type == "n")
        cell = FormulaOf<TNumberFormulaCell>(FCol, FCellRow, FFormat, XmlToFloat(v->FText));
    else if (type == "d" && IsoDateToSerial(v->FText, FReader.Date1904()))
        cell = FormulaOf<TNumberFormulaCell>(FCol, FCellRow, FFormat, *IsoDateToSerial(v->FText, FReader.Date1904()));
    else if (type == "s")  // another program's cached result that is a shared string
        cell = FormulaOf<TStringFormulaCell>(FCol, FCellRow, FFormat,
                                             FBook.SST().GetItem(SharedString(XmlToInt(v->FText))));
    else  // str, inlineStr, a d that is no date, and any type not known: the value as text
        cell = FormulaOf<TStringFormulaCell>(FCol, FCellRow, FFormat, DecodeXEscapes(v->DecodedText()));
    Put(std::move(cell));
}

const std::u16string& TSheetHandler::DecodedText(std::string_view raw)
{
    FText.clear();
    AppendDecodedXmlText(FText, raw);
    DecodeXEscapesInPlace(FText);
    return FText;
}

void TSheetHandler::PutText(std::u16string_view text)
{
    TXLSString* s = InternXLSXString(FBook.SST(), text);
    try {
        Put(FCells.NewCell<TStringCell>(uint16_t(FCol), uint32_t(FCellRow), FFormat, s));
    } catch (...) {
        FBook.SST().Release(s);
        throw;
    }
}

void TSheetHandler::Value(const TCellValue& value)
{
    const std::string_view type = value.Type;
    if (type == "inlineStr") {
        if (value.Is != nullptr) {
            XLSXItemTextInto(FText, *value.Is);
            PutText(FText);
        } else if (value.V) {
            PutText(DecodedText(*value.V));
        } else {
            Put(FCells.NewCell<TBlankCell>(uint16_t(FCol), uint32_t(FCellRow), FFormat));
        }
        return;
    }
    if (!value.V) return Put(FCells.NewCell<TBlankCell>(uint16_t(FCol), uint32_t(FCellRow), FFormat));
    const std::string_view v = *value.V;
    const uint16_t col = uint16_t(FCol);
    const uint32_t row = uint32_t(FCellRow);
    if (type == "n") return Put(FCells.NewCell<TFloatCell>(col, row, FFormat, XmlToFloat(v)));
    if (type == "b") return Put(FCells.NewCell<TBooleanCell>(col, row, FFormat, XmlToBool(v)));
    if (type == "str") return PutText(DecodedText(v));
    if (type == "e") {
        const int error = ErrorIndexFromText(v);
        if (error == 0) return PutText(DecodeXmlText(v));
        return Put(FCells.NewCell<TErrorCell>(col, row, FFormat, TCellError(error)));
    }
    if (type == "d") {
        const auto serial = IsoDateToSerial(v, FReader.Date1904());
        if (!serial) return PutText(DecodeXmlText(v));
        return Put(FCells.NewCell<TFloatCell>(col, row, FFormat, *serial));
    }
    // A type this reader does not know loses no workbook: its value is kept as text.
    if (type != "s") return PutText(DecodedText(v));
    SharedStringCell(XmlToInt(v));
}

TXLSString* TSheetHandler::SharedString(int index) const
{
    std::vector<TXLSString*>& strings = FReader.Strings();
    if (index < 0 || index >= int(strings.size()))
        throw EXLSError(
            FormatText("Shared string %d does not exist (the workbook has %d)", index, int(strings.size())));
    return strings[size_t(index)];
}

void TSheetHandler::SharedStringCell(int index)
{
    TXLSString* s = SharedString(index);
    FBook.SST().AddRef(s);
    try {
        Put(FCells.NewCell<TStringCell>(uint16_t(FCol), uint32_t(FCellRow), FFormat, s));
    } catch (...) {
        FBook.SST().Release(s);
        throw;
    }
}

void TSheetHandler::Row(const TExXMLTag& row)
{
    if (!row.Has(xa_ht) && !row.Has(xa_hidden) && !row.Has(xa_s)) return;
    if (FRow < 0 || uint32_t(FRow) > kMaxStoreRow) return;
    TXLSRow& r = FSheet.Rows()[uint32_t(FRow)];
    r.Height = uint16_t(std::clamp<long>(std::lround(row.AsFloat(xa_ht, 12.75) * 20), 0, 8192));
    if (row.AsBool(xa_hidden)) r.Options |= 0x20;
    if (row.AsBool(xa_customHeight)) r.Options |= 0x40;
    if (const int s = row.AsInt(xa_s); s > 0 && Format(s)) {
        r.XF = uint16_t(Format(s)->Index());
        r.Options |= 0x80;
    }
}

void TSheetHandler::Columns(const TExXMLTag& col)
{
    const int first = XmlToInt(col.Required(xa_min)) - 1;
    const int last = std::min(XmlToInt(col.Required(xa_max)) - 1, int(kMaxStoreCol));
    TXLSColumn column;
    column.Width = uint16_t(std::clamp<long>(std::lround(col.AsFloat(xa_width, 9.765625) * 256), 0, 65535));
    column.Hidden = col.AsBool(xa_hidden);
    column.Collapsed = col.AsBool(xa_collapsed);
    column.OutlineLevel = uint8_t(std::clamp(col.AsInt(xa_outlineLevel), 0, 7));
    if (const int s = col.AsInt(xa_style); s > 0) column.XF = uint16_t(Format(s)->Index());
    for (int c = std::max(first, 0); c <= last; ++c) FSheet.Columns()[uint16_t(c)] = column;
}

}  // namespace

void ReadXLSXSheet(TXLSXReader& reader, int sheetIndex, const std::string& part)
{
    TSheetHandler handler(reader, sheetIndex);
    reader.ParsePart(part, handler);
}

}  // namespace workbook
