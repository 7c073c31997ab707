// TXLSXReader: fills a workbook from the bytes of an Office Open XML package.
// The workbook part and each sheet part are found through the package's
// relationships (fixed names when a package has none); styles, shared
// strings, sheets with their cells, rows, columns and the elements the model
// does not hold are read, and the package is kept for a later write.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workbook/xlsx/XLSXPackage.h"
#include "workbook/xlsx/XmlStyles.h"
#include "workbook/xlsx/ZipContainer.h"

namespace workbook {

class TXLSWorkbook;
struct TXLSString;

class TXLSXReader {
public:
    explicit TXLSXReader(TXLSWorkbook& book);
    ~TXLSXReader();
    // Reads the package; every failure is an EXLSError with the user's message.
    void LoadFromBytes(std::string bytes);

    // The state the part handlers share.
    TXLSWorkbook& Book() { return FBook; }
    TXLSXPackage& Package() { return *FPackage; }
    std::vector<TXLSString*>& Strings() { return FStrings; }
    std::vector<TXmlFont>& XmlFonts() { return FXmlFonts; }
    bool Date1904() const { return FDate1904; }
    void SetDate1904(bool v) { FDate1904 = v; }
    // Parses a part of the package being read, noting it among the parts read.
    void ParsePart(const std::string& name, TXmlPartHandler& handler);

private:
    void Load(TZipContainer& zip);
    std::string Part(const TZipContainer& zip, const std::string& name);
    void ReadContentTypes(const TZipContainer& zip);
    std::string FindWorkbookPart(const TZipContainer& zip);
    TXMLRelations ReadRelations(const TZipContainer& zip, const std::string& part);
    void ReadWorkbookRelations(const TZipContainer& zip, const TXMLRelations& all);
    void ReadSheets(const TZipContainer& zip, const TXMLRelations& all);
    std::string TargetOfType(const TXMLRelations& all, std::string_view kind, std::string_view fallback) const;
    void ReleaseReaderReferences();

    TXLSWorkbook& FBook;
    std::shared_ptr<TXLSXPackage> FPackage;
    std::vector<TXLSString*> FStrings;    // shared strings by position, one reference each
    std::vector<TXmlFont> FXmlFonts;      // the styles part's fonts, for rich text runs
    const TZipContainer* FZip = nullptr;  // while a package is read
    bool FDate1904 = false;
};

// Part handlers, one per part kind (XLSXReaderParts.cpp, XLSXSheetReader.cpp).
void ReadXLSXStyles(TXLSXReader& reader, std::string_view bytes, const std::string& part);
void ReadXLSXSharedStrings(TXLSXReader& reader, const std::string& part);
// Names the sheets; answers the sheets' relationship Ids and states in order.
void ReadXLSXWorkbookPart(TXLSXReader& reader, std::string_view bytes, const std::string& part);
void ReadXLSXSheet(TXLSXReader& reader, int sheetIndex, const std::string& part);

}  // namespace workbook
