// Worksheet records that build the model: rows, columns, print settings,
// selection and panes, the used area and the protection header; everything
// else of a sheet is kept as bytes in file order.
#include "workbook/biff/XLSReader.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

namespace workbook {

namespace {

constexpr uint16_t kPane = 0x0041, kMergedCells = 0x00E5, kSheetExt = 0x0862, kFeatHdr = 0x0867;
constexpr uint16_t kString = 0x0207, kArray = 0x0221, kShrFmla = 0x04BC, kIndex = 0x020B, kDBCell = 0x00D7;

bool IsSheetDefault(uint16_t id)
{
    static const uint16_t kIds[] = {BIFFRECID_CALCCOUNT,        BIFFRECID_CALCMODE,       BIFFRECID_PRECISION,
                                    BIFFRECID_REFMODE,          BIFFRECID_DELTA,          BIFFRECID_ITERATION,
                                    BIFFRECID_PRINTHEADERS,     BIFFRECID_PRINTGRIDLINES, BIFFRECID_DEFCOLWIDTH,
                                    BIFFRECID_SAVERECALC,       BIFFRECID_GUTS,           BIFFRECID_GRIDSET,
                                    BIFFRECID_HCENTER,          BIFFRECID_VCENTER,        BIFFRECID_SETUP,
                                    BIFFRECID_DEFAULTROWHEIGHT, BIFFRECID_WINDOW2,        BIFFRECID_WSBOOL,
                                    BIFFRECID_PROTECT};
    for (uint16_t k : kIds)
        if (k == id) return true;
    return false;
}

}  // namespace

void TXLSReader::DispatchSheet(TRecordView r)
{
    uint16_t id = Header.RecID;
    if (ReadCell(r)) {
        FInsertRecord = false;
        return;
    }
    if (id == BIFFRECID_PROTECT && r.Size() >= 2 && r.U16(0) == 1 && Sheet().FSheetProtections == kAllSheetProtections)
        // A sheet protected without a protection feature header: the writer
        // derives PROTECT from the protection set, so give the sheet the set
        // a protected sheet has by default (selecting cells only).
        Sheet().FSheetProtections = kDefaultSheetProtections;
    switch (id) {
    case 0x0000:
        if (FOwner.Version() == xvExcel50 || FIsXLS137)
            FInsertRecord = false;
        else
            ReadDimensions(r);
        break;
    case BIFFRECID_DIMENSIONS: ReadDimensions(r); break;
    case BIFFRECID_ROW: ReadRow(r); break;
    case BIFFRECID_COLINFO: ReadColinfo(r); break;
    case kIndex:
    case kDBCell:
    case 0x00ED:
    case 0x01A9: FInsertRecord = false; break;
    case BIFFRECID_HEADER:
    case BIFFRECID_FOOTER: ReadHeaderFooter(r); break;
    case BIFFRECID_LEFTMARGIN:
    case BIFFRECID_RIGHTMARGIN:
    case BIFFRECID_TOPMARGIN:
    case BIFFRECID_BOTTOMMARGIN: ReadMargin(r); break;
    case BIFFRECID_HORIZONTALPAGEBREAKS:
    case BIFFRECID_VERTICALPAGEBREAKS: ReadPageBreaks(r); break;
    case BIFFRECID_SELECTION: ReadSelection(r); break;
    case kPane: ReadPane(r); break;
    case kSheetExt:
        if (r.Size() > 16) Sheet().FTabColor = r.U8(16) & 0x7F;
        break;
    case kFeatHdr: ReadFeatHdr(r); break;
    case BIFFRECID_CODEPAGE:
        // A raw BIFF2-4 file has no globals: its worksheet stream names the
        // code page of its 8-bit text. The record is kept as it was.
        if (r.Size() >= 2) FCodepage = r.U16(0);
        break;
    case kString:
    case kArray:
    case kShrFmla:
    case 0x00BC: break;
    default:
        if (IsSheetDefault(id)) {
            std::vector<uint8_t> body(r.Data(), r.Data() + r.Size());
            if (id == BIFFRECID_DEFCOLWIDTH && body.size() == 4) body.resize(2);
            KeepDefault(id, body.data(), body.size());
        }
    }
}

// The used area is computed again when the sheet is written; a BIFF8 body
// is kept so that the record stays in its place.
void TXLSReader::ReadDimensions(TRecordView r)
{
    FInsertRecord = false;
    if (r.Size() >= 14) KeepDefault(BIFFRECID_DIMENSIONS, r.Data(), 14);
}

void TXLSReader::CellData()
{
    if (FCellDataPlaced || FOwner.Version() < xvExcel97) return;
    FCellDataPlaced = true;
    CurrRecs->UpdateInternal(INTERNAL_CELLDATA);
}

void TXLSReader::ReadRow(TRecordView r)
{
    FInsertRecord = false;
    if (r.Size() < 16) return;
    CellData();
    TXLSRow row;
    row.FirstCol = r.U16(2);
    row.LastCol = r.U16(4);
    row.Height = r.U16(6);
    row.Options = r.U16(12) & ~0x0080;
    row.XF = (r.U16(12) & 0x0080) ? (r.U16(14) & 0x0FFF) : kDefaultXF;
    if (row.XF >= FOwner.Formats().Count()) row.XF = kDefaultXF;
    Sheet().Rows()[r.U16(0)] = row;
}

void TXLSReader::ReadColinfo(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel50) return;
    if (FOwner.Version() >= xvExcel97) CurrRecs->UpdateInternal(INTERNAL_COLINFO);
    TXLSColumn c;
    c.Width = r.U16(4);
    c.XF = r.U16(6);
    if (c.XF >= FOwner.Formats().Count()) c.XF = kDefaultXF;
    uint16_t options = r.U16(8);
    c.Hidden = options & 0x0001;
    c.OutlineLevel = (options >> 8) & 7;
    c.Collapsed = options & 0x1000;
    uint16_t last = std::min<uint16_t>(r.U16(2), 255);
    for (uint32_t col = r.U16(0); col <= last; ++col) Sheet().Columns()[uint16_t(col)] = c;
}

void TXLSReader::ReadHeaderFooter(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel97) return;
    CurrRecs->UpdateInternal(INTERNAL_HEADER);
    std::u16string text = r.Size() >= 3 ? UnicodeString(r, 0, 2) : std::u16string();
    (Header.RecID == BIFFRECID_HEADER ? Sheet().PrintSettings().Header : Sheet().PrintSettings().Footer) = text;
}

void TXLSReader::ReadMargin(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel97) return;
    CurrRecs->UpdateInternal(INTERNAL_MARGINS);
    TPrintSettings& ps = Sheet().PrintSettings();
    double v = r.F64(0);
    switch (Header.RecID) {
    case BIFFRECID_LEFTMARGIN: ps.MarginLeft = v; break;
    case BIFFRECID_RIGHTMARGIN: ps.MarginRight = v; break;
    case BIFFRECID_TOPMARGIN: ps.MarginTop = v; break;
    default: ps.MarginBottom = v;
    }
}

// Breaks are kept as the row or column they are written with.
void TXLSReader::ReadPageBreaks(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel97) return;
    CurrRecs->UpdateInternal(INTERNAL_PAGEBREAKES);
    TPrintSettings& ps = Sheet().PrintSettings();
    auto& breaks = Header.RecID == BIFFRECID_HORIZONTALPAGEBREAKS ? ps.HorizPageBreaks : ps.VertPageBreaks;
    size_t count = std::min<size_t>(r.U16(0), (r.Size() - 2) / 6);
    for (size_t i = 0; i < count; ++i) breaks.push_back(r.U16(2 + 6 * i));
}

// Without a pane the writer makes the selection from the model; with one,
// the file's selections are kept as bytes after the pane.
void TXLSReader::ReadSelection(TRecordView r)
{
    if (FPaneSeen || FOwner.Version() < xvExcel97) return;
    FInsertRecord = false;
    TSheetSelection& s = Sheet().FSelection;
    s.ActiveRow = r.U16(1);
    s.ActiveCol = r.U16(3);
    s.ActiveArea = r.U16(5);
    s.Areas.clear();
    size_t count = std::min<size_t>(r.U16(7), (r.Size() - 9) / 6);
    for (size_t i = 0; i < count; ++i)
        s.Areas.push_back({r.U16(9 + 6 * i), r.U16(11 + 6 * i), r.U8(13 + 6 * i), r.U8(14 + 6 * i)});
}

void TXLSReader::ReadPane(TRecordView r)
{
    FPaneSeen = true;
    bool frozen = (Sheet().Window2Flags() & 0x0008) != 0;
    Sheet().FPane.Frozen = frozen;
    Sheet().FPane.Split = !frozen;
}

void TXLSReader::ReadFeatHdr(TRecordView r)
{
    FInsertRecord = false;
    if (r.Size() >= 21 && r.U16(12) == 2) Sheet().FSheetProtections = r.U16(19) & 0x7FFF;
}

}  // namespace workbook
