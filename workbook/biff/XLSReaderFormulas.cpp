// FORMULA records with their cached results, STRING, ARRAY and SHRFMLA.
// A shared formula's tokens are adapted to each cell: relative references
// (PtgRefN, PtgAreaN and the relative forms of the 3-D references) become
// the absolute references of that cell, so the formula written back is
// valid where it stands. Formulas of files older than BIFF8 carry tokens
// the BIFF8 writer cannot write; their cells keep only the cached value.
#include "workbook/biff/XLSReader.h"

#include "workbook/ByteOrder.h"
#include "workbook/formats/CellText.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

namespace workbook {

namespace {

constexpr uint16_t kString = 0x0207, kString2 = 0x0007, kArray = 0x0221, kShrFmla = 0x04BC, kShrFmla5 = 0x00BC;
constexpr uint16_t kContinue = 0x003C, kTable = 0x0236;

// Size of a token's operand bytes (after the token byte); -1 where the
// token list cannot be walked further.
int OperandSize(const uint8_t* p, size_t left)
{
    uint8_t t = p[0];
    if (t >= 0x03 && t <= 0x16) return 0;
    switch (t) {
    case 0x01:
    case 0x02: return 4;
    case 0x17: {
        if (left < 3) return -1;
        return 2 + (p[2] & 1 ? 2 * p[1] : p[1]);
    }
    case 0x19: {
        if (left < 4) return -1;
        if (p[1] & 0x04) return 3 + 2 * (GetU16(p + 2) + 1);
        return 3;
    }
    case 0x1C:
    case 0x1D: return 1;
    case 0x1E: return 2;
    case 0x1F: return 8;
    default: break;
    }
    if (t < 0x20) return -1;
    static const int kSizes[32] = {7,  2,  3,  4,  4,  8,  6,  6,  6,  2, 4, 8,  4, 8,  -1, -1,
                                   -1, -1, -1, -1, -1, -1, -1, -1, -1, 6, 6, 10, 6, 10, -1, -1};
    return kSizes[t & 0x1F];
}

void AdaptLoc(uint8_t* rw, uint8_t* col, uint16_t row0, uint16_t col0)
{
    uint16_t c = GetU16(col);
    if (c & 0x8000) PutU16(rw, uint16_t(row0 + int16_t(GetU16(rw))));
    if (c & 0x4000) PutU16(col, uint16_t((c & 0xC000) | uint8_t(col0 + int8_t(c & 0xFF))));
}

// Turns the relative references of shared-formula tokens into the
// references of the cell at (col0, row0).
void AdaptTokens(uint8_t* p, size_t size, uint16_t col0, uint16_t row0)
{
    size_t i = 0;
    while (i < size) {
        int n = OperandSize(p + i, size - i);
        if (n < 0 || i + 1 + size_t(n) > size) return;
        uint8_t base = p[i] & 0x1F;
        uint8_t cls = p[i] & 0x60;
        uint8_t* o = p + i + 1;
        if (p[i] >= 0x20 && base == 0x0C) {
            p[i] = uint8_t(cls | 0x04);
            AdaptLoc(o, o + 2, row0, col0);
        } else if (p[i] >= 0x20 && base == 0x0D) {
            p[i] = uint8_t(cls | 0x05);
            AdaptLoc(o, o + 4, row0, col0);
            AdaptLoc(o + 2, o + 6, row0, col0);
        } else if (p[i] >= 0x20 && base == 0x1A) {
            AdaptLoc(o + 2, o + 4, row0, col0);
        } else if (p[i] >= 0x20 && base == 0x1B) {
            AdaptLoc(o + 2, o + 6, row0, col0);
            AdaptLoc(o + 4, o + 8, row0, col0);
        }
        i += 1 + size_t(n);
    }
}

bool Contains(uint16_t r1, uint16_t r2, uint8_t c1, uint8_t c2, uint16_t col, uint16_t row)
{
    return row >= r1 && row <= r2 && col >= c1 && col <= c2;
}

}  // namespace

// A data table's TABLE record between its formula and the STRING result;
// the model keeps no data tables, so it is read past.
void TXLSReader::SkipRecord()
{
    TBIFFHeader h;
    FXLSStream.ReadHeader(h);
    std::vector<uint8_t> body(h.Length);
    if (FXLSStream.Read(body.data(), h.Length) != h.Length) throw EXLSError("Unexpected end of file");
}

void TXLSReader::ReadSharedFormula()
{
    TBIFFHeader h;
    FXLSStream.ReadHeader(h);
    std::vector<uint8_t> body(h.Length);
    if (FXLSStream.Read(body.data(), h.Length) != h.Length) throw EXLSError("Unexpected end of file");
    TRecordView r(body.data(), body.size());
    TSharedFormula f;
    f.Row1 = r.U16(0), f.Row2 = r.U16(2), f.Col1 = r.U8(4), f.Col2 = r.U8(5);
    uint16_t cce = r.U16(8);
    r.At(10, cce);
    f.Formula.assign(body.begin() + 8, body.end());
    FSharedFormulas.push_back(std::move(f));
}

// Replaces ptgs (cce, tokens, extra data) by the shared formula covering
// the cell, adapted to it; false when none covers it.
bool TXLSReader::FixupShared(std::vector<uint8_t>& ptgs, uint16_t col, uint16_t row)
{
    for (const TSharedFormula& f : FSharedFormulas) {
        if (!Contains(f.Row1, f.Row2, f.Col1, f.Col2, col, row)) continue;
        ptgs = f.Formula;
        AdaptTokens(ptgs.data() + 2, GetU16(ptgs.data()), col, row);
        return true;
    }
    return false;
}

void TXLSReader::ReadFormula(TRecordView r)
{
    uint16_t row = r.U16(0), col = r.U16(2), xf = r.U16(4), options = r.U16(14);
    uint16_t cce = r.U16(20);
    std::vector<uint8_t> ptgs(r.Data() + 20, r.Data() + r.Size());
    bool exp = cce > 0 && r.U8(22) == 0x01;
    bool shared = false;
    if (exp && (options & 0x0008)) {
        uint16_t next = FXLSStream.PeekHeader();
        if (next == kShrFmla || next == kShrFmla5) ReadSharedFormula();
        shared = FixupShared(ptgs, col, row);
    }
    if (exp && !shared && ReadArrayPart(r, ptgs, xf)) return;
    if (!exp || shared) FHasLastARRAY = false;
    // A reference to a shared formula that is not there would be written
    // back dangling: the cell keeps its cached value instead of failing
    // the whole workbook.
    FCachedValueOnly = exp && !shared;
    MakeFormulaCell(r, std::move(ptgs), 6, xf);
    FCachedValueOnly = false;
}

// An array formula: its anchor (followed by ARRAY) or a further cell of
// the last array read. False when the cell belongs to no array.
bool TXLSReader::ReadArrayPart(TRecordView r, std::vector<uint8_t>& ptgs, uint16_t xf)
{
    uint16_t row = r.U16(0), col = r.U16(2);
    std::vector<uint8_t> arrayBody;
    if (FXLSStream.PeekHeader() == kArray) {
        TBIFFHeader h;
        FXLSStream.ReadHeader(h);
        arrayBody.resize(h.Length);
        if (FXLSStream.Read(arrayBody.data(), h.Length) != h.Length) throw EXLSError("Unexpected end of file");
        TRecordView a(arrayBody.data(), arrayBody.size());
        FLastARRAY = {a.U16(0), a.U16(2), a.U8(4), a.U8(5), arrayBody};
        FHasLastARRAY = true;
    } else if (!FHasLastARRAY ||
               !Contains(FLastARRAY.Row1, FLastARRAY.Row2, FLastARRAY.Col1, FLastARRAY.Col2, col, row)) {
        FHasLastARRAY = false;
        return false;
    }
    FArrayBody = std::move(arrayBody);
    FIsArrayCell = true;
    MakeFormulaCell(r, std::move(ptgs), 6, xf);
    return true;
}

// The STRING record after a formula with a text result; false (and nothing
// read) when the next record is not one.
bool TXLSReader::ReadStringResult(std::u16string& text)
{
    if (FXLSStream.PeekHeader() == kShrFmla) ReadSharedFormula();
    if (FXLSStream.PeekHeader() == kTable) SkipRecord();
    uint16_t next = FXLSStream.PeekHeader();
    if (next != kString && next != kString2) return false;
    TBIFFHeader h;
    FXLSStream.ReadHeader(h);
    std::vector<uint8_t> body(h.Length);
    if (FXLSStream.Read(body.data(), h.Length) != h.Length) throw EXLSError("Unexpected end of file");
    TRecordView s(body.data(), body.size());
    if (h.RecID == kString2) {
        text = ShortString8(s, 0);
    } else if (FOwner.Version() < xvExcel97) {
        size_t n = std::min<size_t>(s.U16(0), s.Size() - 2);
        text = Text8(s.At(2, n), n);
    } else {
        size_t cch = s.U16(0);
        text = UnicodeString(s, 0, 2);
        while (text.size() < cch && FXLSStream.PeekHeader() == kContinue) {
            FXLSStream.ReadHeader(h);
            std::vector<uint8_t> more(h.Length);
            if (FXLSStream.Read(more.data(), h.Length) != h.Length || more.empty()) break;
            more.insert(more.begin(), 2, 0);
            PutU16(more.data(), uint16_t(cch - text.size()));
            text += UnicodeString(TRecordView(more.data(), more.size()), 0, 2);
        }
    }
    return true;
}

std::unique_ptr<TFormulaCell> TXLSReader::TextFormula(uint16_t col, uint16_t row, TCellFormat* f,
                                                      const std::u16string& text)
{
    if (FIsArrayCell) {
        auto c = std::make_unique<TStringArrayFormulaCell>(col, row, f);
        c->FValue = text;
        return c;
    }
    auto c = std::make_unique<TStringFormulaCell>(col, row, f);
    c->FValue = text;
    return c;
}

std::unique_ptr<TFormulaCell> TXLSReader::NumberFormula(uint16_t col, uint16_t row, TCellFormat* f, double value)
{
    if (FIsArrayCell) {
        auto c = std::make_unique<TNumberArrayFormulaCell>(col, row, f);
        c->FValue = value;
        return c;
    }
    auto c = std::make_unique<TNumberFormulaCell>(col, row, f);
    c->FValue = value;
    return c;
}

// The cell of a formula by its cached result; an array formula's cell
// (FIsArrayCell) is of the array kinds for numbers and texts and carries
// the ARRAY body at its anchor.
void TXLSReader::MakeFormulaCell(TRecordView r, std::vector<uint8_t> ptgs, size_t res, uint16_t xf)
{
    uint16_t row = r.U16(0), col = Header.RecID == 0x0006 && FOwner.Version() <= xvExcel21 ? r.U8(2) : r.U16(2);
    bool special = r.U8(res) < 4 && r.U16(res + 6) == 0xFFFF;
    uint8_t type = r.U8(res), value = r.U8(res + 2);
    uint16_t options = FOwner.Version() <= xvExcel21 ? 0 : r.U16(res + 8);
    struct TArrayDone {
        TXLSReader* Self;
        ~TArrayDone() { Self->FIsArrayCell = false, Self->FArrayBody.clear(); }
    } done{this};
    std::unique_ptr<TFormulaCell> cell;
    if (special && (type == 0 || type == 3)) {
        std::u16string text;
        if (type == 0 && !ReadStringResult(text)) return;
        cell = TextFormula(col, row, Format(xf), text);
    } else if (special && type == 1) {
        auto c = std::make_unique<TBooleanFormulaCell>(col, row, Format(xf));
        c->FValue = value != 0;
        cell = std::move(c);
    } else if (special) {
        auto c = std::make_unique<TErrorFormulaCell>(col, row, Format(xf));
        c->FValue = TCellError(ErrorIndexFromCode(value));
        cell = std::move(c);
    } else {
        if (ptgs.size() < 2 || GetU16(ptgs.data()) == 0) {
            if (FOwner.Version() >= xvExcel97) return;
        }
        cell = NumberFormula(col, row, Format(xf), r.F64(res));
    }
    StoreFormula(std::move(cell), std::move(ptgs), options);
}

// BIFF8 formula cells keep their tokens; older files' formulas, and those
// whose shared formula is missing, become cells of their cached value.
void TXLSReader::StoreFormula(std::unique_ptr<TFormulaCell> cell, std::vector<uint8_t> ptgs, uint16_t options)
{
    CellData();
    uint16_t col = cell->Col();
    uint32_t row = cell->Row();
    TCellFormat* format = cell->Format();
    if (FOwner.Version() < xvExcel97 || FCachedValueOnly) {
        std::unique_ptr<TCell> plain;
        switch (cell->CellType()) {
        case ctStringFormula:
        case ctStringArrayFormula: {
            auto& text = static_cast<TStringFormulaCell&>(*cell).FValue;
            plain = std::make_unique<TStringCell>(col, row, format, FOwner.SST().AddString(text));
            break;
        }
        case ctBooleanFormula:
            plain = std::make_unique<TBooleanCell>(col, row, format, static_cast<TBooleanFormulaCell&>(*cell).FValue);
            break;
        case ctErrorFormula: {
            TCellError e = static_cast<TErrorFormulaCell&>(*cell).FValue;
            if (e == errError) return;
            plain = std::make_unique<TErrorCell>(col, row, format, e);
            break;
        }
        default: plain = std::make_unique<TFloatCell>(col, row, format, static_cast<TNumberFormulaCell&>(*cell).FValue);
        }
        Sheet().Cells().SetCells(col, row, std::move(plain));
        return;
    }
    cell->FArrayData = FArrayBody;
    cell->FFmlaSize = ptgs.size() >= 2 ? GetU16(ptgs.data()) : 0;
    cell->FDataSize = uint32_t(ptgs.size());
    cell->FPTGS = std::move(ptgs);
    cell->FFormulaOptions = options & ~0x0008;
    Sheet().Cells().SetCells(col, row, std::move(cell));
}

// BIFF2-4 FORMULA: the cached result at offset 7 (BIFF2) or 6 (BIFF3/4).
void TXLSReader::ReadOldFormula(TRecordView r)
{
    bool biff2 = Header.RecID == 0x0006;
    size_t res = biff2 ? 7 : 6;
    uint16_t xf = biff2 ? kDefaultXF : r.U16(4);
    MakeFormulaCell(r, {}, res, xf);
}

}  // namespace workbook
