// TXLSWorkbook: the in-memory model of one Excel workbook and its file
// operations. The application sets Filename, calls Read or Write, and reads
// or writes cells through Sheet(i).GetAsString / SetAsString.
//
//   workbook::TXLSWorkbook book;
//   workbook::LoadFromWindowResources(book);   // the application's settings
//   book.Sheet(0).SetAsString(0, 0, u"商品编码");
//   book.SetFilename(u"/path/out.xls");
//   book.Write();
//
// The parts behind the accessors (record lists, formats, fonts, the string
// table) are held by pointer: their definitions stay inside the library.
#pragma once

#include "workbook/model/Sheet.h"
#include "workbook/XLSTypes.h"

#include <memory>
#include <string>
#include <vector>

namespace workbook {

struct TXLSXPackage;
class TCellFormat;
class TCellFormats;
class TXFonts;
class TSST2;
class TRecordStorageGlobals;
class TRecordStorageEx2007Unknown;
class TExtraObjects;

enum TWorkbookOption { woHidden, woIconized, woHScroll, woVScroll, woTabs };
using TWorkbookOptions = TSet<TWorkbookOption>;
enum TCalcMode { cmManual, cmAutomatic, cmAutoExTables };
enum TShowObjects { soShowAll = 0, soShowPlaceholder = 1, soHideAll = 2 };
enum TTempFileMode { tfmOnDisk = 0, tfmInMemory = 1 };

// Window position and options of the workbook: a view on WINDOW1.
class TWorkbookData {
public:
    explicit TWorkbookData(TRecordStorageGlobals& records) : FRecords(&records) {}
    uint16_t Left() const { return Field(0); }
    void SetLeft(uint16_t v) { SetField(0, v); }
    uint16_t Top() const { return Field(2); }
    void SetTop(uint16_t v) { SetField(2, v); }
    uint16_t Width() const { return Field(4); }
    void SetWidth(uint16_t v) { SetField(4, v); }
    uint16_t Height() const { return Field(6); }
    void SetHeight(uint16_t v) { SetField(6, v); }
    uint16_t SelectedTab() const { return Field(10); }
    void SetSelectedTab(uint16_t v) { SetField(10, v); }
    TWorkbookOptions Options() const;
    void SetOptions(TWorkbookOptions options);

private:
    uint16_t Field(size_t offset) const;
    void SetField(size_t offset, uint16_t v);
    TRecordStorageGlobals* FRecords;
};

// Calculation settings; copied into every sheet's records when writing.
struct TOptionsDialog {
    TCalcMode CalcMode = cmAutomatic;
    int CalcCount = 100;
    double Delta = 0.001;
    bool R1C1Mode = false;
    bool Iteration = false;
    bool SaveRecalc = true;
    bool RecalcBeforeSave = false;
    bool Uncalced = false;
    bool RightToLeft = false;
};

// Process-wide settings shared by every workbook (last assignment wins).
struct TWorkbookGlobals {
    std::u16string StrTRUE = u"TRUE";
    std::u16string StrFALSE = u"FALSE";
    uint32_t MaxCol = 255;
    uint32_t MaxRow = 65535;
};
TWorkbookGlobals& WorkbookGlobals();

// A sheet name in file order; Sheet is its index in Sheets(), -1 for a
// chart sheet (read but not kept as a sheet).
struct TSheetName {
    std::u16string Name;
    int Sheet = -1;
};

// A chart sheet of a BIFF8 file read, kept as it was: its substream's
// records (BOF to EOF) come back unchanged when the workbook is written.
struct TChartSheet {
    std::u16string Name;
    int Hidden = 0;
    int Before = 0;  // index in Sheets() of the worksheet it stands before
    std::vector<uint8_t> Records;
};

class TXLSWorkbook {
public:
    TXLSWorkbook();
    ~TXLSWorkbook();
    TXLSWorkbook(const TXLSWorkbook&) = delete;
    TXLSWorkbook& operator=(const TXLSWorkbook&) = delete;

    const std::u16string& Filename() const { return FFilename; }
    void SetFilename(const std::u16string& filename) { FFilename = filename; }

    // Loads Filename: a zip archive as Office Open XML, anything else as
    // BIFF, whatever the name (see FileFormat.h).
    void Read();
    // Saves to Filename: ".xls" as Excel 97-2003, ".xlsx" as Office Open
    // XML (Version follows the name), any other name in the format of
    // Version. The old file is replaced only when the new one is complete.
    void Write();
    // Writes the .xls bytes into target instead of Filename.
    void WriteToStream(std::vector<uint8_t>& target);
    void Clear();

    // Fails with "List index out of bounds (%d)".
    TSheet& Sheet(int index) { return FSheets[index]; }
    TSheets& Sheets() { return FSheets; }

    TExcelVersion Version() const { return FVersion; }
    void SetVersion(TExcelVersion version);
    TExcelVersion OrigVersion() const { return FOrigVersion; }
    void SetOrigVersion(TExcelVersion version) { FOrigVersion = version; }
    int MaxBuffsize() const { return FMaxBuffsize; }

    TCellFormats& Formats() { return *FFormats; }
    TCellFormat* DefaultFormat() const;
    TXFonts& Fonts() { return *FFonts; }
    TSST2& SST() { return *FSST; }
    TRecordStorageGlobals& Records() { return *FRecords; }
    TRecordStorageEx2007Unknown& Ex2007Records() { return *FEx2007Records; }
    TExtraObjects& ExtraObjects() { return *FExtraObjects; }
    // STYLE record bodies read from a file (written when WriteDefaultData is false).
    std::vector<std::vector<uint8_t>>& Styles() { return FStyles; }
    TWorkbookData& Workbook() { return FWorkbookData; }
    // Every sheet of the file last read, chart sheets included; empty when
    // the workbook was not read from a file.
    std::vector<TSheetName>& SheetNames() { return FSheetNames; }
    // Chart sheets of the BIFF8 file last read, in file order; empty after Clear.
    std::vector<TChartSheet>& ChartSheets() { return FChartSheets; }
    // What an Office Open XML read kept for writing the package again; empty
    // after Clear and for workbooks read from other formats.
    std::shared_ptr<TXLSXPackage>& XLSXPackage() { return FXLSXPackage; }
    TOptionsDialog& OptionsDialog() { return FOptionsDialog; }

    bool BookProtected() const;
    void SetBookProtected(bool v);
    bool Backup() const;
    void SetBackup(bool v);
    bool RefreshAll() const;
    void SetRefreshAll(bool v);
    bool PrecisionAsDisplayed() const;
    void SetPrecisionAsDisplayed(bool v);
    bool SaveExtLinkVal() const;
    void SetSaveExtLinkVal(bool v);
    TShowObjects ShowObjects() const;
    void SetShowObjects(TShowObjects v);
    std::u16string UserName() const;
    void SetUserName(const std::u16string& name);
    uint16_t Codepage() const;
    void SetCodepage(uint16_t codepage);
    void SetCalcCount(int count);

    bool FWriteDefaultData = true;
    bool FShowFormulas = false;
    bool FIsMac = false;
    bool FPreserveMacros = true;
    bool FRecomendReadOnly = false;
    std::u16string FPassword;
    TTempFileMode FTempFileMode = tfmOnDisk;
    uint16_t FDefaultPaperSize = psA4;

private:
    void DropSheets();
    void CopyOptionsToSheets();
    void TakeOptionsFromFirstSheet();

    std::u16string FFilename;
    TExcelVersion FVersion = xvExcel97;
    TExcelVersion FOrigVersion = xvNone;
    std::unique_ptr<TRecordStorageGlobals> FRecords;
    TWorkbookData FWorkbookData;
    TOptionsDialog FOptionsDialog;
    std::unique_ptr<TXFonts> FFonts;
    std::unique_ptr<TCellFormats> FFormats;
    std::vector<std::vector<uint8_t>> FStyles;
    std::vector<TSheetName> FSheetNames;
    std::vector<TChartSheet> FChartSheets;
    std::unique_ptr<TSST2> FSST;
    TSheets FSheets;
    std::unique_ptr<TExtraObjects> FExtraObjects;
    std::unique_ptr<TRecordStorageEx2007Unknown> FEx2007Records;
    std::shared_ptr<TXLSXPackage> FXLSXPackage;
    int FMaxBuffsize;
};

// The paper size of the system's locale: Letter in the US and Canada
// (LC_PAPER 279 mm high), else A4.
uint16_t LocaleDefaultPaperSize();

}  // namespace workbook
