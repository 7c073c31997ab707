// Sheets, their text cells and the settings stored in their records.
#include "workbook/model/Model.h"

#include "workbook/ByteOrder.h"
#include "workbook/formats/CellText.h"
#include "workbook/compound/CompoundDocument.h"
#include "workbook/Utf16.h"
#include "workbook/XLSError.h"

namespace workbook {

namespace {

// WINDOW2 option bits: the flags are first set to 0x04A0, then these are added.
constexpr uint16_t kWindow2Base = 0x04A0;
constexpr std::pair<TSheetOption, uint16_t> kWindow2Bits[] = {
    {soShowFormulas, 0x01}, {soGridlines, 0x02}, {soRowColHeadings, 0x04}, {soFrozenPanes, 0x08}, {soShowZeros, 0x10}};
constexpr std::pair<TWorkspaceOption, uint16_t> kWsBoolBits[] = {
    {woShowAutoBreaks, 0x0001}, {woApplyStyles, 0x0020}, {woRowSumsBelow, 0x0040},
    {woColSumsRight, 0x0080},   {woFitToPage, 0x0100},   {woOutlineSymbols, 0x0400}};
constexpr std::pair<TPrintSetupOption, uint16_t> kSetupBits[] = {
    {psoLeftToRight, 0x01}, {psoPortrait, 0x02}, {psoNoColor, 0x08}, {psoDraftQuality, 0x10}, {psoNotes, 0x20}};

// SETUP field offsets.
constexpr size_t kSetupPaper = 0, kSetupScale = 2, kSetupStart = 4, kSetupFitW = 6, kSetupFitH = 8, kSetupFlags = 10,
                 kSetupRes = 12, kSetupHeader = 16, kSetupFooter = 24, kSetupCopies = 32;
constexpr uint16_t kSetupUsePage = 0x80;

// WINDOW2 field offsets.
constexpr size_t kWin2ScaleSLV = 10, kWin2ScaleNormal = 12;

// Text of a cell other than a text or blank cell: numbers, Booleans, errors
// and formulas by their cached result.
std::u16string ValueText(const TCell& cell)
{
    TRawCellValue v;
    switch (cell.CellType()) {
    case ctInteger: v.Number = static_cast<const TIntegerCell&>(cell).FValue; break;
    case ctFloat: v.Number = static_cast<const TFloatCell&>(cell).FValue; break;
    case ctNumberFormula: v.Number = static_cast<const TNumberFormulaCell&>(cell).FValue; break;
    case ctNumberArrayFormula: v.Number = static_cast<const TNumberArrayFormulaCell&>(cell).FValue; break;
    case ctBoolean: v.Flag = static_cast<const TBooleanCell&>(cell).FValue; break;
    case ctBooleanFormula: v.Flag = static_cast<const TBooleanFormulaCell&>(cell).FValue; break;
    case ctError: v.Flag = uint8_t(static_cast<const TErrorCell&>(cell).FValue); break;
    case ctErrorFormula: v.Flag = uint8_t(static_cast<const TErrorFormulaCell&>(cell).FValue); break;
    case ctStringFormula: v.Text = static_cast<const TStringFormulaCell&>(cell).FValue; break;
    case ctStringArrayFormula: v.Text = static_cast<const TStringArrayFormulaCell&>(cell).FValue; break;
    default: break;
    }
    const TWorkbookGlobals& g = WorkbookGlobals();
    return CellKindText(cell.CellType(), v, g.StrTRUE, g.StrFALSE);
}

}  // namespace

uint8_t* TPrintSettings::Setup() const { return FSheet->Records().PSETUP()->Body(); }

void TPrintSettings::Clear(uint16_t paperSize)
{
    SetStartingPage(1);
    SetOptions({psoPortrait});
    SetPaperSize(paperSize);
    MarginLeft = MarginRight = 0.75;
    MarginTop = MarginBottom = 1.0;
    HorizPageBreaks.clear();
    VertPageBreaks.clear();
}

uint16_t TPrintSettings::PaperSize() const { return GetU16(Setup() + kSetupPaper); }
void TPrintSettings::SetPaperSize(uint16_t v) { PutU16(Setup() + kSetupPaper, v); }
uint16_t TPrintSettings::ScalingFactor() const { return GetU16(Setup() + kSetupScale); }
void TPrintSettings::SetScalingFactor(uint16_t v) { PutU16(Setup() + kSetupScale, v); }
uint16_t TPrintSettings::StartingPage() const { return GetU16(Setup() + kSetupStart); }

void TPrintSettings::SetStartingPage(uint16_t v)
{
    PutU16(Setup() + kSetupStart, v);
    uint16_t flags = GetU16(Setup() + kSetupFlags);
    PutU16(Setup() + kSetupFlags, v == 1 ? flags & ~kSetupUsePage : flags | kSetupUsePage);
}

void TPrintSettings::SetFitWidth(int v) { PutU16(Setup() + kSetupFitW, v < 0 || v > 65535 ? 0 : uint16_t(v)); }
void TPrintSettings::SetFitHeight(int v) { PutU16(Setup() + kSetupFitH, v < 0 || v > 65535 ? 0 : uint16_t(v)); }
void TPrintSettings::SetResolution(uint16_t v) { PutU16(Setup() + kSetupRes, v); }
void TPrintSettings::SetCopies(uint16_t v) { PutU16(Setup() + kSetupCopies, v); }
double TPrintSettings::HeaderMargin() const { return GetF64(Setup() + kSetupHeader); }
void TPrintSettings::SetHeaderMargin(double inches) { PutF64(Setup() + kSetupHeader, inches); }
double TPrintSettings::FooterMargin() const { return GetF64(Setup() + kSetupFooter); }
void TPrintSettings::SetFooterMargin(double inches) { PutF64(Setup() + kSetupFooter, inches); }

TPrintSetupOptions TPrintSettings::Options() const
{
    TPrintSetupOptions options;
    uint16_t flags = GetU16(Setup() + kSetupFlags);
    for (auto [option, bit] : kSetupBits)
        if (flags & bit) options.Include(option);
    TRecordStorageSheet& r = FSheet->Records();
    if (GetU16(r.PPRINTHEADERS()->Body()) == 1) options.Include(psoRowColHeading);
    if (GetU16(r.PPRINTGRIDLINES()->Body()) == 1) options.Include(psoGridlines);
    if (GetU16(r.PHCENTER()->Body()) == 1) options.Include(psoHorizCenter);
    if (GetU16(r.PVCENTER()->Body()) == 1) options.Include(psoVertCenter);
    return options;
}

void TPrintSettings::SetOptions(TPrintSetupOptions options)
{
    uint16_t flags = 0;
    for (auto [option, bit] : kSetupBits)
        if (options.Contains(option)) flags |= bit;
    PutU16(Setup() + kSetupFlags, flags);
    TRecordStorageSheet& r = FSheet->Records();
    PutU16(r.PPRINTHEADERS()->Body(), options.Contains(psoRowColHeading));
    PutU16(r.PPRINTGRIDLINES()->Body(), options.Contains(psoGridlines));
    PutU16(r.PHCENTER()->Body(), options.Contains(psoHorizCenter));
    PutU16(r.PVCENTER()->Body(), options.Contains(psoVertCenter));
}

TSheet::TSheet(TXLSWorkbook& owner, std::u16string name, int index)
    : FOwner(&owner),
      FCells(std::make_unique<TCellValues>(owner.SST())),
      FRecords(std::make_unique<TRecordStorageSheet>()),
      FPrintSettings(*this)
{
    FName = std::move(name);
    FSheetIndex = index;
    FPrintSettings.Clear(owner.FDefaultPaperSize);
}

TSheet::~TSheet() = default;

bool TSheet::HasCell(uint32_t col, uint32_t row) { return FCells->GetCells(col, row) != nullptr; }
TCellDimensions TSheet::UsedArea() { return FCells->CalcDimensions(); }
void TSheet::ClearCells() { FCells->Clear(); }

uint16_t TSheet::Word(TRecordData* rec, size_t offset) const { return GetU16(rec->Body() + offset); }
void TSheet::SetWord(TRecordData* rec, uint16_t value, size_t offset) { PutU16(rec->Body() + offset, value); }

uint16_t TSheet::ChooseXF(uint32_t col, uint32_t row) const
{
    auto c = FColumns.find(uint16_t(col));
    if (col <= 0xFFFF && c != FColumns.end() && c->second.XF != kDefaultXF) return c->second.XF;
    auto r = FRows.find(row);
    if (r != FRows.end() && r->second.XF != kDefaultXF) return r->second.XF;
    return kDefaultXF;
}

void TSheet::SetAsString(uint32_t col, uint32_t row, std::u16string_view text)
{
    CheckPosition(col, row);
    PutString(col, row, FCells->SST().AddString(text));
}

void TSheet::SetAsString(uint32_t col, uint32_t row, const TSSTText& text)
{
    CheckPosition(col, row);
    PutString(col, row, FCells->SST().AddString(text));
}

void TSheet::CheckPosition(uint32_t col, uint32_t row)
{
    if (col > kMaxStoreCol || row > kMaxStoreRow)
        throw EXLSError(FormatText("Cell position out of range (column %u, row %u)", col, row));
}

// Stores a text cell for an interned entry; the entry's reference is given
// back when the cell cannot be stored.
void TSheet::PutString(uint32_t col, uint32_t row, TXLSString* entry)
{
    try {
        uint16_t xf = ChooseXF(col, row);
        TCellFormats& formats = FOwner->Formats();
        TCellFormat* format = xf < formats.Count() ? formats[xf] : FOwner->DefaultFormat();
        FCells->SetCells(col, row, FCells->NewCell<TStringCell>(uint16_t(col), row, format, entry));
    } catch (...) {
        FCells->SST().Release(entry);
        throw;
    }
}

// Callers read a sheet's texts in order, row by row or column by column,
// while the strings of neighbouring cells lie anywhere in the string table.
// The string of the cell two rows below is fetched into the cache now, so
// it is there when asked for: 2 cells ahead when going down a column, two
// rows' worth when going along rows. Only a hint: nothing is changed.
std::u16string TSheet::GetAsString(uint32_t col, uint32_t row)
{
    if (const TCell* ahead = FCells->Find(col, row + 2); ahead && ahead->CellType() == ctString) {
        // The entry's header and the characters after it may straddle two lines.
        const TXLSString* s = static_cast<const TStringCell*>(ahead)->FValue;
        __builtin_prefetch(s);
        __builtin_prefetch(s->Chars() + 31);
    }
    TCell* cell = FCells->GetCells(col, row);
    if (!cell || cell->CellType() == ctBlank) return u"";
    if (cell->CellType() == ctString) return FCells->SST().GetItem(static_cast<TStringCell*>(cell)->FValue);
    return ValueText(*cell);
}

void TSheet::SetName(const std::u16string& name)
{
    if (FOwner->Sheets().NameExists(name, this))
        throw EXLSError("Sheet name \"" + Utf16ToUtf8(name) + "\" allready exists");
    FName = name;
}

uint16_t TSheet::DefaultColWidth() const { return Word(FRecords->PDEFCOLWIDTH()); }
void TSheet::SetDefaultColWidth(uint16_t width) { SetWord(FRecords->PDEFCOLWIDTH(), width); }
uint16_t TSheet::DefaultRowHeight() const { return Word(FRecords->PDEFAULTROWHEIGHT(), 2); }

void TSheet::SetDefaultRowHeight(uint16_t height)
{
    TRecordData* rec = FRecords->PDEFAULTROWHEIGHT();
    uint16_t flags = Word(rec);
    SetWord(rec, height == 255 ? flags & ~1u : flags | 1u);
    SetWord(rec, height, 2);
}

TSheetOptions TSheet::Options() const
{
    TSheetOptions options;
    uint16_t flags = Window2Flags();
    for (auto [option, bit] : kWindow2Bits)
        if (flags & bit) options.Include(option);
    return options;
}

void TSheet::SetOptions(TSheetOptions options)
{
    uint16_t flags = kWindow2Base;
    for (auto [option, bit] : kWindow2Bits)
        if (options.Contains(option)) flags |= bit;
    SetWindow2Flags(flags);
}

TWorkspaceOptions TSheet::WorkspaceOptions() const
{
    TWorkspaceOptions options;
    uint16_t flags = Word(FRecords->PWSBOOL());
    for (auto [option, bit] : kWsBoolBits)
        if (flags & bit) options.Include(option);
    return options;
}

void TSheet::SetWorkspaceOptions(TWorkspaceOptions options)
{
    uint16_t flags = 0;
    for (auto [option, bit] : kWsBoolBits)
        if (options.Contains(option)) flags |= bit;
    SetWord(FRecords->PWSBOOL(), flags);
}

uint16_t TSheet::Zoom() const { return Word(FRecords->PWINDOW2(), kWin2ScaleNormal); }
void TSheet::SetZoom(uint16_t zoom) { SetWord(FRecords->PWINDOW2(), zoom, kWin2ScaleNormal); }
uint16_t TSheet::ZoomPreview() const { return Word(FRecords->PWINDOW2(), kWin2ScaleSLV); }
void TSheet::SetZoomPreview(uint16_t zoom) { SetWord(FRecords->PWINDOW2(), zoom, kWin2ScaleSLV); }
uint16_t TSheet::Window2Flags() const { return Word(FRecords->PWINDOW2()); }
void TSheet::SetWindow2Flags(uint16_t flags) { SetWord(FRecords->PWINDOW2(), flags); }

void TSheet::CalcDimensions()
{
    const TWorkbookGlobals& g = WorkbookGlobals();
    TCellDimensions d = FCells->CalcDimensions();
    if (d.Empty) {
        d = TCellDimensions{};
    } else {
        // The scan starts from the process-wide largest indexes, so cells
        // beyond them leave the first column or row at that limit.
        d.FirstCol = std::min(d.FirstCol, g.MaxCol);
        d.FirstRow = std::min(d.FirstRow, g.MaxRow);
    }
    FDimension = d;
    uint8_t* body = FRecords->PDIMENSIONS()->Body();
    PutU32(body, std::min<uint32_t>(d.FirstRow, 65535));
    // The last row plus one: a full-height sheet (row 65535 used) says 65536,
    // which the 32-bit field holds; a smaller value tells readers a row is missing.
    PutU32(body + 4, std::min<uint32_t>(d.LastRow + 1, 65536));
    PutU16(body + 8, uint16_t(std::min<uint32_t>(d.FirstCol, 255)));
    PutU16(body + 10, uint16_t(d.FirstCol > 254 ? 255 : std::min<uint32_t>(d.LastCol + 1, 0xFFFF)));
    PutU16(body + 12, 0);
}

TSheets::TSheets(TXLSWorkbook& owner) : FOwner(&owner) {}
TSheets::~TSheets() = default;

TSheet& TSheets::Add()
{
    int id = FNextId++;
    FItems.push_back(std::make_unique<TSheet>(*FOwner, u"Sheet" + Utf8ToUtf16(std::to_string(id + 1)), Count()));
    return *FItems.back();
}

void TSheets::Delete(int index)
{
    (*this)[index];
    FItems.erase(FItems.begin() + index);
    for (int i = 0; i < Count(); ++i) FItems[size_t(i)]->SetSheetIndex(i);
}

void TSheets::Clear()
{
    FItems.clear();
    FNextId = 0;
}

TSheet& TSheets::operator[](int index) const
{
    if (index < 0 || index >= Count()) throw EXLSError(FormatText("List index out of bounds (%d)", index));
    return *FItems[size_t(index)];
}

bool TSheets::NameExists(const std::u16string& name, const TSheet* except) const
{
    for (const auto& s : FItems)
        if (s.get() != except && CompareEntryNames(s->Name(), name) == 0) return true;
    return false;
}

}  // namespace workbook
