// Copies and checks of the cell kinds.
#include "workbook/model/Cells.h"

#include "workbook/XLSError.h"

namespace workbook {

uint8_t CellErrorCode(TCellError e)
{
    static const uint8_t codes[] = {0xFF, 0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A};
    return codes[e];
}

void TFormattedObject::SetFormat(TCellFormat* format)
{
    if (format) format->AddUsage();
    if (FFormat) FFormat->ReleaseUsage();
    FFormat = format;
}

std::unique_ptr<TCell> TBlankCell::MakeCopy() const { return std::make_unique<TBlankCell>(FCol, FRow, FFormat); }

std::unique_ptr<TCell> TIntegerCell::MakeCopy() const
{
    return std::make_unique<TIntegerCell>(FCol, FRow, FFormat, FValue);
}

std::unique_ptr<TCell> TFloatCell::MakeCopy() const
{
    return std::make_unique<TFloatCell>(FCol, FRow, FFormat, FValue);
}

// The copy shares the string entry; its owner must take a reference for it.
std::unique_ptr<TCell> TStringCell::MakeCopy() const
{
    return std::make_unique<TStringCell>(FCol, FRow, FFormat, FValue);
}

std::unique_ptr<TCell> TBooleanCell::MakeCopy() const
{
    return std::make_unique<TBooleanCell>(FCol, FRow, FFormat, FValue);
}

TErrorCell::TErrorCell(uint16_t col, uint32_t row, TCellFormat* format, TCellError value)
    : TCell(col, row, format), FValue(value)
{
    if (value == errError || value > errNA) throw EXLSError("Invalid cell error value");
}

std::unique_ptr<TCell> TErrorCell::MakeCopy() const
{
    return std::make_unique<TErrorCell>(FCol, FRow, FFormat, FValue);
}

}  // namespace workbook
