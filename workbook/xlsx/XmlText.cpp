// Text decoding and value conversions of package parts.
#include "workbook/xlsx/XmlText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace workbook {

namespace {

// The HTML Latin-1 entity names of the characters 161 to 255, in that order.
constexpr std::array<std::string_view, 95> kLatin1Entities = {
    "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",   "laquo",
    "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",
    "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute",
    "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",
    "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute",
    "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash",
    "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

constexpr std::size_t kLongestReference = 10;  // "&#x10FFFF;" and the longest names fit
constexpr char32_t kReplacement = 0xFFFD;
constexpr int kMaxColumn = 16384;
constexpr int kMaxRow = 1048576;

void AppendCodePoint(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

bool IsValidCodePoint(std::uint32_t c) { return c > 0 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

std::optional<char32_t> NumericReference(std::string_view body)
{
    int base = 10;
    if (body.starts_with('x')) {
        base = 16;
        body.remove_prefix(1);
    }
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value, base);
    if (body.empty() || ec != std::errc() || end != body.data() + body.size() || !IsValidCodePoint(value))
        return std::nullopt;
    return static_cast<char32_t>(value);
}

// The character of the reference whose name (between "&" and ";") is body.
std::optional<char32_t> ReferencedCharacter(std::string_view body)
{
    if (body == "quot") return U'"';
    if (body == "amp") return U'&';
    if (body == "lt") return U'<';
    if (body == "gt") return U'>';
    if (body == "apos") return U'\'';
    if (body == "nbsp") return U' ';
    if (body.starts_with('#')) return NumericReference(body.substr(1));
    for (std::size_t i = 0; i < kLatin1Entities.size(); ++i)
        if (kLatin1Entities[i] == body) return static_cast<char32_t>(161 + i);
    return std::nullopt;
}

// Decodes one UTF-8 sequence at raw[pos]; advances pos by at least one byte.
char32_t NextUtf8(std::string_view raw, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(raw[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) return raw[pos++];
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || pos + length > raw.size()) return ++pos, kReplacement;
    char32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return ++pos, kReplacement;
        c = (c << 6) | (byte(pos + i) & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || !IsValidCodePoint(c)) return ++pos, kReplacement;
    pos += length;
    return c;
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

// Reads exactly `width` digits at text[pos] into value.
bool Digits(std::string_view text, std::size_t& pos, std::size_t width, int& value)
{
    if (pos + width > text.size()) return false;
    const auto [end, ec] = std::from_chars(text.data() + pos, text.data() + pos + width, value);
    if (ec != std::errc() || end != text.data() + pos + width) return false;
    pos += width;
    return true;
}

bool Expect(std::string_view text, std::size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

// "HH:MM[:SS[.fff]]" as seconds; pos is left after the time.
std::optional<double> TimeOfDay(std::string_view text, std::size_t& pos)
{
    int hours = 0, minutes = 0, seconds = 0;
    if (!Digits(text, pos, 2, hours) || !Expect(text, pos, ':') || !Digits(text, pos, 2, minutes)) return std::nullopt;
    double fraction = 0;
    if (Expect(text, pos, ':')) {
        if (!Digits(text, pos, 2, seconds)) return std::nullopt;
        if (pos < text.size() && text[pos] == '.') {
            const std::size_t start = pos;
            while (++pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            }
            std::string decimals = "0";
            decimals.append(text.substr(start, pos - start));
            fraction = XmlToFloat(decimals);
        }
    }
    if (hours > 24 || minutes > 59 || seconds > 60) return std::nullopt;
    return hours * 3600.0 + minutes * 60.0 + seconds + fraction;
}

std::optional<long> DateSerial(std::string_view text, std::size_t& pos, bool date1904)
{
    int year = 0, month = 0, day = 0;
    if (!Digits(text, pos, 4, year) || !Expect(text, pos, '-') || !Digits(text, pos, 2, month) ||
        !Expect(text, pos, '-') || !Digits(text, pos, 2, day) || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    const long days = DaysFromCivil(year, month, day);
    if (date1904) return days - DaysFromCivil(1904, 1, 1);
    const long serial = days - DaysFromCivil(1899, 12, 30);
    // The 1900 system counts a 29 February 1900, so earlier dates sit one lower.
    return serial < 61 ? serial - 1 : serial;
}

bool IsZoneSuffix(std::string_view rest)
{
    return rest.empty() || rest == "Z" || rest.starts_with('+') || rest.starts_with('-');
}

}  // namespace

std::optional<double> IsoDateToSerial(std::string_view text, bool date1904)
{
    std::size_t pos = 0;
    double serial = 0;
    if (text.size() >= 10 && text[4] == '-') {
        const auto days = DateSerial(text, pos, date1904);
        if (!days) return std::nullopt;
        serial = static_cast<double>(*days);
        if (!Expect(text, pos, 'T')) return pos == text.size() ? std::optional(serial) : std::nullopt;
    }
    const auto seconds = TimeOfDay(text, pos);
    if (!seconds || !IsZoneSuffix(text.substr(pos))) return std::nullopt;
    return serial + *seconds / 86400.0;
}

// Runs of plain ASCII, the bulk of most texts, are copied without a look at
// references, line ends or UTF-8 sequences.
void AppendDecodedXmlText(std::u16string& out, std::string_view raw)
{
    out.reserve(out.size() + raw.size());
    std::size_t pos = 0;
    while (pos < raw.size()) {
        const char c = raw[pos];
        if (static_cast<unsigned char>(c) < 0x80 && c != '&' && c != '\r') {
            out += static_cast<char16_t>(c);
            ++pos;
            continue;
        }
        if (c == '&') {
            const std::size_t semicolon = raw.substr(pos, kLongestReference + 1).find(';');
            if (semicolon != std::string_view::npos) {
                if (auto referenced = ReferencedCharacter(raw.substr(pos + 1, semicolon - 1))) {
                    AppendCodePoint(out, *referenced);
                    pos += semicolon + 1;
                    continue;
                }
            }
        }
        if (c == '\r') {  // line ends read as one LF, as XML requires
            out += u'\n';
            pos += raw.substr(pos, 2) == "\r\n" ? 2 : 1;
            continue;
        }
        AppendCodePoint(out, NextUtf8(raw, pos));
    }
}

std::u16string DecodeXmlText(std::string_view raw)
{
    std::u16string out;
    AppendDecodedXmlText(out, raw);
    return out;
}

namespace {

// The character of the escape "_xHHHH_" at text[i], if there is one.
std::optional<char16_t> XEscapeAt(std::u16string_view text, std::size_t i)
{
    if (text[i] != u'_' || i + 6 >= text.size() || text[i + 1] != u'x' || text[i + 6] != u'_') return std::nullopt;
    int value = 0;
    for (std::size_t k = i + 2; k < i + 6; ++k) {
        const int digit = HexDigit(text[k]);
        if (digit < 0) return std::nullopt;
        value = value * 16 + digit;
    }
    return static_cast<char16_t>(value);
}

}  // namespace

std::u16string DecodeXEscapes(std::u16string_view text)
{
    std::u16string out(text);
    DecodeXEscapesInPlace(out);
    return out;
}

void DecodeXEscapesInPlace(std::u16string& text, std::size_t from)
{
    std::size_t i = text.find(u'_', from);
    if (i == std::u16string::npos) return;
    std::size_t to = i;
    while (i < text.size()) {
        if (const auto c = XEscapeAt(text, i)) {
            text[to++] = *c;
            i += 7;
        } else {
            text[to++] = text[i++];
        }
    }
    text.resize(to);
}

bool XmlToBool(std::string_view text) { return text == "1" || text == "true"; }

std::int32_t XmlToInt(std::string_view text)
{
    if (text.starts_with('+')) text.remove_prefix(1);
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

double XmlToFloat(std::string_view text)
{
    if (text.starts_with('+')) text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return 0;
    return value;
}

std::optional<TXmlCellRef> ParseCellRef(std::string_view text)
{
    std::size_t i = text.starts_with('$') ? 1 : 0;
    long col = 0;
    const std::size_t lettersStart = i;
    for (; i < text.size() && col <= kMaxColumn; ++i) {
        const char c = text[i];
        if (c >= 'A' && c <= 'Z')
            col = col * 26 + (c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            col = col * 26 + (c - 'a' + 1);
        else
            break;
    }
    if (i == lettersStart || col > kMaxColumn) return std::nullopt;
    if (i < text.size() && text[i] == '$') ++i;
    if (i == text.size()) return std::nullopt;
    long row = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        row = row * 10 + (c - '0');
        if (row > kMaxRow) return std::nullopt;
    }
    if (row < 1) return std::nullopt;
    return TXmlCellRef{static_cast<int>(col - 1), static_cast<int>(row - 1)};
}

std::optional<TXmlAreaRef> ParseAreaRef(std::string_view text)
{
    const std::size_t colon = text.find(':');
    const auto first = ParseCellRef(text.substr(0, colon));
    if (!first) return std::nullopt;
    if (colon == std::string_view::npos) return TXmlAreaRef{*first, *first};
    const auto last = ParseCellRef(text.substr(colon + 1));
    if (!last) return std::nullopt;
    return TXmlAreaRef{*first, *last};
}

}  // namespace workbook
