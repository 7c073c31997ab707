// The tag tree of a package part. The scanner's events build it; a part
// handler sees each element when it ends and may drop what was collected so
// far, which keeps the tree small while a large sheet is read.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/xlsx/XmlNames.h"
#include "workbook/xlsx/XmlScanner.h"
#include "workbook/xlsx/ZipContainer.h"

namespace workbook {

// One attribute of the attribute-name table with its raw value.
struct TExXMLValue {
    int FId = 0;
    std::string FText;
};

class TExXMLTag {
public:
    int FId = kUnknownElement;         // position in the element-name table
    std::string FName;                 // as written; the prefix of the sheet namespaces removed
    std::string FText;                 // raw text after the start tag
    std::vector<TExXMLValue> FValues;  // known attributes, ordered by FId
    std::vector<std::unique_ptr<TExXMLTag>> FTags;
    TExXMLTag* FParent = nullptr;

    // The attribute's value, or nullptr when the tag does not carry it.
    const TExXMLValue* Value(int attributeId) const;
    bool Has(int attributeId) const { return Value(attributeId) != nullptr; }
    // The raw value; throws EXmlError("Required value missing: <name>") when absent.
    const std::string& Required(int attributeId) const;
    std::string_view Raw(int attributeId, std::string_view fallback = {}) const;
    bool AsBool(int attributeId, bool fallback = false) const;
    int AsInt(int attributeId, int fallback = 0) const;
    double AsFloat(int attributeId, double fallback = 0) const;
    // The attribute value and the element text with references decoded.
    std::u16string DecodedValue(int attributeId) const;
    std::u16string DecodedText() const;

    // The first child with this element number, or nullptr.
    const TExXMLTag* Child(int elementId) const;
    // The element rebuilt as XML text: name, known attributes in table order,
    // raw text, children, end tag (or "/>" when it has neither text nor children).
    std::string AsXml() const;
    // The marker "<name />" kept where the model holds the element's content.
    std::string PlaceMarker() const { return "<" + FName + " />"; }
};

// Acts on the elements of one part as they end.
class TXmlPartHandler {
public:
    virtual ~TXmlPartHandler() = default;
    virtual void TagBegins(TExXMLTag& tag) {}
    // True when done: every child collected so far under the tag's parent is dropped.
    virtual bool TagEnds(TExXMLTag& tag) = 0;
};

// Parses a part into a tree below a root named "PARENT". Without a handler the
// whole tree is kept. Throws EXmlError for malformed structure.
class TXmlTree {
public:
    TXmlTree();
    void Parse(std::string_view bytes, std::string_view partName, TXmlPartHandler* handler = nullptr);
    // The same for an entry of a zip container.
    void Parse(const TZipContainer& zip, int index, std::string_view partName, TXmlPartHandler* handler = nullptr);
    const TExXMLTag& Root() const { return FRoot; }

private:
    TExXMLTag FRoot;
};

}  // namespace workbook
