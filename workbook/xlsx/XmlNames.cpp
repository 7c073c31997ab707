// The name tables of the package reader and their lookups.
#include "workbook/xlsx/XmlNames.h"

#include <array>
#include <unordered_map>

namespace workbook {

namespace {

// The tables stay packed, as written.
// clang-format off
constexpr std::array<std::string_view, kElementNameCount> kElementNames = {
    "Default", "Override", "Types", "alignment", "autoFilter", "b", "bgColor", "bookViews",
    "border", "borders", "bottom", "brk", "c", "calcPr", "cell", "cellStyle", "cellStyles",
    "cellStyleXfs", "cellWatches", "cellXfs", "cfRule", "cfvo", "charset", "col", "colBreaks",
    "color", "colors", "colorScale", "cols", "condense", "conditionalFormatting", "control",
    "controls", "customProperties", "customSheetView", "customSheetViews", "customWorkbookView",
    "customWorkbookViews", "dataConsolidate", "dataRef", "dataRefs", "dataValidation",
    "dataValidations", "definedName", "definedNames", "diagonal", "dimension", "drawing", "dxf",
    "dxfs", "ext", "extend", "externalBook", "externalLink", "externalReference",
    "externalReferences", "extLst", "f", "family", "fgColor", "fileRecoveryPr", "fileSharing",
    "fileVersion", "fill", "fills", "filter", "filterColumn", "filters", "font", "fonts",
    "formula", "formula1", "formula2", "formula3", "formula4", "functionGroups", "gradientFill",
    "headerFooter", "horizontal", "hyperlink", "hyperlinks", "i", "ignoredError", "ignoredErrors",
    "indexedColors", "inputCells", "is", "left", "legacyDrawing", "legacyDrawingHF", "mergeCell",
    "mergeCells", "mruColors", "mx:ArchID", "mx:PLV", "name", "numFmt", "numFmts", "oddFooter",
    "oddHeader", "oleObject", "oleObjects", "oleSize", "outline", "outlinePr", "pageMargins",
    "pageSetup", "pageSetUpPr", "pane", "patternFill", "phoneticPr", "picture", "pivotCache",
    "pivotCaches", "printOptions", "protectedRanges", "protection", "r", "Relationship",
    "Relationships", "rFont", "rgbColor", "right", "row", "rowBreaks", "rPr", "scenario",
    "scenarios", "scheme", "selection", "shadow", "sheet", "sheetCalcPr", "sheetData",
    "sheetDataSet", "sheetFormatPr", "sheetPr", "sheetProtection", "sheets", "sheetName",
    "sheetNames", "sheetView", "sheetViews", "si", "smartTagPr", "smartTags", "smartTagTypes",
    "sortState", "sortCondition", "sst", "stop", "strike", "styleSheet", "sz", "t", "tabColor",
    "tablePart", "tableParts", "tableStyle", "tableStyleElement", "tableStyles", "top", "u", "v",
    "webPublishing", "webPublishItems", "webPublishObjects", "vertAlign", "vertical", "workbook",
    "workbookPr", "workbookProtection", "workbookView", "worksheet", "x14:slicerStyles", "xf",
};

constexpr std::array<std::string_view, kAttributeNameCount> kAttributeNames = {
    "ContentType", "Extension", "Flags", "Mode", "OnePage", "PartName", "WScale", "aca",
    "activeCell", "activePane", "activeTab", "activeSheetId", "alignWithMargins", "allowBlank",
    "applyAlignment", "applyBorder", "applyFill", "applyFont", "applyNumberFormat",
    "applyProtection", "appName", "auto", "autoCompressPictures", "autoPageBreaks", "backupFile",
    "baseColWidth", "bestFit", "blackAndWhite", "blank", "borderId", "bottom", "builtinId", "bx",
    "ca", "cacheId", "calcId", "calcOnSave", "cellComments", "cm", "codeName", "colId",
    "collapsed", "colorId", "comment", "concurrentCalc", "copies", "current", "count",
    "customBuiltin", "customFormat", "customHeight", "customMenu", "customWidth",
    "defaultColWidth", "defaultGridColor", "defaultPivotStyle", "defaultRowHeight",
    "defaultSlicerStyle", "defaultTableStyle", "defaultThemeVersion", "degree", "del1", "del2",
    "deleteRows", "description", "diagonalDown", "diagonalUp", "disablePrompts", "display",
    "dt2D", "dtr", "dxfId", "emptyCellReference", "enableFormatConditionsCalculation", "error",
    "errorStyle", "errorTitle", "evalError", "firstSheet", "fillId", "filterMode",
    "filterPrivacy", "firstPageNumber", "fitToHeight", "fitToPage", "fitToWidth", "fontId",
    "footer", "formatCells", "formatCode", "formatColumns", "formatRows", "formulaRange",
    "fullCalcOnLoad", "function", "functionGroupId", "gridLines", "gridLinesSet", "guid",
    "header", "help", "hidden", "horizontal", "horizontalCentered", "horizontalDpi", "ht", "Id",
    "id", "indent", "indexed", "insertRows", "iterateCount", "justifyLastLine", "lastEdited",
    "left", "iLevel", "localSheetId", "locked", "lowestEdited", "man", "manualBreakCount", "max",
    "maximized", "mc:Ignorable", "mergeInterval", "min", "minimized", "name", "numFmtId",
    "objects", "operator", "orientation", "outline", "outlineLevel", "outlineLevelCol",
    "outlineLevelRow", "pageOrder", "pane", "paperSize", "password", "patternType",
    "personalView", "ph", "pivot", "pivotButton", "position", "printArea", "priority", "progId",
    "prompt", "promptTitle", "publishToServer", "quotePrefix", "r", "r:id", "readingOrder", "ref",
    "refMode", "refreshError", "relativeIndent", "rgb", "right", "rightToLeft", "rupBuild", "s",
    "scale", "scenarios", "selectLockedCells", "selectUnlockedCells", "shapeId", "sheet",
    "sheetId", "shortcutKey", "show", "showAutoFilter", "showDropDown", "showErrorMessage",
    "showGridLines", "showInputMessage", "showPageBreaks", "showPivotChartFilter",
    "showRowColHeaders", "showRuler", "showZeros", "shrinkToFit", "si", "sort", "spans", "sqref",
    "state", "statusbar", "stopIfTrue", "style", "summaryBelow", "t", "tabRatio", "tabSelected",
    "Target", "TargetMode", "textRotation", "theme", "thickBot", "thickTop", "tint", "tooltip",
    "top", "topLabels", "topLeftCell", "type", "Type", "uniqueCount", "uri", "user", "val",
    "vbProcedure", "vertical", "verticalCentered", "verticalDpi", "view", "width", "windowHeight",
    "windowWidth", "vm", "workbookParameter", "workbookViewId", "wrapText", "x14ac:dyDescent",
    "x14ac:knownFonts", "xfId", "xlm", "xml:space", "xmlns", "xmlns:mc", "xmlns:mx", "xmlns:r",
    "xmlns:x14", "xmlns:x14ac", "xmlns:xm", "xSplit", "xWindow", "ySplit", "yWindow",
    "zeroHeight", "zoomScale", "zoomScaleNormal", "zoomScalePageLayoutView",
    "zoomScaleSheetLayoutView",
};
// clang-format on

// Name lookup; one-letter names (c, v, r, s, t: the bulk of a sheet) skip the hash.
class TNameIndex {
public:
    template <std::size_t N> TNameIndex(const std::array<std::string_view, N>& names, int missing) : FMissing(missing)
    {
        FOneLetter.fill(missing);
        for (std::size_t i = 0; i < N; ++i) {
            FIndex.emplace(names[i], static_cast<int>(i));
            if (names[i].size() == 1) FOneLetter[static_cast<unsigned char>(names[i][0])] = static_cast<int>(i);
        }
    }
    int Find(std::string_view name) const
    {
        if (name.size() == 1) return FOneLetter[static_cast<unsigned char>(name[0])];
        const auto found = FIndex.find(name);
        return found == FIndex.end() ? FMissing : found->second;
    }

private:
    int FMissing;
    std::array<int, 256> FOneLetter;
    std::unordered_map<std::string_view, int> FIndex;
};

}  // namespace

int ElementId(std::string_view name)
{
    static const TNameIndex index(kElementNames, kUnknownElement);
    return index.Find(name);
}

int AttributeId(std::string_view name)
{
    static const TNameIndex index(kAttributeNames, -1);
    return index.Find(name);
}

std::string_view ElementName(int id)
{
    return id >= 0 && id < kElementNameCount ? kElementNames[id] : std::string_view();
}

std::string_view AttributeName(int id)
{
    return id >= 0 && id < kAttributeNameCount ? kAttributeNames[id] : std::string_view();
}

}  // namespace workbook
