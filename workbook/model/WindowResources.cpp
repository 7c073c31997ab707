// The stored property values of the windows' workbook components.
#include "workbook/model/WindowResources.h"

#include "workbook/model/Model.h"

namespace workbook {

namespace {

void LoadSheet(TSheet& sheet)
{
    sheet.SetName(u"Sheet1");
    sheet.SetDefaultColWidth(8);
    sheet.SetDefaultRowHeight(255);
    TPrintSettings& ps = sheet.PrintSettings();
    ps.SetCopies(0);
    ps.SetFooterMargin(0.5);
    ps.SetHeaderMargin(0.5);
    ps.MarginBottom = 1.0;
    ps.MarginLeft = 0.75;
    ps.MarginRight = 0.75;
    ps.MarginTop = 1.0;
    ps.SetFooterMarginCm(1.27);
    ps.SetHeaderMarginCm(1.27);
    ps.SetMarginBottomCm(2.54);
    ps.SetMarginLeftCm(1.905);
    ps.SetMarginRightCm(1.905);
    ps.SetMarginTopCm(2.54);
    ps.SetOptions({psoPortrait});
    ps.SetPaperSize(psA4);
    ps.SetScalingFactor(100);
    ps.SetStartingPage(1);
    ps.HorizPageBreaks.clear();
    ps.VertPageBreaks.clear();
    ps.SetResolution(600);
    ps.SetFitWidth(1);
    ps.SetFitHeight(1);
    sheet.SetOptions({soGridlines, soRowColHeadings, soShowZeros});
    sheet.SetWorkspaceOptions({woShowAutoBreaks, woRowSumsBelow, woColSumsRight, woOutlineSymbols});
    sheet.FSheetProtections = kAllSheetProtections;
    sheet.SetZoom(0);
    sheet.SetZoomPreview(0);
    sheet.FRecalcFormulas = true;
    sheet.FHidden = hsVisible;
}

}  // namespace

void LoadFromWindowResources(TXLSWorkbook& book)
{
    book.SetVersion(xvExcel97);
    book.Sheets().Clear();
    LoadSheet(book.Sheets().Add());
    TWorkbookData& window = book.Workbook();
    window.SetLeft(100);
    window.SetTop(100);
    window.SetWidth(10000);
    window.SetHeight(7000);
    window.SetSelectedTab(0);
    window.SetOptions({woHScroll, woVScroll, woTabs});
    TOptionsDialog& o = book.OptionsDialog();
    book.SetSaveExtLinkVal(false);
    book.SetCalcCount(100);
    o.CalcMode = cmAutomatic;
    o.Delta = 0.001;
    book.SetShowObjects(soShowAll);
    o.Iteration = false;
    book.SetPrecisionAsDisplayed(true);
    o.R1C1Mode = false;
    o.RecalcBeforeSave = false;
    o.Uncalced = false;
    o.SaveRecalc = true;
    o.RightToLeft = false;
    book.SetBookProtected(false);
    book.SetBackup(false);
    book.SetRefreshAll(false);
    WorkbookGlobals().StrTRUE = u"TRUE";
    WorkbookGlobals().StrFALSE = u"FALSE";
    book.FShowFormulas = false;
    book.FIsMac = false;
    book.FPreserveMacros = true;
    book.FRecomendReadOnly = false;
    book.FTempFileMode = tfmOnDisk;
}

}  // namespace workbook
