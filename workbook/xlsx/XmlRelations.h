// Package relationships as the workbook and its sheets keep them: the
// relationship type split from its namespace, the target as written, and for
// the workbook the position of the type among the workbook relation types.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workbook/xlsx/XmlTree.h"

namespace workbook {

// The namespace a relationship type carried; a writer puts it back in front.
enum TXMLRelNamespace {
    rnNone = 0,            // the type was taken whole
    rnOfficeDocument = 1,  // http://schemas.openxmlformats.org/officeDocument/2006/relationships/
    rnOffice2006 = 2,      // http://schemas.microsoft.com/office/2006/relationships/
    rnStrict = 3           // http://purl.oclc.org/ooxml/officeDocument/relationships/
};

enum TXMLTargetMode { tmNone = 0, tmInternal = 1, tmExternal = 2 };

inline constexpr int kWorkbookRelationTypeCount = 21;

struct TXMLRelation {
    std::string FId{};
    std::string FRelType{};  // without its namespace
    TXMLRelNamespace FNamespace = rnNone;
    std::string FTarget{};  // as written
    TXMLTargetMode FTargetMode = tmNone;
    int FWorkbookRel = 0;  // 1..21 among the workbook relation types, 0 for others
};

// Position 1..21 of a type among the workbook relation types
// (additionalCharacteristics .. attachedToolbars), 0 when it is none of them.
int WorkbookRelationType(std::string_view relType);
// The namespace text of a relationship type, with its closing "/"; empty for rnNone.
std::string_view RelationNamespaceText(TXMLRelNamespace ns);
// Types the workbook's list leaves out because a writer makes those parts anew:
// worksheet, sharedStrings, styles and calcChain.
bool IsRegeneratedWorkbookPart(std::string_view relType);

// The relationship of a Relationship element. Throws EXmlError for a missing
// Type, Id or Target ("Required value missing: ...") and for a TargetMode
// other than Internal or External ("Unknown Relation TargetMode").
TXMLRelation ReadRelation(const TExXMLTag& relationship);

class TXMLRelations {
public:
    void Add(TXMLRelation relation) { FItems.push_back(std::move(relation)); }
    // Orders the relationships by Id, as the workbook's list is kept.
    void SortById();
    // The relationship with this Id, or nullptr.
    const TXMLRelation* Find(std::string_view id) const;
    const std::vector<TXMLRelation>& Items() const { return FItems; }
    std::size_t Count() const { return FItems.size(); }
    void Clear() { FItems.clear(); }

private:
    std::vector<TXMLRelation> FItems;
};

}  // namespace workbook
