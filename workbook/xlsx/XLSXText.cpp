#include "workbook/xlsx/XLSXText.h"

#include <algorithm>
#include <cctype>

#include "workbook/model/SST.h"
#include "workbook/Utf16.h"
#include "workbook/xlsx/XmlText.h"

namespace workbook {

namespace {

constexpr std::size_t kMaxStringLength = 0xFFFF;

bool IsXEscapeAt(std::u16string_view text, std::size_t i)
{
    if (i + 7 > text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_') return false;
    for (std::size_t k = i + 2; k < i + 6; ++k)
        if (!std::isxdigit(static_cast<unsigned char>(text[k] < 0x80 ? text[k] : 0))) return false;
    return true;
}

void AppendHexEscape(std::u16string& out, char16_t c)
{
    static const char16_t kHex[] = u"0123456789ABCDEF";
    out += u"_x";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
    out += u'_';
}

std::string Escaped(std::u16string_view text, bool attribute)
{
    std::u16string wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsXEscapeAt(text, i))
            AppendHexEscape(wide, c);
        else if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF)
            AppendHexEscape(wide, c);
        else
            wide += c;
    }
    std::string out;
    for (const char c : Utf16ToUtf8(wide)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        case '\n': out += attribute ? "&#10;" : "\n"; break;
        case '\t': out += attribute ? "&#9;" : "\t"; break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

TXLSString* InternXLSXString(TSST2& sst, std::u16string_view text, const std::vector<TXLSXRun>& runs)
{
    const std::size_t len = std::min(text.size(), kMaxStringLength);
    const std::u16string_view kept = text.substr(0, len);
    if (runs.empty()) return sst.AddString(kept);
    const bool wide = std::any_of(kept.begin(), kept.end(), [](char16_t c) { return c > 0xFF; });
    std::vector<uint8_t> chars;
    for (const char16_t c : kept) {
        chars.push_back(uint8_t(c));
        if (wide) chars.push_back(uint8_t(c >> 8));
    }
    std::vector<uint8_t> runBytes;
    for (const TXLSXRun& r : runs) {
        if (r.Position >= len) break;
        for (const uint16_t v : {uint16_t(r.Position), r.Font}) {
            runBytes.push_back(uint8_t(v));
            runBytes.push_back(uint8_t(v >> 8));
        }
    }
    if (runBytes.empty()) return sst.AddString(kept);
    return sst.AddRawString(uint8_t((wide ? sstUTF16 : 0) | sstFormatted), uint16_t(len), chars.data(),
                            uint16_t(runBytes.size() / 4), runBytes.data(), 0, nullptr);
}

std::u16string XLSXItemText(const TExXMLTag& item)
{
    std::u16string text;
    XLSXItemTextInto(text, item);
    return text;
}

void XLSXItemTextInto(std::u16string& out, const TExXMLTag& item)
{
    out.clear();
    for (const auto& child : item.FTags) {
        if (child->FId == xe_t) AppendDecodedXmlText(out, child->FText);
        if (child->FId == xe_r)
            if (const TExXMLTag* t = child->Child(xe_t)) AppendDecodedXmlText(out, t->FText);
    }
    DecodeXEscapesInPlace(out);
}

// Leading and trailing white space as character references: readers that
// trim element text (this program's own among them) keep it then.
std::string XmlElementText(std::u16string_view text)
{
    auto isSpace = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    std::size_t first = 0, last = text.size();
    while (first < last && isSpace(text[first])) ++first;
    while (last > first && isSpace(text[last - 1])) --last;
    auto refs = [](std::u16string_view spaces) {
        std::string out;
        for (const char16_t c : spaces) out += "&#" + std::to_string(int(c)) + ";";
        return out;
    };
    return refs(text.substr(0, first)) + Escaped(text.substr(first, last - first), false) + refs(text.substr(last));
}
std::string XmlAttributeText(std::u16string_view text) { return Escaped(text, true); }

}  // namespace workbook
