// Sheets of a workbook: the cell store, the sheet's record list and the
// settings that are views on its default records (WINDOW2, WSBOOL, SETUP ...).
// The cell store and the record list are held by pointer, so that this
// header (part of the public one) needs neither of their definitions.
#pragma once

#include "workbook/XLSTypes.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

class TXLSWorkbook;
class TSheet;
class TCellValues;
class TRecordStorageSheet;
struct TRecordData;
struct TXLSString;
struct TSSTText;

enum THiddenState { hsVisible = 0, hsHidden = 1, hsVeryHidden = 2 };
enum TWorksheetType { wtSheet = 0, wtVBModule = 1, wtExcel4Macro = 2 };
// clang-format off
enum TSheetOption {
    soGridlines, soRowColHeadings, soProtected, soR1C1Mode, soIteration, soShowFormulas, soFrozenPanes, soShowZeros
};
enum TWorkspaceOption {
    woShowAutoBreaks, woApplyStyles, woRowSumsBelow, woColSumsRight, woFitToPage, woOutlineSymbols
};
enum TPrintSetupOption {
    psoLeftToRight, psoPortrait, psoNoColor, psoDraftQuality, psoNotes, psoRowColHeading, psoGridlines,
    psoHorizCenter, psoVertCenter
};
// clang-format on
enum TPaperSize { psLetter = 1, psLegal = 5, psA3 = 8, psA4 = 9 };
using TSheetOptions = TSet<TSheetOption>;
using TWorkspaceOptions = TSet<TWorkspaceOption>;
using TPrintSetupOptions = TSet<TPrintSetupOption>;

constexpr uint16_t kDefaultXF = 15;
constexpr uint16_t kAllSheetProtections = 0x7FFF;
// Selecting locked and unlocked cells: what a protected sheet allows unless told otherwise.
constexpr uint16_t kDefaultSheetProtections = 0x4400;

// Print settings: mostly fields of the sheet's SETUP record; margins are kept
// here (inches) and written as margin records.
class TPrintSettings {
public:
    explicit TPrintSettings(TSheet& sheet) : FSheet(&sheet) {}
    // Starting page 1, options [psoPortrait], margins 0.75/0.75/1.0/1.0 inch, no page breaks.
    void Clear(uint16_t paperSize);

    uint16_t PaperSize() const;
    void SetPaperSize(uint16_t v);
    uint16_t ScalingFactor() const;
    void SetScalingFactor(uint16_t v);
    uint16_t StartingPage() const;
    void SetStartingPage(uint16_t v);
    void SetFitWidth(int v);
    void SetFitHeight(int v);
    void SetResolution(uint16_t v);
    void SetCopies(uint16_t v);
    double HeaderMargin() const;
    void SetHeaderMargin(double inches);
    double FooterMargin() const;
    void SetFooterMargin(double inches);
    void SetHeaderMarginCm(double cm) { SetHeaderMargin(cm / 2.54); }
    void SetFooterMarginCm(double cm) { SetFooterMargin(cm / 2.54); }
    TPrintSetupOptions Options() const;
    void SetOptions(TPrintSetupOptions options);

    double MarginLeft = 0.75, MarginRight = 0.75, MarginTop = 1.0, MarginBottom = 1.0;
    void SetMarginLeftCm(double cm) { MarginLeft = cm / 2.54; }
    void SetMarginRightCm(double cm) { MarginRight = cm / 2.54; }
    void SetMarginTopCm(double cm) { MarginTop = cm / 2.54; }
    void SetMarginBottomCm(double cm) { MarginBottom = cm / 2.54; }
    std::u16string Header, Footer;
    std::vector<uint16_t> HorizPageBreaks, VertPageBreaks;

private:
    uint8_t* Setup() const;
    TSheet* FSheet;
};

struct TXLSColumn {
    uint16_t Width = 2340;  // 1/256 of a character width
    uint16_t XF = kDefaultXF;
    bool Hidden = false;
    uint8_t OutlineLevel = 0;
    bool Collapsed = false;
    bool operator==(const TXLSColumn&) const = default;
};

struct TXLSRow {
    uint16_t Height = 255;  // twips
    uint16_t XF = kDefaultXF;
    uint16_t Options = 0;
    uint16_t FirstCol = 0, LastCol = 0;
};

struct TCellArea {
    uint16_t Row1, Row2;
    uint8_t Col1, Col2;
};

struct TSheetSelection {
    uint16_t ActiveRow = 0, ActiveCol = 0, ActiveArea = 0;
    std::vector<TCellArea> Areas;
};

struct TSheetPane {
    bool Frozen = false;
    bool Split = false;
    bool Active() const { return Frozen || Split; }
};

class TBasicSheet {
public:
    const std::u16string& Name() const { return FName; }
    int SheetIndex() const { return FSheetIndex; }
    void SetSheetIndex(int index) { FSheetIndex = index; }

protected:
    std::u16string FName;
    int FSheetIndex = 0;
};

class TSheet : public TBasicSheet {
public:
    TSheet(TXLSWorkbook& owner, std::u16string name, int index);
    ~TSheet();
    TSheet(const TSheet&) = delete;
    TSheet& operator=(const TSheet&) = delete;

    TXLSWorkbook& Workbook() const { return *FOwner; }
    TCellValues& Cells() { return *FCells; }
    TRecordStorageSheet& Records() { return *FRecords; }
    TPrintSettings& PrintSettings() { return FPrintSettings; }
    std::map<uint16_t, TXLSColumn>& Columns() { return FColumns; }
    std::map<uint32_t, TXLSRow>& Rows() { return FRows; }

    // Stores text as a text cell (any text, the empty one included).
    void SetAsString(uint32_t col, uint32_t row, std::u16string_view text);
    // The same for a text prepared ahead (see PrepareSSTText).
    void SetAsString(uint32_t col, uint32_t row, const TSSTText& text);
    // Text of the cell; "" where no cell or a blank cell stands.
    std::u16string GetAsString(uint32_t col, uint32_t row);
    // True when a cell of any kind stands there.
    bool HasCell(uint32_t col, uint32_t row);
    // The rows and columns that hold cells (Empty when none does).
    TCellDimensions UsedArea();
    // Removes every cell.
    void ClearCells();

    // Renaming to another sheet's name (ignoring case) fails.
    void SetName(const std::u16string& name);
    uint16_t DefaultColWidth() const;
    void SetDefaultColWidth(uint16_t width);
    uint16_t DefaultRowHeight() const;
    void SetDefaultRowHeight(uint16_t height);
    TSheetOptions Options() const;
    void SetOptions(TSheetOptions options);
    TWorkspaceOptions WorkspaceOptions() const;
    void SetWorkspaceOptions(TWorkspaceOptions options);
    uint16_t Zoom() const;
    void SetZoom(uint16_t zoom);
    uint16_t ZoomPreview() const;
    void SetZoomPreview(uint16_t zoom);
    uint16_t Window2Flags() const;
    void SetWindow2Flags(uint16_t flags);

    // Computes the used area and stores it in the DIMENSIONS record.
    void CalcDimensions();

    bool FHasDefaultRecords = false;
    bool FRecalcFormulas = true;
    THiddenState FHidden = hsVisible;
    uint16_t FSheetProtections = kAllSheetProtections;
    TWorksheetType FWorksheetType = wtSheet;
    uint16_t FTabColor = 64;
    TSheetSelection FSelection;
    TSheetPane FPane;
    TCellDimensions FDimension;

private:
    uint16_t Word(TRecordData* rec, size_t offset = 0) const;
    void SetWord(TRecordData* rec, uint16_t value, size_t offset = 0);
    uint16_t ChooseXF(uint32_t col, uint32_t row) const;
    static void CheckPosition(uint32_t col, uint32_t row);
    void PutString(uint32_t col, uint32_t row, TXLSString* entry);

    TXLSWorkbook* FOwner;
    std::unique_ptr<TCellValues> FCells;
    std::unique_ptr<TRecordStorageSheet> FRecords;
    TPrintSettings FPrintSettings;
    std::map<uint16_t, TXLSColumn> FColumns;
    std::map<uint32_t, TXLSRow> FRows;
    friend class TPrintSettings;
};

class TSheets {
public:
    explicit TSheets(TXLSWorkbook& owner);
    ~TSheets();
    // Appends a new sheet named "Sheet" + (its collection identifier + 1).
    TSheet& Add();
    void Delete(int index);
    void Clear();
    int Count() const { return int(FItems.size()); }
    // Fails with "List index out of bounds (%d)".
    TSheet& operator[](int index) const;
    // True when another sheet than except has this name, ignoring case.
    bool NameExists(const std::u16string& name, const TSheet* except) const;

private:
    TXLSWorkbook* FOwner;
    std::vector<std::unique_ptr<TSheet>> FItems;
    int FNextId = 0;
};

}  // namespace workbook
