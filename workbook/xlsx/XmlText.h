// Decoding of element text and attribute values taken from package parts, and
// the conversions of raw values to Booleans, numbers and cell references.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace workbook {

// UTF-8 to UTF-16 with the character references replaced in one pass: the XML
// entities &quot; &amp; &lt; &gt; &apos;, the HTML Latin-1 names &iexcl; ..
// &yuml;, &nbsp; (a plain space), &#ddd; and &#xhhh;. Unknown references stay
// as written; literal CR LF and CR become LF (a CR written as &#13; stays);
// invalid UTF-8 bytes become U+FFFD.
std::u16string DecodeXmlText(std::string_view raw);
// The same, appended to out (which a caller reuses to spare an allocation).
void AppendDecodedXmlText(std::u16string& out, std::string_view raw);

// Replaces the _xHHHH_ escapes with which spreadsheet text stores characters
// that XML cannot hold (control characters; _x005F_ is a literal "_").
std::u16string DecodeXEscapes(std::u16string_view text);
// The same from position `from` of text, in place.
void DecodeXEscapesInPlace(std::u16string& text, std::size_t from = 0);

// "1" or "true".
bool XmlToBool(std::string_view text);
// A decimal 32-bit integer with optional sign; anything else gives 0.
std::int32_t XmlToInt(std::string_view text);
// A finite floating-point number with "." as separator; anything else gives 0.
double XmlToFloat(std::string_view text);

// The serial number of an ISO 8601 date, date-time or time ("2021-01-01",
// "2014-02-14T08:27:48.765Z", "10:10:10") in the 1900 or 1904 date system;
// nothing for other text. A time zone suffix is ignored.
std::optional<double> IsoDateToSerial(std::string_view text, bool date1904);

struct TXmlCellRef {
    int Col = 0;  // zero-based
    int Row = 0;  // zero-based
    bool operator==(const TXmlCellRef&) const = default;
};
struct TXmlAreaRef {
    TXmlCellRef First;
    TXmlCellRef Last;
    bool operator==(const TXmlAreaRef&) const = default;
};

// Letters then digits ("C3" is column 2, row 2); nothing for any other text,
// "$" signs allowed as in absolute references.
std::optional<TXmlCellRef> ParseCellRef(std::string_view text);
// "A1:C3", or a single reference standing for both corners.
std::optional<TXmlAreaRef> ParseAreaRef(std::string_view text);

}  // namespace workbook
