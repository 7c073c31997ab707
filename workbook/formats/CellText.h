// The text a cell shows when a workbook is read as plain text: numbers in the
// general format with 15 significant digits, Booleans and error values. These
// functions take raw values, so the sheet's text getter only looks the cell up
// and hands over its kind and value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "workbook/model/Cells.h"

namespace workbook {

// Number of error texts: index 0 ("no error") and the seven error values 1..7.
inline constexpr int kErrorTextCount = 8;

// General number format with 15 significant digits; no thousands separator.
std::string FloatToStrGeneral(long double v, std::string_view decimalSeparator);
std::string FloatToStrGeneral(long double v, char decimalSeparator);
// The same with the decimal separator of the current C locale, read at each call.
std::string FloatToStrGeneral(long double v);

// Text of an error index 0..7; any other index reads as index 0.
const std::string& ErrorText(int index);
// Index 1..7 of a BIFF error code (0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A); 0 otherwise.
int ErrorIndexFromCode(std::uint8_t code);
// Index 1..7 of an error text as stored in a file ("#N/A" ...); 0 otherwise.
int ErrorIndexFromText(std::string_view text);
// The BIFF error code of an index 1..7; 0x00 (#NULL!) for any other index.
std::uint8_t ErrorCodeFromIndex(int index);

// Cell text per kind, in the UTF-16 form the sheets hand out.
std::u16string IntegerCellText(std::int32_t value);
// Uses the current C locale's decimal separator.
std::u16string FloatCellText(double value);
// strTrue / strFALSE: the process-wide texts of the workbook globals.
std::u16string BooleanCellText(bool value, std::u16string_view strTrue, std::u16string_view strFalse);
std::u16string ErrorCellText(int index);

// The raw value of a cell, the field its kind uses.
struct TRawCellValue {
    double Number = 0;           // ctInteger, ctFloat, ctNumberFormula, ctNumberArrayFormula
    std::uint8_t Flag = 0;       // Boolean byte (ctBoolean, ctBooleanFormula) or error
                                 // index (ctError, ctErrorFormula)
    std::u16string_view Text{};  // ctString (the entry's characters), ctStringFormula,
                                 // ctStringArrayFormula (the cached text)
};

// The text of a cell of this kind with this value: the sheet's text getter
// without the lookup (formulas by their cached result). Blank and unused
// kinds give the empty text.
std::u16string CellKindText(TCellType kind, const TRawCellValue& value, std::u16string_view strTrue,
                            std::u16string_view strFalse);

// Widens ASCII text (number and error texts) to UTF-16.
std::u16string WidenAscii(std::string_view text);

}  // namespace workbook
