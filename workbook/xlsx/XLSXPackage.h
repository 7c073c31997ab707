// What a workbook read from an Office Open XML package keeps beside its model
// so that it can be written again in the same format: the elements the model
// does not hold as XML text (with place markers where the writer regenerates
// an element), the relationship lists, the formulas as written and the bytes
// of the original package, from which every part the model does not hold is
// copied unchanged.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "workbook/xlsx/XmlRelations.h"

namespace workbook {

// One stored element: its XML text and its element number.
struct TXLSSavedTag {
    int FId = 0;
    std::string FXml;
};

class TXLSSavedTags {
public:
    void Add(int elementId, std::string xml) { FItems.push_back({elementId, std::move(xml)}); }
    const std::vector<TXLSSavedTag>& Items() const { return FItems; }
    bool Empty() const { return FItems.empty(); }
    void Clear() { FItems.clear(); }

private:
    std::vector<TXLSSavedTag> FItems;
};

// A formula as written in its cell: the whole f element, attributes included.
using TXLSXFormulas = std::map<std::pair<int, int>, std::string>;  // (row, col) -> <f ...>...</f>

// One sheet of the package as it was read.
struct TXLSXSheetPart {
    std::string FRelId;    // relationship Id in the workbook's list
    std::string FRelType;  // worksheet, chartsheet, dialogsheet, ...
    std::string FPart;     // the part name in the package ("xl/worksheets/sheet1.xml")
    std::string FState;    // visible, hidden or veryHidden as written ("" for visible)
    TXLSSavedTags FTags;   // the worksheet's children
    TXMLRelations FRelations;
    TXLSXFormulas FFormulas;
    bool IsWorksheet() const { return FRelType == "worksheet" || FRelType.empty(); }
};

struct TXLSXPackage {
    std::string FWorkbookPart = "xl/workbook.xml";
    std::string FWorkbookContentType;       // of the workbook part, macro-enabled or not
    TXLSSavedTags FContentTypes;            // Default and Override elements
    TXLSSavedTags FWorkbook;                // the workbook part's children
    TXMLRelations FRootRelations;           // the package's own (_rels/.rels)
    TXMLRelations FRelations;               // the workbook's, without the regenerated parts
    std::vector<std::string> FRegenerated;  // parts of the original a writer leaves out and makes anew
    std::vector<TXLSXSheetPart> FSheets;    // by sheet index
    std::vector<std::string> FPartsRead;    // parts the model holds and a writer makes anew
    std::string FStylesPart;                // "" when the package has none
    bool FDate1904 = false;                 // the workbook counts dates from 1904
    int FCellXfCount = 0;                   // cell formats of the styles part
    int FFirstCellFormat = 0;               // the workbook format of the styles part's first cell format
    std::string FCopy;                      // the original package
};

}  // namespace workbook
