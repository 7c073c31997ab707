// UTF-8 <-> UTF-16. Invalid input bytes become U+FFFD rather than failing,
// since file names and typed texts may come from anywhere.
#include "workbook/Utf16.h"

#include "workbook/XLSError.h"

#include <cstdarg>
#include <cstdio>

namespace workbook {

std::string FormatText(const char* format, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

namespace {

// Decodes one code point at s[i], advancing i; returns U+FFFD for bad bytes.
char32_t DecodeUtf8(std::string_view s, size_t& i)
{
    unsigned char c = s[i++];
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0 || c >= 0xF8) return 0xFFFD;
    char32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp > 0x10FFFF ? 0xFFFD : cp;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s)
{
    std::u16string out;
    Utf8ToUtf16(s, out);
    return out;
}

void Utf8ToUtf16(std::string_view s, std::u16string& out)
{
    // No UTF-8 byte gives more than one UTF-16 unit.
    out.resize(s.size());
    char16_t* p = out.data();
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            *p++ = char16_t(s[i++]);
            continue;
        }
        char32_t cp = DecodeUtf8(s, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *p++ = char16_t(0xD800 + (cp >> 10));
            *p++ = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            *p++ = char16_t(cp);
        }
    }
    out.resize(size_t(p - out.data()));
}

std::string Utf16ToUtf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

}  // namespace workbook
