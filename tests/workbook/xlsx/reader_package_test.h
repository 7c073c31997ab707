// Small packages built in the tests: a workbook part naming its sheets, the
// relationships, an optional shared-strings part and the sheets' cell XML.
#pragma once

#include <string>
#include <vector>

#include "TestHelpers.h"
#include "workbook/Utf16.h"
#include "workbook/xlsx/ZipWriter.h"

namespace tbtest {

struct TPackagePart {
    std::string Name;
    std::string Bytes;
};

inline std::string SheetXml(const std::string& sheetData, const std::string& after = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/"
           "spreadsheetml/2006/main\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
           "<sheetData>" +
           sheetData + "</sheetData>" + after + "</worksheet>";
}

inline std::string SharedStringsXml(const std::string& items)
{
    return "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + items + "</sst>";
}

// A package with these sheets (name, part below xl/) and extra parts; with
// relationships unless told otherwise.
inline std::vector<TPackagePart> Package(const std::vector<std::pair<std::string, std::string>>& sheets,
                                         std::vector<TPackagePart> extra, bool relationships = true)
{
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string workbook = "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" +
                           rel.substr(0, rel.size() - 1) + "\"><sheets>";
    std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string id = "rId" + std::to_string(i + 1);
        workbook +=
            "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + std::to_string(i + 1) + "\" r:id=\"" + id + "\"/>";
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + rel + "worksheet\" Target=\"" + sheets[i].second + "\"/>";
    }
    rels +=
        "<Relationship Id=\"rId99\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
    extra.push_back({"[Content_Types].xml",
                     "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"});
    extra.push_back({"xl/workbook.xml", workbook + "</sheets></workbook>"});
    if (relationships) extra.push_back({"xl/_rels/workbook.xml.rels", rels});
    return extra;
}

inline std::string ZipBytes(const std::vector<TPackagePart>& parts)
{
    std::string bytes;
    workbook::TZipWriter zip(
        [&](const void* data, size_t size) { bytes.append(static_cast<const char*>(data), size); });
    for (const TPackagePart& p : parts) zip.Add(p.Name, p.Bytes);
    zip.Finish();
    return bytes;
}

// Writes the package into dir and reads it into book.
inline void ReadPackage(const TTempDir& dir, workbook::TXLSWorkbook& book, const std::vector<TPackagePart>& parts)
{
    const auto path = dir / "book.xlsx";
    std::ofstream(path, std::ios::binary) << ZipBytes(parts);
    book.SetFilename(workbook::Utf8ToUtf16(path.string()));
    book.Read();
}

}  // namespace tbtest
