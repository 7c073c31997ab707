// Reading of Relationship elements. Types outside the known namespaces and
// workbook relation types outside the list are kept as they are: packages
// written by newer programs carry such relationships (rich values, feature
// property bags, macro sheets) and must still load.
#include "workbook/xlsx/XmlRelations.h"

#include <algorithm>
#include <array>

namespace workbook {

namespace {

constexpr std::array<std::string_view, kWorkbookRelationTypeCount> kWorkbookRelationTypes = {
    "additionalCharacteristics",
    "bibliography",
    "calcChain",
    "sheetMetadata",
    "connections",
    "xmlMaps",
    "customXml",
    "sharedStrings",
    "revisionHeaders",
    "usernames",
    "styles",
    "theme",
    "thumbnail",
    "volatileDependencies",
    "chartsheet",
    "dialogsheet",
    "externalLink",
    "pivotCacheDefinition",
    "worksheet",
    "vbaProject",
    "attachedToolbars"};

constexpr std::array<std::string_view, 4> kNamespaces = {
    "", "http://schemas.openxmlformats.org/officeDocument/2006/relationships/",
    "http://schemas.microsoft.com/office/2006/relationships/",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/"};

TXMLTargetMode TargetModeOf(const TExXMLTag& relationship)
{
    const TExXMLValue* mode = relationship.Value(xa_TargetMode);
    if (mode == nullptr) return tmNone;
    if (mode->FText == "Internal") return tmInternal;
    if (mode->FText == "External") return tmExternal;
    throw EXmlError("Unknown Relation TargetMode");
}

}  // namespace

int WorkbookRelationType(std::string_view relType)
{
    const auto found = std::find(kWorkbookRelationTypes.begin(), kWorkbookRelationTypes.end(), relType);
    return found == kWorkbookRelationTypes.end() ? 0 : static_cast<int>(found - kWorkbookRelationTypes.begin()) + 1;
}

std::string_view RelationNamespaceText(TXMLRelNamespace ns) { return kNamespaces.at(ns); }

bool IsRegeneratedWorkbookPart(std::string_view relType)
{
    return relType == "worksheet" || relType == "sharedStrings" || relType == "styles" || relType == "calcChain";
}

TXMLRelation ReadRelation(const TExXMLTag& relationship)
{
    const std::string& type = relationship.Required(xa_Type);
    TXMLRelation relation;
    relation.FId = relationship.Required(xa_Id);
    relation.FRelType = type;
    for (std::size_t ns = 1; ns < kNamespaces.size(); ++ns) {
        if (type.starts_with(kNamespaces[ns])) {
            relation.FNamespace = static_cast<TXMLRelNamespace>(ns);
            relation.FRelType = type.substr(kNamespaces[ns].size());
        }
    }
    relation.FTarget = relationship.Required(xa_Target);
    relation.FTargetMode = TargetModeOf(relationship);
    relation.FWorkbookRel = WorkbookRelationType(relation.FRelType);
    return relation;
}

void TXMLRelations::SortById()
{
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const TXMLRelation& a, const TXMLRelation& b) { return a.FId < b.FId; });
}

const TXMLRelation* TXMLRelations::Find(std::string_view id) const
{
    const auto found = std::find_if(FItems.begin(), FItems.end(), [&](const TXMLRelation& r) { return r.FId == id; });
    return found == FItems.end() ? nullptr : &*found;
}

}  // namespace workbook
