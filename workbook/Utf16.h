// Conversions between the library's UTF-16 texts and UTF-8 (file names on
// Linux, the command line, tests).
#pragma once

#include <string>
#include <string_view>

namespace workbook {

std::u16string Utf8ToUtf16(std::string_view s);
// The same into out (replacing its text), reusing out's memory.
void Utf8ToUtf16(std::string_view s, std::u16string& out);
std::string Utf16ToUtf8(std::u16string_view s);

}  // namespace workbook
