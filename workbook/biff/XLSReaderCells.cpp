// Cell records: BLANK, MULBLANK, NUMBER, RK, MULRK, LABEL, RSTRING,
// LABELSST, BOOLERR and the BIFF2 cells. Every number becomes a float cell.
// Counts of multiple-cell records come from the record's length, never
// from a field of the file.
#include "workbook/biff/XLSReader.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/formats/CellText.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/biff/XLSWriter.h"

#include <algorithm>
#include <cstring>

namespace workbook {

namespace {

constexpr uint16_t kRString = 0x00D6, kLabel = 0x0204, kRK2 = 0x007E;

}  // namespace

void TRecordView::TooShort() { throw EXLSError("Record too short"); }

// The cell store of the sheet being read, looked up once per sheet.
TCellValues& TXLSReader::Cells()
{
    if (FCellsSheet != FCurrSheet || !FCells) {
        FCells = &Sheet().Cells();
        FCellsSheet = FCurrSheet;
    }
    return *FCells;
}

TCellFormat* TXLSReader::Format(uint16_t xf) const
{
    TCellFormats& formats = FOwner.Formats();
    if (FOwner.Version() >= xvExcel50 && xf < formats.Count()) return formats[xf];
    return FOwner.DefaultFormat();
}

// True when the record was a cell record (and was consumed). The cell
// records right after it are read here too, as long as they lie in memory
// and are of the plain kinds ReadCellRun takes.
bool TXLSReader::ReadCell(TRecordView r)
{
    if (!ReadCellRecord(r)) return false;
    ReadCellRun();
    return true;
}

// A sheet is mostly a long run of cell records. Each record of the run is
// read here, straight from the stream's memory, and left with the same
// state the record loop would leave: the header, the record count (which
// the loop raises once more for the last one), the position after the
// record and the progress event; a failure carries the same message. Any
// other record, or one not wholly in memory, goes back to the loop.
void TXLSReader::ReadCellRun()
{
    for (;;) {
        size_t available = 0;
        const uint8_t* h = FXLSStream.PeekRest(available);
        if (!h || available < 4) return;
        // Looked at in bursts, when less than half the distance is left.
        uint64_t pos = FXLSStream.Position();
        if (FAheadPos < pos + kAheadBytes / 2) PrefetchStrings(h, available, pos);
        uint16_t id = GetU16(h), length = GetU16(h + 2);
        if (!IsPlainCell(id) || length > PBuf.size() || length > available - 4) return;
        ++FRecordCount;
        Header.RecID = id;
        Header.Length = length;
        FXLSStream.Skip(4u + length);
        if (OnProgress) Progress();
        ReadCellRecord(TRecordView(h + 4, length));
    }
}

bool TXLSReader::IsPlainCell(uint16_t id) const
{
    switch (id) {
    case BIFFRECID_LABELSST:
    case BIFFRECID_NUMBER:
    case BIFFRECID_RK:
    case BIFFRECID_BLANK:
    case BIFFRECID_MULRK:
    case BIFFRECID_MULBLANK:
    case BIFFRECID_BOOLERR: return FOwner.Version() > xvExcel40;
    default: return false;
    }
}

bool TXLSReader::ReadCellRecord(TRecordView r)
{
    uint16_t id = Header.RecID;
    bool biff2 = FOwner.Version() <= xvExcel21;
    auto put = [&](std::unique_ptr<TCell> cell) {
        CellData();
        uint32_t col = cell->Col(), row = cell->Row();
        Cells().SetCells(col, row, std::move(cell));
    };
    switch (id) {
    case BIFFRECID_BLANK: put(Cells().NewCell<TBlankCell>(r.U16(2), r.U16(0), Format(r.U16(4)))); return true;
    case BIFFRECID_MULBLANK: ReadMulBlank(r); return true;
    case BIFFRECID_NUMBER:
        put(Cells().NewCell<TFloatCell>(r.U16(2), r.U16(0), Format(r.U16(4)), r.F64(6)));
        return true;
    case BIFFRECID_RK:
    case kRK2: put(Cells().NewCell<TFloatCell>(r.U16(2), r.U16(0), Format(r.U16(4)), DecodeRK(r.U32(6)))); return true;
    case BIFFRECID_MULRK: ReadMulRK(r); return true;
    case kLabel:
    case kRString: ReadLabel(r); return true;
    case BIFFRECID_LABELSST: ReadLabelSST(r); return true;
    case BIFFRECID_BOOLERR: ReadBoolErr(r, 6, r.U16(4), r.U16(2)); return true;
    case 0x0006:
        if (biff2)
            ReadOldFormula(r);
        else
            ReadFormula(r);
        return true;
    case 0x0206:
    case 0x0406:
        if (FBIFFVer == 6 || FOwner.Version() >= xvExcel97)
            ReadFormula(r);
        else
            ReadOldFormula(r);
        return true;
    default: break;
    }
    if (FOwner.Version() > xvExcel40) return false;
    switch (id) {
    case 0x0002: put(Cells().NewCell<TFloatCell>(r.U8(2), r.U16(0), Format(kDefaultXF), r.U16(7))); return true;
    case 0x0003: put(Cells().NewCell<TFloatCell>(r.U8(2), r.U16(0), Format(kDefaultXF), r.F64(7))); return true;
    case 0x0004: {
        size_t n = std::min<size_t>(r.U8(7), r.Size() - 8);
        TXLSString* s = FOwner.SST().AddString(Text8(r.At(8, n), n));
        put(Cells().NewCell<TStringCell>(r.U8(2), r.U16(0), Format(kDefaultXF), s));
        return true;
    }
    case 0x0005: ReadBoolErr(r, 7, kDefaultXF, r.U8(2)); return true;
    case 0x0001: put(Cells().NewCell<TBlankCell>(r.U8(2), r.U16(0), Format(kDefaultXF))); return true;
    default: return false;
    }
}

// LABEL and RSTRING: a 16-bit count, then an option byte (0: 8-bit, 1:
// UTF-16) in BIFF8 and in files some programs wrote; a byte other than 0
// and 1 is the first 8-bit character of an older file's label.
void TXLSReader::ReadLabel(TRecordView r)
{
    std::u16string text;
    uint8_t options = r.Size() > 8 ? r.U8(8) : 2;
    if (options == 0 || options == 1) {
        text = UnicodeString(r, 6, 2);
        if (options == 0 && FOwner.Version() < xvExcel97) {
            size_t n = std::min<size_t>(r.U16(6), r.Size() - 9);
            text = Text8(r.At(9, n), n);
        }
    } else {
        size_t n = std::min<size_t>(r.U16(6), r.Size() - 8);
        text = Text8(r.At(8, n), n);
    }
    CellData();
    TXLSString* s = FOwner.SST().AddString(text);
    try {
        Cells().SetCells(r.U16(2), r.U16(0), Cells().NewCell<TStringCell>(r.U16(2), r.U16(0), Format(r.U16(4)), s));
    } catch (...) {
        FOwner.SST().Release(s);
        throw;
    }
}

// LABELSST cells of a sheet refer to strings all over the table, in no
// order; the strings of the records just ahead are fetched into the cache
// while this one is stored, as the records are in memory anyway. Finding a
// string needs the table's entry first, so the entries of the records ahead
// are fetched first, and their strings some records later. Only hints: what
// this reads changes nothing. here holds the available bytes of the stream
// from offset pos on.
void TXLSReader::PrefetchStrings(const uint8_t* here, size_t available, uint64_t pos)
{
    constexpr uint64_t kLabelSSTSize = 4 + 10;
    TXLSString* const* order = FOwner.SST().FileOrder().data();
    const size_t count = FOwner.SST().FileOrder().size();
    if (FAheadPos < pos) {
        FAheadPos = pos;
        FAheadFirst = FAheadLast = 0;
    }
    while (FAheadPos - pos < kAheadBytes && FAheadPos - pos + kLabelSSTSize <= available) {
        const uint8_t* h = here + (FAheadPos - pos);
        FAheadPos += 4u + GetU16(h + 2);
        if (GetU16(h) != BIFFRECID_LABELSST || GetU16(h + 2) < 10 || GetU32(h + 10) >= count) continue;
        __builtin_prefetch(order + GetU32(h + 10));
        FAheadEntries[FAheadLast++ % kAheadRing] = GetU32(h + 10);
        if (FAheadLast - FAheadFirst > kAheadLag) __builtin_prefetch(order[FAheadEntries[FAheadFirst++ % kAheadRing]]);
    }
}

void TXLSReader::ReadLabelSST(TRecordView r)
{
    auto& order = FOwner.SST().FileOrder();
    uint32_t n = r.Size() >= 10 ? r.U32(6) : uint32_t(-1);
    if (n >= order.size()) throw EXLSError(FormatText("Read error at %.8u", unsigned(FXLSStream.Pos())));
    CellData();
    TXLSString* s = order[n];
    FOwner.SST().AddRef(s);
    try {
        Cells().SetCells(r.U16(2), r.U16(0), Cells().NewCell<TStringCell>(r.U16(2), r.U16(0), Format(r.U16(4)), s));
    } catch (...) {
        FOwner.SST().Release(s);
        throw;
    }
}

void TXLSReader::ReadBoolErr(TRecordView r, size_t offset, uint16_t xf, uint16_t col)
{
    uint8_t value = r.U8(offset);
    bool isError = r.U8(offset + 1) != 0;
    CellData();
    std::unique_ptr<TCell> cell;
    if (isError)
        cell = Cells().NewCell<TErrorCell>(col, r.U16(0), Format(xf), TCellError(ErrorIndexFromCode(value)));
    else
        cell = Cells().NewCell<TBooleanCell>(col, r.U16(0), Format(xf), value != 0);
    Cells().SetCells(col, r.U16(0), std::move(cell));
}

void TXLSReader::ReadMulRK(TRecordView r)
{
    if (r.Size() < 6) throw EXLSError("Record too short");
    size_t count = (r.Size() - 6) / 6;
    uint16_t row = r.U16(0), first = r.U16(2);
    CellData();
    for (size_t i = 0; i < count; ++i) {
        uint16_t col = uint16_t(first + i);
        Cells().SetCells(col, row,
                         Cells().NewCell<TFloatCell>(col, row, Format(r.U16(4 + 6 * i)), DecodeRK(r.U32(6 + 6 * i))));
    }
}

void TXLSReader::ReadMulBlank(TRecordView r)
{
    if (r.Size() < 6) throw EXLSError("Record too short");
    size_t count = r.Size() / 2 - 3;
    uint16_t row = r.U16(0), first = r.U16(2);
    CellData();
    for (size_t i = 0; i < count; ++i) {
        uint16_t col = uint16_t(first + i);
        Cells().SetCells(col, row, Cells().NewCell<TBlankCell>(col, row, Format(r.U16(4 + 2 * i))));
    }
}

}  // namespace workbook
