// TXLSXWriter: writes a workbook as an Office Open XML package. The workbook
// part, its relationships, the content types, the shared strings and every
// worksheet are made from the model; a workbook read from a package keeps
// every other part of it (styles, themes, drawings, macros, document
// properties) and the elements of its parts the model does not hold.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "workbook/xlsx/XLSXPackage.h"
#include "workbook/xlsx/ZipWriter.h"

namespace workbook {

class TXLSWorkbook;
class TSheet;
class TCell;
struct TXLSString;

class TXLSXWriter {
public:
    explicit TXLSXWriter(TXLSWorkbook& book);
    // Writes through a temporary file renamed over filename.
    void WriteToFile(const std::u16string& filename);
    // The package's bytes.
    std::string WriteToString();

private:
    struct TSheetOut {
        std::string Part;   // part name in the package
        std::string RelId;  // in the workbook's relationships
        bool Worksheet = true;
        const TXLSXSheetPart* Read = nullptr;  // as it was read, or nullptr
    };
    void Write(TZipWriter& zip);
    void PlanSheets();
    void CopyKeptParts(TZipWriter& zip);
    std::string ContentTypes() const;
    std::string RootRelationships() const;
    std::string WorkbookPart() const;
    std::string WorkbookRelationships() const;
    std::string SharedStrings() const;
    std::string Worksheet(TSheet& sheet, const TSheetOut& out);
    std::string SheetData(TSheet& sheet, const TSheetOut& out);
    std::string Columns(TSheet& sheet) const;
    void CellXml(std::string& xml, TCell& cell, const TSheetOut& out);
    int StringIndex(TXLSString* s);
    std::string StyleAttribute(const TCell& cell) const;

    TXLSWorkbook& FBook;
    TXLSXPackage FFresh;  // stands in when the workbook was not read from a package
    const TXLSXPackage* FPackage;
    std::vector<TSheetOut> FSheets;
    std::map<const TXLSString*, int> FStringIndex;
    std::vector<const TXLSString*> FStrings;
    std::string FStylesPart;
    std::string FStringsPart;
};

}  // namespace workbook
