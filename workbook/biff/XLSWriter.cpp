// The writer's walk: globals list, then each sheet's list, with placeholders
// expanded. Errors while writing are prefixed with the record position.
#include "workbook/biff/XLSWriter.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

namespace workbook {

namespace {

constexpr uint16_t kWin2Frozen = 0x0008, kWin2FrozenNoSplit = 0x0100, kWin2Selected = 0x0200, kWin2Active = 0x0400;

TBoundsheetType BoundsheetType(TWorksheetType t)
{
    return t == wtVBModule ? btVBModule : t == wtExcel4Macro ? btExcel4Macro : btSheet;
}

}  // namespace

TXLSWriter::TXLSWriter(TXLSWorkbook& book) : FXLS(book), PBuf(size_t(book.MaxBuffsize())) {}

void TXLSWriter::Rec(uint16_t recId, const std::vector<uint8_t>& body)
{
    FXLSStream.WriteBufHeader(body.data(), recId, uint16_t(body.size()));
}

// Sheets in order, each chart sheet kept from the file read placed before the
// worksheet it stood before. The selected tab counts every entry, charts too.
void TXLSWriter::FillBoundsheetList()
{
    FBoundsheetList.clear();
    TSheets& sheets = FXLS.Sheets();
    const std::vector<TChartSheet>& charts = FXLS.ChartSheets();
    size_t chart = 0;
    auto chartsBefore = [&](int index) {
        for (; chart < charts.size() && (index >= sheets.Count() || charts[chart].Before <= index); ++chart)
            FBoundsheetList.push_back({btChart, int(chart), 0, charts[chart].Name, charts[chart].Hidden});
    };
    for (int i = 0; i < sheets.Count(); ++i) {
        chartsBefore(i);
        TSheet& sheet = sheets[i];
        FBoundsheetList.push_back({BoundsheetType(sheet.FWorksheetType), i, 0, sheet.Name(), int(sheet.FHidden)});
    }
    chartsBefore(sheets.Count());
    const size_t selected = FXLS.Workbook().SelectedTab();
    for (size_t k = 0; k < FBoundsheetList.size(); ++k) {
        if (FBoundsheetList[k].FBoundsheetType == btChart) continue;
        TSheet& sheet = sheets[FBoundsheetList[k].FIndex];
        uint16_t flags = sheet.Window2Flags();
        if (sheet.FPane.Frozen) flags |= kWin2Frozen | kWin2FrozenNoSplit;
        if (k == selected)
            flags |= kWin2Selected | kWin2Active;
        else
            flags &= ~(kWin2Selected | kWin2Active);
        sheet.SetWindow2Flags(flags);
    }
}

void TXLSWriter::WriteToStream(std::vector<uint8_t>* target)
{
    if (FXLS.Version() != xvExcel97)
        throw EXLSError("Writing this file version is not supported; only Excel 97-2003 workbooks are written");
    FillBoundsheetList();
    FXLSStream.SetTargetStream(target);
    FXLSStream.SetExtraObjects(&FXLS.ExtraObjects());
    FXLSStream.SetSaveVBA(FXLS.FPreserveMacros);
    FXLSStream.OpenStorageWrite(FXLS.Filename(), FXLS.Version());
    try {
        WriteAll();
        FXLSStream.CloseStorage();
    } catch (...) {
        // The document only exists in memory until CloseStorage: dropping it
        // leaves the previous file as it was.
        FXLSStream.AbandonStorage();
        FBoundsheetList.clear();
        throw;
    }
    FBoundsheetList.clear();
}

void TXLSWriter::WriteAll()
{
    WriteGlobals();
    for (const TBoundsheetData& b : FBoundsheetList) {
        const uint64_t start = FXLSStream.Pos();
        FXLSStream.Seek(int64_t(b.FFilePos), soFromBeginning);
        FXLSStream.WLWord(uint32_t(start));
        FXLSStream.Seek(0, soFromEnd);
        if (b.FBoundsheetType == btChart) {
            const std::vector<uint8_t>& records = FXLS.ChartSheets()[size_t(b.FIndex)].Records;
            FXLSStream.Write(records.data(), records.size());
        } else {
            FCurrSheet = b.FIndex;
            WriteSheet(FCurrSheet);
        }
    }
}

void TXLSWriter::WriteGlobals()
{
    TRecordStorageGlobals& records = FXLS.Records();
    if (records.Count() == 0) records.MoveAllDefault();
    for (int i = 0; i < records.Count(); ++i) {
        try {
            WriteGlobalRecord(records[i]);
        } catch (const std::exception& e) {
            throw EXLSError(FormatText("Error on writing record # %d\r", i) + e.what());
        }
    }
}

void TXLSWriter::WriteGlobalRecord(TRecordData& rec)
{
    switch (rec.RecId) {
    case BIFFRECID_WRITEACCESS:
        Rec(rec.RecId, rec.Data);
        if (FXLS.FRecomendReadOnly) Rec(BIFFRECID_FILESHARING, {1, 0, 0, 0, 0, 0});
        break;
    case BIFFRECID_OBPROJ:
        if (FXLS.FPreserveMacros) FXLSStream.WriteHeader(BIFFRECID_OBPROJ, 0);
        break;
    case BIFFRECID_TABID: WriteTabId(rec); break;
    case INTERNAL_FORMATS: WriteFormatRecords(); break;
    case INTERNAL_BOUNDSHEETS: WriteBoundsheets(); break;
    case INTERNAL_NAMES:      // no formula layer: no external references or names
    case INTERNAL_MSODRWGRP:  // no pictures: no drawing group
        break;
    case INTERNAL_SST:
        WriteSST();
        FXLS.Ex2007Records().WriteAllRecs(FXLSStream);
        break;
    default: Rec(rec.RecId, rec.Data);
    }
}

void TXLSWriter::WriteTabId(const TRecordData& rec)
{
    if (!rec.Data.empty()) return;
    TByteWriter w;
    for (size_t i = 1; i <= FBoundsheetList.size(); ++i) w.U16(uint16_t(i));
    Rec(BIFFRECID_TABID, w.Data());
}

void TXLSWriter::WriteBoundsheets()
{
    for (TBoundsheetData& b : FBoundsheetList) {
        TByteWriter w;
        w.U32(0);
        w.U8(uint8_t(b.FHidden));
        static const uint8_t kTypeByte[] = {0x00, 0x02, 0x06, 0x01};
        w.U8(kTypeByte[b.FBoundsheetType]);
        w.U8(uint8_t(b.FName.size()));
        w.U8(1);
        w.UTF16(b.FName);
        FXLSStream.WriteHeader(BIFFRECID_BOUNDSHEET, uint16_t(w.Data().size()));
        b.FFilePos = FXLSStream.Pos();
        FXLSStream.Write(w.Data().data(), w.Data().size());
    }
}

void TXLSWriter::WriteSheet(int index)
{
    TSheet& sheet = FXLS.Sheet(index);
    TRecordStorageSheet& records = sheet.Records();
    PutU16(records.PPROTECT()->Body(), sheet.FSheetProtections == kAllSheetProtections ? 0 : 1);
    sheet.CalcDimensions();
    if (!sheet.FHasDefaultRecords) {
        if (records.Count() == 0) records.MoveAllDefault();
        sheet.FHasDefaultRecords = true;
    }
    for (int i = 0; i < records.Count(); ++i) WriteSheetRecord(sheet, records[i]);
}

void TXLSWriter::WriteSheetRecord(TSheet& sheet, TRecordData& rec)
{
    switch (rec.RecId) {
    case BIFFRECID_DIMENSIONS: WriteDimensions(rec); break;
    case BIFFRECID_WINDOW2: WriteWindow2(sheet, rec); break;
    case INTERNAL_PAGEBREAKES: WritePageBreaks(sheet); break;
    case INTERNAL_HEADER: WriteHeaderFooter(sheet); break;
    case INTERNAL_MARGINS: WriteMargins(sheet); break;
    case INTERNAL_COLINFO: WriteColinfo(sheet); break;
    case INTERNAL_CELLDATA:
        WriteRows(sheet);
        WriteCells(sheet);
        break;
    case INTERNAL_SUFFIXDATA: WriteSuffix(sheet); break;
    default: Rec(rec.RecId, rec.Data);
    }
}

void TXLSWriter::WriteDimensions(TRecordData& rec)
{
    const uint8_t* d = rec.Body();
    TByteWriter w;
    w.U32(GetU32(d));
    w.U32(std::min<uint32_t>(GetU32(d + 4), 65536));  // one past the last row
    w.U16(GetU16(d + 8));
    w.U16(std::min<uint16_t>(GetU16(d + 10), 255));
    w.U16(0);
    Rec(BIFFRECID_DIMENSIONS, w.Data());
}

void TXLSWriter::WriteWindow2(TSheet& sheet, TRecordData& rec)
{
    uint16_t zoom = sheet.Zoom();
    if (zoom != 0 && zoom != 100) Rec(BIFFRECID_SCL, {uint8_t(zoom), uint8_t(zoom >> 8), 100, 0});
    Rec(rec.RecId, rec.Data);
    if (!sheet.FPane.Active()) WriteSelection(sheet);
}

void TXLSWriter::WriteSelection(const TSheet& sheet)
{
    const TSheetSelection& s = sheet.FSelection;
    TByteWriter w;
    w.U8(3);
    w.U16(s.ActiveRow);
    w.U16(s.ActiveCol);
    w.U16(s.ActiveArea);
    std::vector<TCellArea> areas = s.Areas;
    if (areas.empty()) areas.push_back({s.ActiveRow, s.ActiveRow, uint8_t(s.ActiveCol), uint8_t(s.ActiveCol)});
    w.U16(uint16_t(areas.size()));
    for (const TCellArea& a : areas) {
        w.U16(a.Row1);
        w.U16(a.Row2);
        w.U8(a.Col1);
        w.U8(a.Col2);
    }
    Rec(BIFFRECID_SELECTION, w.Data());
}

}  // namespace workbook
