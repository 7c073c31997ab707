// Definitions that stand in until the reader, Office Open XML and cell-text
// modules provide theirs (see WorkbookHooks.h). Each function is removed from
// here when its module defines it.
#include "workbook/WorkbookHooks.h"

#include "workbook/Cells.h"
#include "workbook/XLSError.h"
#include "workbook/XLSWorkbook.h"

#include <cstdio>

namespace workbook {

void ReadBIFFWorkbook(TXLSWorkbook&) { throw EXLSError("Reading Excel 97-2003 and older workbooks is not supported yet"); }

void ReadOOXMLWorkbook(TXLSWorkbook&) { throw EXLSError("Reading Office Open XML workbooks is not supported yet"); }

void WriteOOXMLWorkbook(TXLSWorkbook&) { throw EXLSError("Writing Office Open XML workbooks is not supported yet"); }

namespace {

std::u16string Ascii(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

std::u16string ErrorText(TCellError e)
{
    static const char* const texts[] = {"", "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
    return Ascii(texts[e]);
}

std::u16string NumberText(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    return Ascii(buf);
}

}  // namespace

// Provisional rules: Booleans and errors as the library names them, numbers
// with 15 significant digits, formulas by their cached result.
std::u16string CellValueText(const TCell& cell, const TXLSWorkbook&)
{
    const TWorkbookGlobals& g = WorkbookGlobals();
    switch (cell.CellType()) {
    case ctInteger: return NumberText(static_cast<const TIntegerCell&>(cell).FValue);
    case ctFloat: return NumberText(static_cast<const TFloatCell&>(cell).FValue);
    case ctBoolean: return static_cast<const TBooleanCell&>(cell).FValue ? g.StrTRUE : g.StrFALSE;
    case ctError: return ErrorText(static_cast<const TErrorCell&>(cell).FValue);
    case ctNumberFormula: return NumberText(static_cast<const TNumberFormulaCell&>(cell).FValue);
    case ctNumberArrayFormula: return NumberText(static_cast<const TNumberArrayFormulaCell&>(cell).FValue);
    case ctStringFormula: return static_cast<const TStringFormulaCell&>(cell).FValue;
    case ctStringArrayFormula: return static_cast<const TStringArrayFormulaCell&>(cell).FValue;
    case ctBooleanFormula: return static_cast<const TBooleanFormulaCell&>(cell).FValue ? g.StrTRUE : g.StrFALSE;
    case ctErrorFormula: return ErrorText(static_cast<const TErrorFormulaCell&>(cell).FValue);
    default: return u"";
    }
}

}  // namespace workbook
