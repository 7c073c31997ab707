// The workbook component: construction, Clear, Read, Write and the
// workbook-wide settings stored in the globals records.
#include "workbook/model/Model.h"

#include "workbook/ByteOrder.h"
#include "workbook/FileFormat.h"
#include "workbook/model/WorkbookHooks.h"
#include "workbook/XLSError.h"
#include "workbook/biff/XLSWriter.h"

#include <algorithm>
#include <clocale>
#include <langinfo.h>

namespace workbook {

namespace {

constexpr std::pair<TWorkbookOption, uint16_t> kWindow1Bits[] = {
    {woHidden, 0x01}, {woIconized, 0x02}, {woHScroll, 0x08}, {woVScroll, 0x10}, {woTabs, 0x20}};

// The first bytes decide; a file they do not name (text, a cut-off file)
// goes to the reader its name suggests, whose error then speaks of the
// format the user expected.
bool ReadsAsPackage(const std::u16string& filename)
{
    switch (FileKindOfFile(filename)) {
    case fkPackage: return true;
    case fkCompound:
    case fkRawBIFF: return false;
    case fkUnknown: break;
    }
    std::u16string ext = LowerExtension(filename);
    return ext == u".xlsx" || ext == u".xlsm" || ext == u".zip";
}

bool Flag(TRecordData* rec) { return GetU16(rec->Body()) == 1; }
void SetFlag(TRecordData* rec, bool v) { PutU16(rec->Body(), uint16_t(v & 0x7F)); }

}  // namespace

TWorkbookGlobals& WorkbookGlobals()
{
    static TWorkbookGlobals globals;
    return globals;
}

uint16_t LocaleDefaultPaperSize()
{
#ifdef _NL_PAPER_HEIGHT
    const char* locale = std::setlocale(LC_PAPER, nullptr);
    if (locale) {
        auto height = reinterpret_cast<intptr_t>(nl_langinfo(_NL_PAPER_HEIGHT));
        if (height == 279) return psLetter;
    }
#endif
    return psA4;
}

uint16_t TWorkbookData::Field(size_t offset) const { return GetU16(FRecords->PWINDOW1()->Body() + offset); }
void TWorkbookData::SetField(size_t offset, uint16_t v) { PutU16(FRecords->PWINDOW1()->Body() + offset, v); }

TWorkbookOptions TWorkbookData::Options() const
{
    TWorkbookOptions options;
    for (auto [option, bit] : kWindow1Bits)
        if (Field(8) & bit) options.Include(option);
    return options;
}

void TWorkbookData::SetOptions(TWorkbookOptions options)
{
    uint16_t flags = Field(8) & ~uint16_t(0x3B);
    for (auto [option, bit] : kWindow1Bits)
        if (options.Contains(option)) flags |= bit;
    SetField(8, flags);
}

TXLSWorkbook::TXLSWorkbook()
    : FRecords(std::make_unique<TRecordStorageGlobals>()),
      FWorkbookData(*FRecords),
      FFonts(std::make_unique<TXFonts>()),
      FFormats(std::make_unique<TCellFormats>()),
      FSST(std::make_unique<TSST2>()),
      FSheets(*this),
      FExtraObjects(std::make_unique<TExtraObjects>()),
      FEx2007Records(std::make_unique<TRecordStorageEx2007Unknown>()),
      FMaxBuffsize(kMaxRecordBody97)
{
    FWorkbookData.SetLeft(100);
    FWorkbookData.SetTop(100);
    FWorkbookData.SetWidth(10000);
    FWorkbookData.SetHeight(7000);
    FWorkbookData.SetOptions({woHScroll, woVScroll, woTabs});
    FSST->SetFonts(FFonts.get());
    RestoreDefaultPalette();
    WorkbookGlobals().StrTRUE = u"TRUE";
    WorkbookGlobals().StrFALSE = u"FALSE";
    FDefaultPaperSize = LocaleDefaultPaperSize();
    FSheets.Add();
    SetVersion(xvExcel97);
}

TXLSWorkbook::~TXLSWorkbook() { DropSheets(); }

std::u16string TXLSWorkbook::UserName() const { return FRecords->UserName(); }
void TXLSWorkbook::SetUserName(const std::u16string& name) { FRecords->SetUserName(name); }

// Empties the string table in one go and then frees the sheets, whose text
// cells no longer release their strings one by one; stores of plain cells
// are dropped whole. Formats go right after (destructor, Clear), so the
// usages the cells held need no giving back.
void TXLSWorkbook::DropSheets()
{
    for (int i = 0; i < FSheets.Count(); ++i) {
        FSheets[i].Cells().DetachStrings();
        FSheets[i].Cells().DropWithWorkbook();
    }
    FSST->Clear();
    FSheets.Clear();
}

void TXLSWorkbook::SetVersion(TExcelVersion version)
{
    FVersion = version;
    FMaxBuffsize = version < xvExcel97 ? kMaxRecordBody50 : kMaxRecordBody97;
    FSST->SetMaxBufSize(FMaxBuffsize);
    TWorkbookGlobals& g = WorkbookGlobals();
    g.MaxCol = version == xvExcel2007 ? 16383 : 255;
    g.MaxRow = version == xvExcel2007 ? 1048575 : 65535;
}

TCellFormat* TXLSWorkbook::DefaultFormat() const
{
    return FFormats->Count() > int(kDefaultXF) ? (*FFormats)[kDefaultXF] : FFormats->Count() ? (*FFormats)[0] : nullptr;
}

void TXLSWorkbook::Clear()
{
    DropSheets();
    FRecords->SetDefaultData();
    FWorkbookData.SetLeft(100);
    FWorkbookData.SetTop(100);
    FWorkbookData.SetWidth(10000);
    FWorkbookData.SetHeight(7000);
    FWorkbookData.SetOptions({woHScroll, woVScroll, woTabs});
    FEx2007Records->Clear();
    FWriteDefaultData = true;
    FFormats->Reset();
    FFonts->Reset();
    FStyles.clear();
    FSheetNames.clear();
    FChartSheets.clear();
    FExtraObjects->Clear();
    FXLSXPackage.reset();
    FSheets.Add();
    FOrigVersion = xvNone;
}

void TXLSWorkbook::Read()
{
    Clear();
    if (ReadsAsPackage(FFilename)) {
        ReadOOXMLWorkbook(*this);
        SetVersion(xvExcel2007);
    } else {
        ReadBIFFWorkbook(*this);
    }
    if (FSheets.Count() == 0) Clear();  // which leaves one empty sheet
    TakeOptionsFromFirstSheet();
    FOrigVersion = FVersion;
}

void TXLSWorkbook::TakeOptionsFromFirstSheet()
{
    TRecordStorageSheet& r = FSheets[0].Records();
    int16_t mode = int16_t(GetU16(r.PCALCMODE()->Body()));
    FOptionsDialog.CalcMode = mode == 0 ? cmManual : mode == -1 ? cmAutoExTables : cmAutomatic;
    FOptionsDialog.CalcCount = GetU16(r.PCALCCOUNT()->Body());
    FOptionsDialog.Delta = GetF64(r.PDELTA()->Body());
    FOptionsDialog.R1C1Mode = GetU16(r.PREFMODE()->Body()) == 0;
    FOptionsDialog.Iteration = Flag(r.PITERATION());
    FOptionsDialog.SaveRecalc = Flag(r.PSAVERECALC());
}

void TXLSWorkbook::CopyOptionsToSheets()
{
    const TOptionsDialog& o = FOptionsDialog;
    for (int i = 0; i < FSheets.Count(); ++i) {
        TSheet& sheet = FSheets[i];
        TRecordStorageSheet& r = sheet.Records();
        uint16_t flags = sheet.Window2Flags();
        sheet.SetWindow2Flags(o.RightToLeft ? flags | 0x40 : flags & ~0x40);
        PutU16(r.PCALCMODE()->Body(), o.CalcMode == cmManual ? 0 : o.CalcMode == cmAutomatic ? 1 : 0xFFFF);
        PutU16(r.PCALCCOUNT()->Body(), uint16_t(o.CalcCount));
        PutU16(r.PREFMODE()->Body(), o.R1C1Mode ? 0 : 1);
        SetFlag(r.PITERATION(), o.Iteration);
        SetFlag(r.PSAVERECALC(), o.SaveRecalc);
    }
}

void TXLSWorkbook::Write()
{
    const TExcelVersion named = FormatOfName(FFilename);
    if (named != xvNone && named != FVersion) SetVersion(named);
    if (FVersion == xvExcel21 || FVersion == xvExcel30) throw EXLSError("Can not write Excel 2.1/3.0 files");
    CopyOptionsToSheets();
    if (FVersion == xvExcel2007) {
        WriteOOXMLWorkbook(*this);
        return;
    }
    TXLSWriter(*this).WriteToStream(nullptr);
}

void TXLSWorkbook::WriteToStream(std::vector<uint8_t>& target)
{
    if (FVersion == xvExcel21 || FVersion == xvExcel30) throw EXLSError("Can not write Excel 2.1/3.0 files");
    CopyOptionsToSheets();
    TXLSWriter(*this).WriteToStream(&target);
}

bool TXLSWorkbook::BookProtected() const { return Flag(FRecords->PWINDOWPROTECT()); }
void TXLSWorkbook::SetBookProtected(bool v) { SetFlag(FRecords->PWINDOWPROTECT(), v); }
bool TXLSWorkbook::Backup() const { return Flag(FRecords->PBACKUP()); }
void TXLSWorkbook::SetBackup(bool v) { SetFlag(FRecords->PBACKUP(), v); }
bool TXLSWorkbook::RefreshAll() const { return Flag(FRecords->PREFRESHALL()); }
void TXLSWorkbook::SetRefreshAll(bool v) { SetFlag(FRecords->PREFRESHALL(), v); }
bool TXLSWorkbook::PrecisionAsDisplayed() const { return Flag(FRecords->PPRECISION()); }
void TXLSWorkbook::SetPrecisionAsDisplayed(bool v) { SetFlag(FRecords->PPRECISION(), v); }
bool TXLSWorkbook::SaveExtLinkVal() const { return Flag(FRecords->PBOOKBOOL()); }
void TXLSWorkbook::SetSaveExtLinkVal(bool v) { SetFlag(FRecords->PBOOKBOOL(), v); }
TShowObjects TXLSWorkbook::ShowObjects() const { return TShowObjects(GetU16(FRecords->PHIDEOBJ()->Body())); }
void TXLSWorkbook::SetShowObjects(TShowObjects v) { PutU16(FRecords->PHIDEOBJ()->Body(), uint16_t(v)); }
uint16_t TXLSWorkbook::Codepage() const { return GetU16(FRecords->PCODEPAGE()->Body()); }
void TXLSWorkbook::SetCodepage(uint16_t codepage) { PutU16(FRecords->PCODEPAGE()->Body(), codepage ? codepage : 1252); }

void TXLSWorkbook::SetCalcCount(int count) { FOptionsDialog.CalcCount = count == 0 ? 1 : count < 0 ? 32767 : count; }

}  // namespace workbook
