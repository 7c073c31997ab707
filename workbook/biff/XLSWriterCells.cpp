// Cell records in row-major order: LABELSST, BLANK/MULBLANK, RK/MULRK/NUMBER,
// BOOLERR and FORMULA (with STRING and ARRAY). Consecutive blanks and
// consecutive RK-encodable numbers of a row are gathered into one record.
#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/biff/XLSWriter.h"
#include "workbook/biff/XLSWriterBuffer.h"

#include <cmath>
#include <cstring>

namespace workbook {

namespace {

constexpr uint16_t BIFFRECID_STRING = 0x0207;
constexpr uint16_t BIFFRECID_ARRAY = 0x0221;
constexpr size_t kMaxRun = 256;

bool EncodeRKScaled(double v, bool scaled, uint32_t& rk)
{
    double w = scaled ? v * 100 : v;
    if (std::floor(w) == w && w >= -536870912.0 && w <= 536870911.0) {
        rk = uint32_t(int32_t(w) * 4 + 2 + (scaled ? 1 : 0));
        return true;
    }
    uint64_t bits;
    std::memcpy(&bits, &w, 8);
    if ((bits & 0xFFFFFFFFu) == 0 && ((bits >> 32) & 3) == 0) {
        rk = uint32_t(bits >> 32) + (scaled ? 1 : 0);
        return true;
    }
    return false;
}

// Gathers a run of cells of one row in consecutive columns.
struct TRun {
    uint32_t Row = 0;
    uint16_t FirstCol = 0;
    std::vector<std::pair<uint16_t, uint32_t>> Items;  // XF, RK value
    bool Pending() const { return !Items.empty(); }
    bool Continues(uint32_t row, uint16_t col) const
    {
        return Pending() && row == Row && col == FirstCol + Items.size();
    }
};

// Writes cells of one sheet; holds the pending blank and number runs.
class TCellWriter {
public:
    TCellWriter(TXLSStream& stream, bool recalc) : FRecords(stream), FRecalc(recalc) {}
    void Write(TCell& cell);
    // Writes what is pending and hands every record to the stream.
    void Flush();

private:
    void Record(uint16_t id, const uint8_t* body, size_t n) { FRecords.Add(id, body, n); }
    void CellHead(uint8_t* p, const TCell& c) const
    {
        PutU16(p, uint16_t(c.Row()));
        PutU16(p + 2, c.Col());
        PutU16(p + 4, uint16_t(c.Format() ? c.Format()->Index() : kDefaultXF));
    }
    void Add(TRun& run, const TCell& c, uint32_t rk);
    void FlushBlanks();
    void FlushNumbers();
    void FlushRuns();
    void WriteNumber(const TCell& c, double v);
    void WriteBoolErr(const TCell& c, uint8_t value, bool isError);
    void WriteFormula(const TFormulaCell& c);

    TRecordBuffer FRecords;
    bool FRecalc;
    TRun FBlanks, FNumbers;
};

void TCellWriter::Add(TRun& run, const TCell& c, uint32_t rk)
{
    if (!run.Pending()) {
        run.Row = c.Row();
        run.FirstCol = c.Col();
    }
    if (run.Items.size() >= kMaxRun) throw EXLSError("RK Cache overflow");
    run.Items.push_back({uint16_t(c.Format() ? c.Format()->Index() : kDefaultXF), rk});
}

void TCellWriter::FlushBlanks()
{
    if (!FBlanks.Pending()) return;
    std::vector<uint8_t> b(6 + 2 * FBlanks.Items.size());
    PutU16(b.data(), uint16_t(FBlanks.Row));
    PutU16(b.data() + 2, FBlanks.FirstCol);
    if (FBlanks.Items.size() == 1) {
        PutU16(b.data() + 4, FBlanks.Items[0].first);
        Record(BIFFRECID_BLANK, b.data(), 6);
    } else {
        for (size_t i = 0; i < FBlanks.Items.size(); ++i) PutU16(b.data() + 4 + 2 * i, FBlanks.Items[i].first);
        PutU16(b.data() + 4 + 2 * FBlanks.Items.size(), uint16_t(FBlanks.FirstCol + FBlanks.Items.size() - 1));
        Record(BIFFRECID_MULBLANK, b.data(), b.size());
    }
    FBlanks.Items.clear();
}

void TCellWriter::FlushNumbers()
{
    if (!FNumbers.Pending()) return;
    const auto& items = FNumbers.Items;
    std::vector<uint8_t> b(6 + 6 * items.size());
    PutU16(b.data(), uint16_t(FNumbers.Row));
    PutU16(b.data() + 2, FNumbers.FirstCol);
    if (items.size() == 1) {
        PutU16(b.data() + 4, items[0].first);
        PutU32(b.data() + 6, items[0].second);
        Record(BIFFRECID_RK, b.data(), 10);
    } else {
        for (size_t i = 0; i < items.size(); ++i) {
            PutU16(b.data() + 4 + 6 * i, items[i].first);
            PutU32(b.data() + 6 + 6 * i, items[i].second);
        }
        PutU16(b.data() + 4 + 6 * items.size(), uint16_t(FNumbers.FirstCol + items.size() - 1));
        Record(BIFFRECID_MULRK, b.data(), b.size());
    }
    FNumbers.Items.clear();
}

void TCellWriter::FlushRuns()
{
    FlushBlanks();
    FlushNumbers();
}

void TCellWriter::Flush()
{
    FlushRuns();
    FRecords.Flush();
}

// An encodable number joins the pending run when it directly follows it (or
// starts one when none is pending); any other number, including an encodable
// one after a gap, ends the run and is written as NUMBER.
void TCellWriter::WriteNumber(const TCell& c, double v)
{
    FlushBlanks();
    if (FNumbers.Pending() && FNumbers.Row != c.Row()) FlushNumbers();
    uint32_t rk;
    if (EncodeRK(v, rk) && (!FNumbers.Pending() || FNumbers.Continues(c.Row(), c.Col()))) {
        Add(FNumbers, c, rk);
        return;
    }
    FlushNumbers();
    uint8_t b[14];
    CellHead(b, c);
    PutF64(b + 6, v);
    Record(BIFFRECID_NUMBER, b, 14);
}

void TCellWriter::WriteBoolErr(const TCell& c, uint8_t value, bool isError)
{
    uint8_t b[8];
    CellHead(b, c);
    b[6] = value;
    b[7] = isError ? 1 : 0;
    Record(BIFFRECID_BOOLERR, b, 8);
}

void TCellWriter::Write(TCell& cell)
{
    TCellType type = cell.CellType();
    if (type == ctBlank) {
        FlushNumbers();
        if (FBlanks.Pending() && !FBlanks.Continues(cell.Row(), cell.Col())) FlushBlanks();
        Add(FBlanks, cell, 0);
        return;
    }
    if (type == ctInteger) return WriteNumber(cell, static_cast<TIntegerCell&>(cell).FValue);
    if (type == ctFloat) return WriteNumber(cell, static_cast<TFloatCell&>(cell).FValue);
    FlushRuns();
    uint8_t b[10];
    switch (type) {
    case ctString:
        CellHead(b, cell);
        PutU32(b + 6, static_cast<TStringCell&>(cell).FValue->Index);
        Record(BIFFRECID_LABELSST, b, 10);
        break;
    case ctBoolean: WriteBoolErr(cell, static_cast<TBooleanCell&>(cell).FValue ? 1 : 0, false); break;
    case ctError: {
        TCellError e = static_cast<TErrorCell&>(cell).FValue;
        if (e == errError) throw EXLSError(FormatText("Invalid error value in cell %u:%u", cell.Col(), cell.Row()));
        WriteBoolErr(cell, CellErrorCode(e), true);
        break;
    }
    default: WriteFormula(static_cast<TFormulaCell&>(cell));
    }
}

// FORMULA: cell head, 8-byte cached result, options, chn 0, then the stored
// formula bytes; STRING follows a text result, ARRAY an array anchor.
void TCellWriter::WriteFormula(const TFormulaCell& c)
{
    TByteWriter w;
    w.Data().resize(6);
    CellHead(w.Data().data(), c);
    uint8_t result[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    std::u16string text;
    switch (c.CellType()) {
    case ctNumberFormula: PutF64(result, static_cast<const TNumberFormulaCell&>(c).FValue); break;
    case ctNumberArrayFormula: PutF64(result, static_cast<const TNumberArrayFormulaCell&>(c).FValue); break;
    case ctStringFormula: text = static_cast<const TStringFormulaCell&>(c).FValue; break;
    case ctStringArrayFormula: text = static_cast<const TStringArrayFormulaCell&>(c).FValue; break;
    case ctBooleanFormula: result[0] = 1, result[2] = static_cast<const TBooleanFormulaCell&>(c).FValue; break;
    default: result[0] = 2, result[2] = CellErrorCode(static_cast<const TErrorFormulaCell&>(c).FValue);
    }
    bool isText = c.CellType() == ctStringFormula || c.CellType() == ctStringArrayFormula;
    if (isText && text.empty()) result[0] = 3;
    w.Bytes(result, 8);
    w.U16(uint16_t(FRecalc ? c.FFormulaOptions | 0x0002 : c.FFormulaOptions & ~0x0002));
    w.U32(0);
    w.Bytes(c.FPTGS.data(), c.FPTGS.size());
    Record(BIFFRECID_FORMULA, w.Data().data(), w.Data().size());
    if (!c.FArrayData.empty()) Record(BIFFRECID_ARRAY, c.FArrayData.data(), c.FArrayData.size());
    if (isText && !text.empty()) {
        TByteWriter s;
        s.U16(uint16_t(text.size()));
        s.U8(1);
        s.UTF16(text);
        Record(BIFFRECID_STRING, s.Data().data(), s.Data().size());
    }
}

}  // namespace

bool EncodeRK(double v, uint32_t& rk)
{
    if (!EncodeRKScaled(v, false, rk) && !EncodeRKScaled(v, true, rk)) return false;
    const double back = DecodeRK(rk);
    return std::memcmp(&back, &v, sizeof v) == 0;
}

double DecodeRK(uint32_t rk)
{
    double v;
    if (rk & 2) {
        v = double(int32_t(rk) >> 2);
    } else {
        uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 1) ? v / 100 : v;
}

void TXLSWriter::WriteCells(TSheet& sheet)
{
    TCellWriter writer(FXLSStream, sheet.FRecalcFormulas);
    int visited = 0;
    try {
        sheet.Cells().ForEach([&](TCell& cell) {
            ++visited;
            if (cell.Col() <= 255 && cell.Row() <= 65535) writer.Write(cell);
        });
        writer.Flush();
    } catch (const std::exception& e) {
        throw EXLSError(FormatText("Error on writing record # %d\r", visited) + e.what());
    }
}

}  // namespace workbook
