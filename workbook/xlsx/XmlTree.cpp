// Tree building over the scanner, with the lookups of the name tables.
#include "workbook/xlsx/XmlTree.h"

#include <algorithm>
#include <array>

#include "workbook/xlsx/XmlText.h"

namespace workbook {

namespace {

// Elements of these namespaces are looked up by their local name, so that a
// part written with a prefix (<x:c>) reads like one written without.
constexpr std::array<std::string_view, 4> kTableNamespaces = {
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main", "http://purl.oclc.org/ooxml/spreadsheetml/main",
    "http://schemas.openxmlformats.org/package/2006/relationships",
    "http://schemas.openxmlformats.org/package/2006/content-types"};
// Attributes of these namespaces are read as "r:" attributes whatever their
// prefix (<sheet ns:id="rId1"> is <sheet r:id="rId1">).
constexpr std::array<std::string_view, 2> kRelationshipNamespaces = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "http://purl.oclc.org/ooxml/officeDocument/relationships"};

enum class TNamespaceKind { nkOther, nkTable, nkRelationships };

template <std::size_t N> bool IsOneOf(const std::array<std::string_view, N>& names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Far deeper than any spreadsheet part; bounds the recursion of tree teardown
// and rebuilding for hostile input.
constexpr int kMaxDepth = 256;

struct TPrefixBinding {
    std::string Prefix;
    TNamespaceKind Kind;
    int Depth;
};

class TTreeBuilder : public TXmlScanEvents {
public:
    TTreeBuilder(TExXMLTag& root, std::string_view partName, TXmlPartHandler* handler)
        : FCurrent(&root), FPartName(partName), FHandler(handler)
    {}

    void TagBegins(std::string_view name, std::span<const TXmlScannedAttribute> attributes,
                   std::string_view text) override;
    void TagEnds() override;

private:
    void BindPrefixes(std::span<const TXmlScannedAttribute> attributes);
    TNamespaceKind KindOfPrefix(std::string_view qualifiedName) const;
    std::string_view ResolvedName(std::string_view name) const;
    void AddValue(TExXMLTag& tag, const TXmlScannedAttribute& attribute) const;
    std::unique_ptr<TExXMLTag> NewTag();
    void Recycle(std::vector<std::unique_ptr<TExXMLTag>>& tags);

    TExXMLTag* FCurrent;
    std::string FPartName;
    TXmlPartHandler* FHandler;
    int FDepth = 0;
    std::vector<TPrefixBinding> FPrefixes;
    // Dropped tags are reused, so that reading a sheet does not allocate per cell.
    std::vector<std::unique_ptr<TExXMLTag>> FPool;
};

std::unique_ptr<TExXMLTag> TTreeBuilder::NewTag()
{
    if (FPool.empty()) return std::make_unique<TExXMLTag>();
    std::unique_ptr<TExXMLTag> tag = std::move(FPool.back());
    FPool.pop_back();
    tag->FValues.clear();
    return tag;
}

void TTreeBuilder::Recycle(std::vector<std::unique_ptr<TExXMLTag>>& tags)
{
    for (auto& tag : tags) {
        Recycle(tag->FTags);
        FPool.push_back(std::move(tag));
    }
    tags.clear();
}

void TTreeBuilder::BindPrefixes(std::span<const TXmlScannedAttribute> attributes)
{
    for (const auto& a : attributes) {
        if (!a.Name.starts_with("xmlns:")) continue;
        const TNamespaceKind kind = IsOneOf(kTableNamespaces, a.Value)          ? TNamespaceKind::nkTable
                                    : IsOneOf(kRelationshipNamespaces, a.Value) ? TNamespaceKind::nkRelationships
                                                                                : TNamespaceKind::nkOther;
        FPrefixes.push_back({std::string(a.Name.substr(6)), kind, FDepth});
    }
}

TNamespaceKind TTreeBuilder::KindOfPrefix(std::string_view qualifiedName) const
{
    const std::string_view prefix = qualifiedName.substr(0, qualifiedName.find(':'));
    for (auto it = FPrefixes.rbegin(); it != FPrefixes.rend(); ++it)
        if (it->Prefix == prefix) return it->Kind;
    return TNamespaceKind::nkOther;
}

std::string_view TTreeBuilder::ResolvedName(std::string_view name) const
{
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos || KindOfPrefix(name) != TNamespaceKind::nkTable) return name;
    return name.substr(colon + 1);
}

void TTreeBuilder::AddValue(TExXMLTag& tag, const TXmlScannedAttribute& attribute) const
{
    int id = AttributeId(attribute.Name);
    const std::size_t colon = attribute.Name.find(':');
    if (id < 0 && colon != std::string_view::npos && KindOfPrefix(attribute.Name) == TNamespaceKind::nkRelationships)
        id = AttributeId("r:" + std::string(attribute.Name.substr(colon + 1)));
    if (id < 0) return;
    if (tag.FValues.empty() || tag.FValues.back().FId < id) {  // attributes mostly come in table order
        TExXMLValue& v = tag.FValues.emplace_back();
        v.FId = id;
        v.FText.assign(attribute.Value);
        return;
    }
    const auto at = std::lower_bound(tag.FValues.begin(), tag.FValues.end(), id,
                                     [](const TExXMLValue& v, int key) { return v.FId < key; });
    if (at != tag.FValues.end() && at->FId == id)
        throw EXmlError("Duplicate tag value: " + std::string(attribute.Name) + "; Doc=" + FPartName +
                        "; Tag=" + FCurrent->FName);
    tag.FValues.insert(at, TExXMLValue{id, std::string(attribute.Value)});
}

void TTreeBuilder::TagBegins(std::string_view name, std::span<const TXmlScannedAttribute> attributes,
                             std::string_view text)
{
    if (++FDepth > kMaxDepth)
        throw EXmlError("XML nesting deeper than " + std::to_string(kMaxDepth) + " levels in " + FPartName);
    BindPrefixes(attributes);
    auto tag = NewTag();
    tag->FName = ResolvedName(name);
    tag->FId = ElementId(tag->FName);
    tag->FText = text;
    for (const auto& a : attributes) AddValue(*tag, a);
    tag->FParent = FCurrent;
    FCurrent->FTags.push_back(std::move(tag));
    FCurrent = FCurrent->FTags.back().get();
    if (FHandler != nullptr) FHandler->TagBegins(*FCurrent);
}

void TTreeBuilder::TagEnds()
{
    const bool done = FHandler != nullptr && FHandler->TagEnds(*FCurrent);
    while (!FPrefixes.empty() && FPrefixes.back().Depth == FDepth) FPrefixes.pop_back();
    --FDepth;
    FCurrent = FCurrent->FParent;
    if (done) Recycle(FCurrent->FTags);
}

void AppendEscapedValue(std::string& out, std::string_view value)
{
    for (const char c : value) {
        if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
}

}  // namespace

const TExXMLValue* TExXMLTag::Value(int attributeId) const
{
    for (const auto& v : FValues)
        if (v.FId == attributeId) return &v;
    return nullptr;
}

const std::string& TExXMLTag::Required(int attributeId) const
{
    if (const TExXMLValue* v = Value(attributeId)) return v->FText;
    throw EXmlError("Required value missing: " + std::string(AttributeName(attributeId)));
}

std::string_view TExXMLTag::Raw(int attributeId, std::string_view fallback) const
{
    const TExXMLValue* v = Value(attributeId);
    return v != nullptr ? std::string_view(v->FText) : fallback;
}

bool TExXMLTag::AsBool(int attributeId, bool fallback) const
{
    const TExXMLValue* v = Value(attributeId);
    return v != nullptr ? XmlToBool(v->FText) : fallback;
}

int TExXMLTag::AsInt(int attributeId, int fallback) const
{
    const TExXMLValue* v = Value(attributeId);
    return v != nullptr ? XmlToInt(v->FText) : fallback;
}

double TExXMLTag::AsFloat(int attributeId, double fallback) const
{
    const TExXMLValue* v = Value(attributeId);
    return v != nullptr ? XmlToFloat(v->FText) : fallback;
}

std::u16string TExXMLTag::DecodedValue(int attributeId) const { return DecodeXmlText(Raw(attributeId)); }

std::u16string TExXMLTag::DecodedText() const { return DecodeXmlText(FText); }

const TExXMLTag* TExXMLTag::Child(int elementId) const
{
    for (const auto& t : FTags)
        if (t->FId == elementId) return t.get();
    return nullptr;
}

std::string TExXMLTag::AsXml() const
{
    std::string xml = "<" + FName;
    for (const auto& v : FValues) {
        xml.append(" ").append(AttributeName(v.FId)).append("=\"");
        AppendEscapedValue(xml, v.FText);
        xml += '"';
    }
    if (FText.empty() && FTags.empty()) return xml + "/>";
    xml.append(">").append(FText);
    for (const auto& t : FTags) xml += t->AsXml();
    return xml + "</" + FName + ">";
}

TXmlTree::TXmlTree() { FRoot.FName = "PARENT"; }

void TXmlTree::Parse(std::string_view bytes, std::string_view partName, TXmlPartHandler* handler)
{
    FRoot.FTags.clear();
    TTreeBuilder builder(FRoot, partName, handler);
    ScanXml(bytes, builder);
}

void TXmlTree::Parse(const TZipContainer& zip, int index, std::string_view partName, TXmlPartHandler* handler)
{
    FRoot.FTags.clear();
    TTreeBuilder builder(FRoot, partName, handler);
    ScanXml(zip.Extract(index), builder);
}

}  // namespace workbook
