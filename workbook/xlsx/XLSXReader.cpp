// The order of reading a package: content types, the workbook part found
// through the package relationships, its relationships, styles, shared
// strings, the workbook part and then each sheet through the relationship its
// sheet element names.
#include "workbook/xlsx/XLSXReader.h"

#include "workbook/model/SST.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/PackageNames.h"
#include "workbook/xlsx/XLSXPartHandler.h"

namespace workbook {

namespace {

std::string FolderOf(const std::string& part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

}  // namespace

TXLSXReader::TXLSXReader(TXLSWorkbook& book) : FBook(book), FPackage(std::make_shared<TXLSXPackage>()) {}

TXLSXReader::~TXLSXReader() { ReleaseReaderReferences(); }

// Every shared string was interned with one reference of the reader's own;
// the cells took theirs, so the reader's go once the sheets are read.
void TXLSXReader::ReleaseReaderReferences()
{
    for (TXLSString* s : FStrings) FBook.SST().Release(s);
    FStrings.clear();
}

void TXLSXReader::LoadFromBytes(std::string bytes)
{
    try {
        TZipContainer zip(std::move(bytes));
        Load(zip);
    } catch (const EZipError& e) {
        throw EXLSError(e.what());
    } catch (const EXmlError& e) {
        throw EXLSError(e.what());
    }
}

std::string TXLSXReader::Part(const TZipContainer& zip, const std::string& name)
{
    const int index = zip.Find(name);
    if (index < 0) return {};
    FPackage->FPartsRead.push_back(zip.Name(index));
    return zip.Extract(index);
}

void TXLSXReader::ParsePart(const std::string& name, TXmlPartHandler& handler)
{
    const int index = FZip->Find(name);
    if (index < 0) return;
    FPackage->FPartsRead.push_back(FZip->Name(index));
    TXmlTree().Parse(*FZip, index, name, &handler);
}

void TXLSXReader::Load(TZipContainer& zip)
{
    FZip = &zip;
    FBook.Formats().Reset();
    FPackage->FFirstCellFormat = FBook.Formats().Count();
    const std::string workbookPart = FindWorkbookPart(zip);
    FPackage->FWorkbookPart = workbookPart;
    ReadContentTypes(zip);
    const TXMLRelations all = ReadRelations(zip, workbookPart);
    const std::string folder = FolderOf(workbookPart);
    const std::string styles = TargetOfType(all, "styles", folder + "styles.xml");
    if (zip.Find(styles) >= 0) {
        FPackage->FStylesPart = ForwardSlashes(zip.Name(zip.Find(styles)));
        ReadXLSXStyles(*this, Part(zip, styles), styles);
    }
    const std::string strings = TargetOfType(all, "sharedStrings", folder + "sharedStrings.xml");
    if (zip.Find(strings) >= 0) ReadXLSXSharedStrings(*this, strings);
    ReadXLSXWorkbookPart(*this, Part(zip, workbookPart), workbookPart);
    ReadWorkbookRelations(zip, all);
    if (zip.Find(strings) >= 0) FPackage->FRegenerated.push_back(strings);
    ReadSheets(zip, all);
    ReleaseReaderReferences();
    FZip = nullptr;
    FPackage->FCopy = std::move(zip).TakeBytes();
    FBook.XLSXPackage() = FPackage;
}

// The target of the package's officeDocument relationship; "xl/workbook.xml"
// when the package has no relationships. A package without that part is no
// workbook, and is refused rather than read as an empty one.
std::string TXLSXReader::FindWorkbookPart(const TZipContainer& zip)
{
    std::string part = "xl/workbook.xml";
    FPackage->FRootRelations = ReadRelations(zip, "");
    for (const TXMLRelation& r : FPackage->FRootRelations.Items())
        if (RelationshipKind(r.FRelType) == "officeDocument") part = ResolvePartTarget("", r.FTarget);
    if (zip.Find(part) < 0) throw EXLSError("The file is not a spreadsheet package: it has no workbook part " + part);
    return part;
}

void TXLSXReader::ReadContentTypes(const TZipContainer& zip)
{
    const std::string name = "[Content_Types].xml";
    const std::string bytes = Part(zip, name);
    TXLSXPartHandler handler([&](TExXMLTag& tag) {
        if (tag.FId != xe_Default && tag.FId != xe_Override) return false;
        FPackage->FContentTypes.Add(tag.FId, tag.AsXml());
        if (tag.FId == xe_Override && ResolvePartTarget("", tag.Raw(xa_PartName)) == FPackage->FWorkbookPart)
            FPackage->FWorkbookContentType = tag.Raw(xa_ContentType);
        return true;
    });
    TXmlTree().Parse(bytes, name, &handler);
}

TXMLRelations TXLSXReader::ReadRelations(const TZipContainer& zip, const std::string& part)
{
    const std::string name = RelationshipsPartOf(part);
    TXMLRelations relations;
    if (zip.Find(name) < 0) return relations;
    TXLSXPartHandler handler([&](TExXMLTag& tag) {
        if (tag.FId != xe_Relationship) return false;
        relations.Add(ReadRelation(tag));
        return true;
    });
    ParsePart(name, handler);
    return relations;
}

std::string TXLSXReader::TargetOfType(const TXMLRelations& all, std::string_view kind, std::string_view fallback) const
{
    for (const TXMLRelation& r : all.Items())
        if (RelationshipKind(r.FRelType) == kind && r.FTargetMode != tmExternal)
            return ResolvePartTarget(FPackage->FWorkbookPart, r.FTarget);
    return all.Count() == 0 ? std::string(fallback) : std::string();
}

// The workbook keeps the relationships of the parts a writer copies; the
// sheets learn their part and kind from theirs.
void TXLSXReader::ReadWorkbookRelations(const TZipContainer& zip, const TXMLRelations& all)
{
    std::vector<std::string>& regenerated = FPackage->FRegenerated;
    regenerated = {"[Content_Types].xml", "_rels/.rels", FPackage->FWorkbookPart,
                   RelationshipsPartOf(FPackage->FWorkbookPart)};
    for (TXMLRelation r : all.Items()) {
        const std::string_view kind = RelationshipKind(r.FRelType);
        if (kind == "sharedStrings" || kind == "calcChain")
            regenerated.push_back(ResolvePartTarget(FPackage->FWorkbookPart, r.FTarget));
        if (IsRegeneratedWorkbookPart(kind)) continue;
        r.FWorkbookRel = WorkbookRelationType(r.FRelType);
        FPackage->FRelations.Add(std::move(r));
    }
    FPackage->FRelations.SortById();
    const std::string folder = FolderOf(FPackage->FWorkbookPart);
    for (std::size_t i = 0; i < FPackage->FSheets.size(); ++i) {
        TXLSXSheetPart& sheet = FPackage->FSheets[i];
        if (all.Count() == 0) {
            sheet.FRelType = "worksheet";
            sheet.FPart = folder + "worksheets/sheet" + std::to_string(i + 1) + ".xml";
        } else if (const TXMLRelation* r = all.Find(sheet.FRelId)) {
            sheet.FRelType = std::string(RelationshipKind(r->FRelType));
            sheet.FPart = ResolvePartTarget(FPackage->FWorkbookPart, r->FTarget);
        }
        if (!sheet.IsWorksheet()) continue;
        if (zip.Find(sheet.FPart) >= 0) sheet.FPart = ForwardSlashes(zip.Name(zip.Find(sheet.FPart)));
        regenerated.push_back(sheet.FPart);
        regenerated.push_back(RelationshipsPartOf(sheet.FPart));
    }
}

void TXLSXReader::ReadSheets(const TZipContainer& zip, const TXMLRelations&)
{
    for (std::size_t i = 0; i < FPackage->FSheets.size(); ++i) {
        TXLSXSheetPart& sheet = FPackage->FSheets[i];
        if (!sheet.IsWorksheet() || sheet.FPart.empty() || zip.Find(sheet.FPart) < 0) continue;
        sheet.FRelations = ReadRelations(zip, sheet.FPart);
        ReadXLSXSheet(*this, int(i), sheet.FPart);
    }
}

}  // namespace workbook
