// The byte scanner of package parts: turns XML text into begin and end events
// of tags, with each tag's attributes and the text that follows its start tag.
// Every byte is one character here; text is decoded later, where it is used.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

// Malformed part structure ("XML level < 0", duplicate attributes, missing values).
class EXmlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TXmlScannedAttribute {
    std::string_view Name;   // trimmed
    std::string_view Value;  // raw, one surrounding quote removed
};

// Receives the tags in document order. The views are valid during the call only.
class TXmlScanEvents {
public:
    virtual ~TXmlScanEvents() = default;
    virtual void TagBegins(std::string_view name,
                           const std::vector<TXmlScannedAttribute>& attributes,
                           std::string_view text) = 0;
    virtual void TagEnds() = 0;
};

// Scans a whole part; throws EXmlError("XML level < 0") for an end tag without start.
void ScanXml(std::string_view bytes, TXmlScanEvents& events);

}  // namespace workbook
