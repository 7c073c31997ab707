// The cell kinds of the model. Every cell holds one usage of its XF; a text
// cell holds one reference to its shared string (released by the store).
#pragma once

#include "workbook/formats/CellFormats.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace workbook {

struct TXLSString;

enum TCellType {
    ctNone = 0,
    ctBlank = 1,
    ctNotUsed = 2,
    ctInteger = 3,
    ctFloat = 4,
    ctString = 5,
    ctBoolean = 6,
    ctError = 7,
    ctNumberFormula = 8,
    ctStringFormula = 9,
    ctBooleanFormula = 10,
    ctErrorFormula = 11,
    ctNumberArrayFormula = 12,
    ctStringArrayFormula = 13
};

enum TCellError { errError = 0, errNull, errDiv0, errValue, errRef, errName, errNum, errNA };

// BIFF error code of a cell error (errNull 0x00 ... errNA 0x2A).
uint8_t CellErrorCode(TCellError e);

// Something with an XF; holds one usage of it.
class TFormattedObject {
public:
    explicit TFormattedObject(TCellFormat* format) : FFormat(format)
    {
        if (FFormat) FFormat->AddUsage();
    }
    virtual ~TFormattedObject()
    {
        if (FFormat) FFormat->ReleaseUsage();
    }
    TFormattedObject(const TFormattedObject&) = delete;
    TFormattedObject& operator=(const TFormattedObject&) = delete;
    TCellFormat* Format() const { return FFormat; }
    void SetFormat(TCellFormat* format);

protected:
    TCellFormat* FFormat;
};

class TCell : public TFormattedObject {
public:
    TCell(uint16_t col, uint32_t row, TCellFormat* format) : TFormattedObject(format), FCol(col), FRow(row) {}
    virtual TCellType CellType() const = 0;
    virtual std::unique_ptr<TCell> MakeCopy() const = 0;
    uint16_t Col() const { return FCol; }
    uint32_t Row() const { return FRow; }
    uint16_t FOptions = 0;

protected:
    uint16_t FCol;
    uint32_t FRow;
};

class TBlankCell : public TCell {
public:
    using TCell::TCell;
    TCellType CellType() const override { return ctBlank; }
    std::unique_ptr<TCell> MakeCopy() const override;
};

class TIntegerCell : public TCell {
public:
    TIntegerCell(uint16_t col, uint32_t row, TCellFormat* format, int32_t value)
        : TCell(col, row, format), FValue(value)
    {}
    TCellType CellType() const override { return ctInteger; }
    std::unique_ptr<TCell> MakeCopy() const override;
    int32_t FValue;
};

class TFloatCell : public TCell {
public:
    TFloatCell(uint16_t col, uint32_t row, TCellFormat* format, double value) : TCell(col, row, format), FValue(value)
    {}
    TCellType CellType() const override { return ctFloat; }
    std::unique_ptr<TCell> MakeCopy() const override;
    double FValue;
};

// A text cell; the string's reference is taken by whoever creates the cell
// (TSST2::AddString) and released by the cell store when the cell goes.
class TStringCell : public TCell {
public:
    TStringCell(uint16_t col, uint32_t row, TCellFormat* format, TXLSString* value)
        : TCell(col, row, format), FValue(value)
    {}
    TCellType CellType() const override { return ctString; }
    std::unique_ptr<TCell> MakeCopy() const override;
    TXLSString* FValue;
};

class TBooleanCell : public TCell {
public:
    TBooleanCell(uint16_t col, uint32_t row, TCellFormat* format, bool value) : TCell(col, row, format), FValue(value)
    {}
    TCellType CellType() const override { return ctBoolean; }
    std::unique_ptr<TCell> MakeCopy() const override;
    bool FValue;
};

class TErrorCell : public TCell {
public:
    // Fails with "Invalid cell error value" for errError.
    TErrorCell(uint16_t col, uint32_t row, TCellFormat* format, TCellError value);
    TCellType CellType() const override { return ctError; }
    std::unique_ptr<TCell> MakeCopy() const override;
    TCellError FValue;
};

// A formula as read from a file. FPTGS holds the formula bytes of the
// FORMULA record after its chn field (cce, rgce, then any extra data);
// FFmlaSize is cce, FDataSize the size of FPTGS. FArrayData holds the body
// of the ARRAY record after an array formula's anchor, when it has one.
class TFormulaCell : public TCell {
public:
    using TCell::TCell;
    std::vector<uint8_t> FPTGS;
    uint16_t FFmlaSize = 0;
    uint32_t FDataSize = 0;
    bool FCalculated = false;
    bool FIsEx12 = false;
    uint16_t FFormulaOptions = 0;
    uint16_t FSharedIndex = 0xFFFF;  // 0xFFFF: not part of a shared formula
    std::vector<uint8_t> FArrayData;

protected:
    void CopyFormula(const TFormulaCell& from)
    {
        FOptions = from.FOptions;
        FPTGS = from.FPTGS;
        FFmlaSize = from.FFmlaSize;
        FDataSize = from.FDataSize;
        FCalculated = from.FCalculated;
        FIsEx12 = from.FIsEx12;
        FFormulaOptions = from.FFormulaOptions;
        FSharedIndex = from.FSharedIndex;
        FArrayData = from.FArrayData;
    }
};

// A formula cell of one kind with its cached result.
template <TCellType Kind, class TValue> class TFormulaCellOf : public TFormulaCell {
public:
    using TFormulaCell::TFormulaCell;
    TCellType CellType() const override { return Kind; }
    std::unique_ptr<TCell> MakeCopy() const override
    {
        auto c = std::make_unique<TFormulaCellOf>(FCol, FRow, FFormat);
        c->CopyFormula(*this);
        c->FValue = FValue;
        return c;
    }
    TValue FValue{};
};

using TNumberFormulaCell = TFormulaCellOf<ctNumberFormula, double>;
using TStringFormulaCell = TFormulaCellOf<ctStringFormula, std::u16string>;
using TBooleanFormulaCell = TFormulaCellOf<ctBooleanFormula, bool>;
using TErrorFormulaCell = TFormulaCellOf<ctErrorFormula, TCellError>;
using TNumberArrayFormulaCell = TFormulaCellOf<ctNumberArrayFormula, double>;
using TStringArrayFormulaCell = TFormulaCellOf<ctStringArrayFormula, std::u16string>;

inline bool IsFormulaCell(TCellType t) { return t >= ctNumberFormula && t <= ctStringArrayFormula; }

}  // namespace workbook
