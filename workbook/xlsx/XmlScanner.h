// The byte scanner of package parts: turns XML text into begin and end events
// of tags, with each tag's attributes and the text that follows its start tag.
// Every byte is one character here; text is decoded later, where it is used.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
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

// Receives the tags in document order. The views are valid during the call
// only, unless they point into the scanned bytes themselves.
class TXmlScanEvents {
public:
    virtual ~TXmlScanEvents() = default;
    virtual void TagBegins(std::string_view name, std::span<const TXmlScannedAttribute> attributes,
                           std::string_view text) = 0;
    virtual void TagEnds() = 0;
};

// Scans a part that arrives piece by piece, as it is inflated: each Scan gets
// all bytes so far, at the same address, and reports the tags that are
// complete in them. What it reports is what a scan of the whole part reports.
class TXmlScanner {
public:
    explicit TXmlScanner(TXmlScanEvents& events);
    ~TXmlScanner();
    TXmlScanner(const TXmlScanner&) = delete;
    TXmlScanner& operator=(const TXmlScanner&) = delete;

    // bytes: the part so far; final: it is the whole part. Answers the
    // position of the first byte not yet scanned. Throws EXmlError.
    std::size_t Scan(std::string_view bytes, bool final);

private:
    class TImpl;
    std::unique_ptr<TImpl> FImpl;
};

// Scans a whole part; throws EXmlError("XML level < 0") for an end tag without start.
void ScanXml(std::string_view bytes, TXmlScanEvents& events);

}  // namespace workbook
