// Texts between the package and the model: interning a shared or inline
// string with its formatting runs, and the escaping of texts written back
// into package parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/xlsx/XmlTree.h"

namespace workbook {

class TSST2;
struct TXLSString;

struct TXLSXRun {
    std::size_t Position;  // first character of the run
    uint16_t Font;         // model font index
};

// Interns text with its runs; the caller owns the one reference taken.
// Texts longer than a string entry holds (65535 characters) are cut there.
TXLSString* InternXLSXString(TSST2& sst, std::u16string_view text, const std::vector<TXLSXRun>& runs = {});

// The text of an inline string (is) or string item (si): its own t and the t
// of each run joined, phonetic texts left out, _xHHHH_ escapes decoded.
std::u16string XLSXItemText(const TExXMLTag& item);
// The same, into out (cleared first), which a caller reuses for every item.
void XLSXItemTextInto(std::u16string& out, const TExXMLTag& item);

// UTF-8 element text: &, <, > escaped, CR as a character reference (parsers
// turn a literal CR into LF), and the control characters XML cannot hold,
// like a literal "_xHHHH_", as _xHHHH_ escapes.
std::string XmlElementText(std::u16string_view text);
// UTF-8 attribute value for double quotes.
std::string XmlAttributeText(std::u16string_view text);

}  // namespace workbook
