// The BIFF reader: fills a workbook model from a BIFF8 "Workbook" stream, a
// BIFF5 "Book" stream or a raw BIFF2-4 file. Cells, fonts, formats, XFs,
// styles and the record lists are filled so that writing the workbook again
// keeps what the file held. Every failure inside the record loop is raised
// again with "Error on reading record # ..." in front of its text.
//
// Every field read from a record is checked against the record's length, and
// no count read from a file drives an allocation beyond the bytes present.
#pragma once

#include "workbook/ByteOrder.h"
#include "workbook/biff/XLSStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace workbook {

class TXLSWorkbook;
class TSheet;
class TRecordStorage;
class TFormulaCell;
class TCellFormat;
class TCellValues;

// A record body with checked access: reading past its end fails with
// "Record too short".
// The accessors are inline: a sheet of text cells reads several fields of
// each of its hundreds of thousands of records.
class TRecordView {
public:
    TRecordView(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    size_t Size() const { return FSize; }
    const uint8_t* Data() const { return FData; }
    uint8_t U8(size_t offset) const { return *At(offset, 1); }
    uint16_t U16(size_t offset) const { return GetU16(At(offset, 2)); }
    uint32_t U32(size_t offset) const { return GetU32(At(offset, 4)); }
    double F64(size_t offset) const { return GetF64(At(offset, 8)); }
    // Fails unless offset + count bytes are inside the body.
    const uint8_t* At(size_t offset, size_t count) const
    {
        if (offset > FSize || count > FSize - offset) TooShort();
        return FData + offset;
    }

private:
    [[noreturn]] static void TooShort();

    const uint8_t* FData;
    size_t FSize;
};

// 8-bit text of a BIFF2-5 file in the code page of its CODEPAGE record
// (0 or unknown: each byte is the code point of the same value).
std::u16string DecodeCodepage(const uint8_t* bytes, size_t count, uint16_t codepage);

// Reads a compound document held in memory into book (cleared first); the
// workbook has at least one sheet afterwards, also on failure.
void ReadBIFFFromMemory(TXLSWorkbook& book, const std::vector<uint8_t>& document);

class TXLSReader {
public:
    explicit TXLSReader(TXLSWorkbook& owner);
    ~TXLSReader();
    TXLSReader(const TXLSReader&) = delete;
    TXLSReader& operator=(const TXLSReader&) = delete;

    // Reads the whole workbook: from source (a compound document in memory)
    // when given, else from the owner's Filename.
    void LoadFromStream(const std::vector<uint8_t>* source);

    // Percent of the stream read, fired once per new percent value.
    std::function<void(int)> OnProgress;

private:
    struct TBoundsheet {
        std::u16string Name;
        uint8_t Hidden = 0;
    };
    struct TSharedFormula {
        uint16_t Row1 = 0, Row2 = 0;
        uint8_t Col1 = 0, Col2 = 0;
        std::vector<uint8_t> Formula;
    };
    struct TArray {
        uint16_t Row1 = 0, Row2 = 0;
        uint8_t Col1 = 0, Col2 = 0;
        std::vector<uint8_t> Body;
    };

    // Record loop and substreams (XLSReader.cpp).
    void ReadRecords();
    bool ReadBody();
    void Progress();
    void Dispatch();
    void DispatchGlobals(TRecordView r);
    void DispatchSheet(TRecordView r);
    void ReadBOF();
    void TakeVersionFromBOF(TRecordView r);
    void StartSheet(uint16_t type);
    void SkipChartSubstream(bool embedded);
    bool ReadEOF();
    void ReadBoundsheet(TRecordView r);
    void ReadFilepass(TRecordView r);
    void ReadXCT(TRecordView r);
    void KeepDefault(uint16_t id, const uint8_t* body, size_t length);
    void KeepRaw();
    void KeepEx2007();
    bool IsEx2007(uint16_t id) const;
    void CustomViewSkip();

    // Globals that build the model (XLSReaderGlobals.cpp).
    void ReadFont(TRecordView r);
    void ReadFormat(TRecordView r);
    void ReadXF(TRecordView r);
    void ReadStyle(TRecordView r);
    void ReadPalette(TRecordView r);
    void ReadWriteAccess(TRecordView r);
    void ReadSST();
    std::u16string ShortString8(TRecordView r, size_t offset) const;
    std::u16string UnicodeString(TRecordView r, size_t offset, size_t countSize) const;
    std::u16string Text8(const uint8_t* bytes, size_t count) const;

    // Sheet records that build the model (XLSReaderSheet.cpp).
    void ReadRow(TRecordView r);
    void ReadColinfo(TRecordView r);
    void ReadHeaderFooter(TRecordView r);
    void ReadMargin(TRecordView r);
    void ReadPageBreaks(TRecordView r);
    void ReadSelection(TRecordView r);
    void ReadPane(TRecordView r);
    void ReadDimensions(TRecordView r);
    void ReadFeatHdr(TRecordView r);

    // Cells and formulas (XLSReaderCells.cpp, XLSReaderFormulas.cpp).
    bool ReadCell(TRecordView r);
    bool ReadCellRecord(TRecordView r);
    void ReadCellRun();
    bool IsPlainCell(uint16_t id) const;
    void CellData();
    TCellFormat* Format(uint16_t xf) const;
    void ReadLabel(TRecordView r);
    void ReadLabelSST(TRecordView r);
    void PrefetchStrings(const uint8_t* here, size_t available, uint64_t pos);
    TCellValues& Cells();
    void ReadBoolErr(TRecordView r, size_t offset, uint16_t xf, uint16_t col);
    void ReadMulRK(TRecordView r);
    void ReadMulBlank(TRecordView r);
    void ReadFormula(TRecordView r);
    void ReadOldFormula(TRecordView r);
    void ReadSharedFormula();
    bool FixupShared(std::vector<uint8_t>& ptgs, uint16_t col, uint16_t row);
    bool ReadArrayPart(TRecordView r, std::vector<uint8_t>& ptgs, uint16_t xf);
    std::unique_ptr<TFormulaCell> TextFormula(uint16_t col, uint16_t row, TCellFormat* f, const std::u16string& text);
    std::unique_ptr<TFormulaCell> NumberFormula(uint16_t col, uint16_t row, TCellFormat* f, double value);
    void SkipRecord();
    void MakeFormulaCell(TRecordView r, std::vector<uint8_t> ptgs, size_t resultOffset, uint16_t xf);
    bool ReadStringResult(std::u16string& text);
    void StoreFormula(std::unique_ptr<TFormulaCell> cell, std::vector<uint8_t> ptgs, uint16_t options);

    TSheet& Sheet() const;
    void ReleaseFileOrder();

    TXLSWorkbook& FOwner;
    TXLSStream FXLSStream;
    std::vector<uint8_t> PBuf;
    TBIFFHeader Header;
    int FCurrSheet = -1;
    int FBoundsheetIndex = -1;
    std::vector<TBoundsheet> FBoundsheets;
    std::vector<TSharedFormula> FSharedFormulas;
    TArray FLastARRAY;
    bool FHasLastARRAY = false;
    bool FIsArrayCell = false;
    // The formula being read refers to a shared or array formula the file
    // does not hold: its cell keeps the cached value and no formula.
    bool FCachedValueOnly = false;
    std::vector<uint8_t> FArrayBody;
    uint32_t FBIFFVer = 0;
    bool FIsXLS137 = false;
    bool FInSubstream = false;
    bool FInGlobals = false;
    bool FDone = false;
    bool FInsertRecord = false;
    bool FCellDataPlaced = false;
    bool FPaneSeen = false;
    bool FFontsRead = false;
    bool FXFsRead = false;
    uint16_t FCodepage = 1252;  // older files without a CODEPAGE record
    TRecordStorage* CurrRecs = nullptr;
    int FRecordCount = 0;
    int FLastPercent = -1;
    // PrefetchStrings: the stream offset of the next record it looks at, and
    // the SST positions whose entries it fetched, whose strings follow later.
    static constexpr uint64_t kAheadBytes = 512;
    static constexpr uint32_t kAheadLag = 12, kAheadRing = 16;
    uint64_t FAheadPos = 0;
    uint32_t FAheadEntries[kAheadRing] = {};
    uint32_t FAheadFirst = 0, FAheadLast = 0;
    TCellValues* FCells = nullptr;  // the cells of sheet FCellsSheet
    int FCellsSheet = -1;
    const std::vector<uint8_t>* FSource = nullptr;
    // The SST's total count as the file gives it; the table keeps it after
    // the load, whatever interning and releasing did to the count.
    std::optional<uint32_t> FSSTTotal;
};

}  // namespace workbook
