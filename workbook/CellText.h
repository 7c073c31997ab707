// The text a cell shows when a workbook is read as plain text: numbers in the
// general format with 15 significant digits, Booleans and error values. These
// functions take raw values so that the sheet's text getter is a thin switch
// over its cell kinds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace workbook {

// The texts of true and false. Every workbook component sets them when it is
// created (the last assignment wins); they are read at each call.
extern std::u16string StrTRUE;
extern std::u16string StrFALSE;

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
std::u16string BooleanCellText(std::uint8_t value);
std::u16string ErrorCellText(int index);

// Widens ASCII text (number and error texts) to UTF-16.
std::u16string WidenAscii(std::string_view text);

}  // namespace workbook
