// The BIFF8 writer: turns a workbook model into a compound document with one
// "Workbook" stream (globals substream, then one substream per sheet). The
// walk follows the record lists; placeholders are replaced by records made
// from the model. Nothing reaches the file unless every record was written.
#pragma once

#include "workbook/biff/XLSStream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace workbook {

class TXLSWorkbook;
class TSheet;
class TCell;
struct TRecordData;

enum TBoundsheetType { btSheet = 0, btChart = 1, btVBModule = 2, btExcel4Macro = 3 };

struct TBoundsheetData {
    TBoundsheetType FBoundsheetType = btSheet;
    int FIndex = 0;
    uint64_t FFilePos = 0;
    std::u16string FName;
    int FHidden = 0;
};
using TBoundsheetList = std::vector<TBoundsheetData>;

// RK encoding of v (integer form tried before the float form, for v then
// v * 100); false when v is not RK-encodable or its RK value would not read
// back as v bit for bit (v * 100 past the double range, or a quotient that
// rounds differently): such a number goes out as a NUMBER record.
bool EncodeRK(double v, uint32_t& rk);
// The number an RK value stands for, as every reader decodes it.
double DecodeRK(uint32_t rk);

class TXLSWriter {
public:
    explicit TXLSWriter(TXLSWorkbook& book);
    // Writes the workbook to the component's Filename, or into target when given.
    void WriteToStream(std::vector<uint8_t>* target);

private:
    void FillBoundsheetList();
    void WriteAll();
    void WriteGlobals();
    void WriteGlobalRecord(TRecordData& rec);
    void WriteFormatRecords();
    void WriteFonts();
    void WriteFormats();
    void WriteXFs();
    void WriteStyles();
    void WritePalette();
    void WriteBoundsheets();
    void WriteTabId(const TRecordData& rec);
    void WriteSST();
    void WriteSheet(int index);
    void WriteSheetRecord(TSheet& sheet, TRecordData& rec);
    void WriteDimensions(TRecordData& rec);
    void WriteWindow2(TSheet& sheet, TRecordData& rec);
    void WriteSelection(const TSheet& sheet);
    void WritePageBreaks(TSheet& sheet);
    void WriteHeaderFooter(TSheet& sheet);
    void WriteMargins(TSheet& sheet);
    void WriteColinfo(TSheet& sheet);
    void WriteRows(TSheet& sheet);
    void WriteCells(TSheet& sheet);
    void WriteSuffix(TSheet& sheet);
    void Rec(uint16_t recId, const std::vector<uint8_t>& body);

    TXLSWorkbook& FXLS;
    std::vector<uint8_t> PBuf;
    int FCurrSheet = 0;
    TXLSStream FXLSStream;
    TBoundsheetList FBoundsheetList;
};

}  // namespace workbook
