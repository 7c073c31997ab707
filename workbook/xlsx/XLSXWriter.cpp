// The package level of writing: which parts are made from the model, which
// are copied from the package the workbook was read from, and the parts that
// tie them together (content types, relationships, workbook part).
#include "workbook/xlsx/XLSXWriter.h"

#include <set>

#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/PackageNames.h"
#include "workbook/xlsx/XLSXNamespaces.h"
#include "workbook/xlsx/XLSXText.h"
#include "workbook/xlsx/ZipContainer.h"

namespace workbook {

namespace {

constexpr std::string_view kContentTypesNs = "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr std::string_view kPackageRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr std::string_view kTypePrefix = "application/vnd.openxmlformats-officedocument.spreadsheetml.";

std::string Normalised(std::string_view name) { return TZipContainer::NormalisedName(name); }

std::string FolderOf(const std::string& part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// The target of a relationship from sourcePart to part.
std::string TargetFrom(const std::string& sourcePart, const std::string& part)
{
    const std::string folder = FolderOf(sourcePart);
    return part.starts_with(folder) ? part.substr(folder.size()) : "/" + part;
}

std::string QuotedRaw(std::string_view raw)
{
    std::string out;
    for (const char c : raw) out += c == '"' ? std::string("&quot;") : std::string(1, c);
    return out;
}

// A relationship as written: the strict namespace becomes the transitional
// one, as the parts made here are transitional.
std::string RelationshipXml(const TXMLRelation& r)
{
    const TXMLRelNamespace ns = r.FNamespace == rnStrict ? rnOfficeDocument : r.FNamespace;
    std::string xml = "<Relationship Id=\"" + QuotedRaw(r.FId) + "\" Type=\"" + std::string(RelationNamespaceText(ns)) +
                      QuotedRaw(r.FRelType) + "\" Target=\"" + QuotedRaw(r.FTarget) + "\"";
    if (r.FTargetMode != tmNone)
        xml += r.FTargetMode == tmExternal ? " TargetMode=\"External\"" : " TargetMode=\"Internal\"";
    return xml + "/>";
}

TXMLRelation NewRelation(std::string id, std::string type, std::string target)
{
    return {std::move(id), std::move(type), rnOfficeDocument, std::move(target), tmNone, 0};
}

std::string AttributeOf(const std::string& xml, std::string_view name)
{
    std::string key = " ";
    key.append(name).append("=\"");
    const std::size_t at = xml.find(key);
    if (at == std::string::npos) return {};
    const std::size_t start = at + key.size();
    return xml.substr(start, xml.find('"', start) - start);
}

std::string Override(const std::string& part, std::string_view type)
{
    return "<Override PartName=\"/" + part + "\" ContentType=\"" + std::string(type) + "\"/>";
}

// The namespaces of strict packages and their transitional counterparts: the
// parts made here are transitional, and the parts copied beside them must be too.
constexpr std::pair<std::string_view, std::string_view> kStrictNamespaces[] = {
    {"http://purl.oclc.org/ooxml/spreadsheetml/main", "http://schemas.openxmlformats.org/spreadsheetml/2006/main"},
    {"http://purl.oclc.org/ooxml/officeDocument/relationships",
     "http://schemas.openxmlformats.org/officeDocument/2006/relationships"},
    {"http://purl.oclc.org/ooxml/drawingml/main", "http://schemas.openxmlformats.org/drawingml/2006/main"},
    {"http://purl.oclc.org/ooxml/drawingml/chart", "http://schemas.openxmlformats.org/drawingml/2006/chart"},
    {"http://purl.oclc.org/ooxml/drawingml/spreadsheetDrawing",
     "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing"},
    {"http://purl.oclc.org/ooxml/officeDocument/extendedProperties",
     "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"},
    {"http://purl.oclc.org/ooxml/officeDocument/docPropsVTypes",
     "http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes"}};

std::string TransitionalNamespaces(std::string bytes)
{
    if (bytes.find("http://purl.oclc.org/ooxml/") == std::string::npos) return bytes;
    for (const auto& [strict, transitional] : kStrictNamespaces)
        for (std::size_t at = bytes.find(strict); at != std::string::npos;
             at = bytes.find(strict, at + transitional.size()))
            bytes.replace(at, strict.size(), transitional);
    return bytes;
}

const char* kMinimalStyles =
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
    "patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>";

}  // namespace

TXLSXWriter::TXLSXWriter(TXLSWorkbook& book) : FBook(book)
{
    FPackage = book.XLSXPackage() ? book.XLSXPackage().get() : &FFresh;
}

void TXLSXWriter::WriteToFile(const std::u16string& filename)
{
    ReplaceFileAtomically(Utf16ToUtf8(filename), [&](const TByteSink& sink) {
        TZipWriter zip(sink);
        Write(zip);
    });
}

std::string TXLSXWriter::WriteToString()
{
    std::string bytes;
    TZipWriter zip([&](const void* data, size_t size) { bytes.append(static_cast<const char*>(data), size); });
    Write(zip);
    return bytes;
}

void TXLSXWriter::Write(TZipWriter& zip)
{
    PlanSheets();
    CopyKeptParts(zip);
    for (int i = 0; i < FBook.Sheets().Count(); ++i)
        if (FSheets[size_t(i)].Worksheet) {
            const TSheetOut& out = FSheets[size_t(i)];
            zip.Add(out.Part, Worksheet(FBook.Sheet(i), out));
            if (out.Read != nullptr && out.Read->FRelations.Count() != 0) {
                std::string rels = kXmlDeclaration + "<Relationships xmlns=\"" + std::string(kPackageRelsNs) + "\">";
                for (const TXMLRelation& r : out.Read->FRelations.Items()) rels += RelationshipXml(r);
                zip.Add(RelationshipsPartOf(out.Part), rels + "</Relationships>");
            }
        }
    zip.Add(FStringsPart, SharedStrings());
    if (FPackage->FStylesPart.empty())
        zip.Add(FStylesPart, kXmlDeclaration + "<styleSheet xmlns=\"" + std::string(kMainNs) + "\">" + kMinimalStyles +
                                 "</styleSheet>");
    zip.Add(FPackage->FWorkbookPart, WorkbookPart());
    zip.Add(RelationshipsPartOf(FPackage->FWorkbookPart), WorkbookRelationships());
    zip.Add("_rels/.rels", RootRelationships());
    zip.Add("[Content_Types].xml", ContentTypes());
    zip.Finish();
}

// The read sheet information is used only while the model has the sheets it
// was read with; a workbook whose sheets were added or removed since is
// written with new worksheets throughout.
void TXLSXWriter::PlanSheets()
{
    std::set<std::string> used;
    std::set<std::string> regenerated;
    for (const std::string& name : FPackage->FRegenerated) regenerated.insert(Normalised(name));
    if (!FPackage->FCopy.empty()) {
        const TZipContainer zip(FPackage->FCopy);
        for (int i = 0; i < zip.Count(); ++i)
            if (!regenerated.count(Normalised(zip.Name(i)))) used.insert(Normalised(zip.Name(i)));
    }
    for (const TXLSXSheetPart& sheet : FPackage->FSheets) used.insert(Normalised(sheet.FPart));
    const std::string folder = FolderOf(FPackage->FWorkbookPart);
    // The usual name first: some readers look for the shared strings and
    // styles only there.
    auto unused = [&](const std::string& stem) {
        for (int n = 0;; ++n) {
            const std::string name = folder + stem + (n ? std::to_string(n) : std::string()) + ".xml";
            if (used.insert(Normalised(name)).second) return name;
        }
    };
    const int count = FBook.Sheets().Count();
    const bool mapped = int(FPackage->FSheets.size()) == count;
    for (int i = 0; i < count; ++i) {
        TSheetOut out;
        out.Read = mapped ? &FPackage->FSheets[size_t(i)] : nullptr;
        out.Worksheet = out.Read == nullptr || out.Read->IsWorksheet();
        out.RelId = out.Worksheet ? "rIdTb" + std::to_string(i + 1) : out.Read->FRelId;
        out.Part = out.Read != nullptr && !out.Read->FPart.empty() ? out.Read->FPart
                                                                   : unused("worksheets/sheet" + std::to_string(i + 1));
        FSheets.push_back(out);
    }
    FStylesPart = FPackage->FStylesPart.empty() ? unused("styles") : FPackage->FStylesPart;
    FStringsPart = unused("sharedStrings");
}

void TXLSXWriter::CopyKeptParts(TZipWriter& zip)
{
    if (FPackage->FCopy.empty()) return;
    std::set<std::string> regenerated;
    for (const std::string& name : FPackage->FRegenerated) regenerated.insert(Normalised(name));
    const TZipContainer original(FPackage->FCopy);
    for (int i = 0; i < original.Count(); ++i) {
        const std::string& name = original.Name(i);
        if (name.ends_with('/') || regenerated.count(Normalised(name)) != 0) continue;
        try {
            zip.Add(name, TransitionalNamespaces(original.Extract(i)));
        } catch (const EZipError&) {
            // A part the original package could not give is left out: it was never read either.
        }
    }
}

std::string TXLSXWriter::ContentTypes() const
{
    std::set<std::string> skipped;
    for (const std::string& name : FPackage->FRegenerated) skipped.insert(Normalised(name));
    for (const TSheetOut& out : FSheets) skipped.insert(Normalised(out.Part));
    skipped.insert(Normalised(FStringsPart));
    skipped.insert(Normalised(FStylesPart));
    std::string xml = kXmlDeclaration + "<Types xmlns=\"" + std::string(kContentTypesNs) + "\">";
    std::set<std::string> extensions;
    for (const TXLSSavedTag& tag : FPackage->FContentTypes.Items()) {
        if (tag.FId == xe_Default && extensions.insert(AttributeOf(tag.FXml, "Extension")).second) xml += tag.FXml;
        if (tag.FId == xe_Override && skipped.count(Normalised(AttributeOf(tag.FXml, "PartName"))) == 0)
            xml += tag.FXml;
    }
    if (!extensions.count("rels"))
        xml += "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>";
    if (!extensions.count("xml")) xml += "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    const std::string workbookType = FPackage->FWorkbookContentType.empty()
                                         ? std::string(kTypePrefix) + "sheet.main+xml"
                                         : FPackage->FWorkbookContentType;
    xml += Override(FPackage->FWorkbookPart, workbookType);
    for (const TSheetOut& out : FSheets)
        if (out.Worksheet) xml += Override(out.Part, std::string(kTypePrefix) + "worksheet+xml");
    xml += Override(FStringsPart, std::string(kTypePrefix) + "sharedStrings+xml");
    xml += Override(FStylesPart, std::string(kTypePrefix) + "styles+xml");
    return xml + "</Types>";
}

std::string TXLSXWriter::RootRelationships() const
{
    std::string xml = kXmlDeclaration + "<Relationships xmlns=\"" + std::string(kPackageRelsNs) + "\">";
    bool office = false;
    for (const TXMLRelation& r : FPackage->FRootRelations.Items()) {
        office |= RelationshipKind(r.FRelType) == "officeDocument";
        xml += RelationshipXml(r);
    }
    if (!office) xml += RelationshipXml(NewRelation("rIdTb1", "officeDocument", FPackage->FWorkbookPart));
    return xml + "</Relationships>";
}

std::string TXLSXWriter::WorkbookRelationships() const
{
    std::string xml = kXmlDeclaration + "<Relationships xmlns=\"" + std::string(kPackageRelsNs) + "\">";
    const bool mapped = !FSheets.empty() && FSheets.front().Read != nullptr;
    for (const TXMLRelation& r : FPackage->FRelations.Items()) {
        const bool sheetKind =
            r.FRelType == "chartsheet" || r.FRelType == "dialogsheet" || r.FRelType.ends_with("macrosheet");
        if (!sheetKind || mapped) xml += RelationshipXml(r);
    }
    const std::string& source = FPackage->FWorkbookPart;
    for (const TSheetOut& out : FSheets)
        if (out.Worksheet) xml += RelationshipXml(NewRelation(out.RelId, "worksheet", TargetFrom(source, out.Part)));
    xml += RelationshipXml(NewRelation("rIdTbStyles", "styles", TargetFrom(source, FStylesPart)));
    xml += RelationshipXml(NewRelation("rIdTbStrings", "sharedStrings", TargetFrom(source, FStringsPart)));
    return xml + "</Relationships>";
}

std::string TXLSXWriter::WorkbookPart() const
{
    std::string sheets = "<sheets>";
    for (int i = 0; i < FBook.Sheets().Count(); ++i) {
        TSheet& sheet = FBook.Sheet(i);
        sheets += "<sheet name=\"" + XmlAttributeText(sheet.Name()) + "\" sheetId=\"" + std::to_string(i + 1) + "\"";
        if (sheet.FHidden != hsVisible)
            sheets += sheet.FHidden == hsHidden ? " state=\"hidden\"" : " state=\"veryHidden\"";
        sheets += " r:id=\"" + FSheets[size_t(i)].RelId + "\"/>";
    }
    sheets += "</sheets>";
    std::string xml = kXmlDeclaration + "<workbook " + std::string(kRootNamespaces) + ">";
    bool placed = false;
    for (const TXLSSavedTag& tag : FPackage->FWorkbook.Items()) {
        if (tag.FId == xe_sheets) {
            xml += sheets;
            placed = true;
        } else if (tag.FId == xe_workbookPr && FPackage->FDate1904) {
            xml += "<workbookPr date1904=\"1\"" + tag.FXml.substr(std::string_view("<workbookPr").size());
        } else if (FragmentNamespacesDeclared(tag.FXml)) {
            xml += tag.FXml;
        }
    }
    if (!placed) xml += "<bookViews><workbookView/></bookViews>" + sheets;
    return xml + "</workbook>";
}

}  // namespace workbook
