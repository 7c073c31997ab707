#include "workbook/xlsx/XLSXNamespaces.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

namespace workbook {

const std::string_view kRootNamespaces =
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
    "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\" "
    "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\" "
    "xmlns:x15=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/main\" "
    "xmlns:x15ac=\"http://schemas.microsoft.com/office/spreadsheetml/2010/11/ac\" "
    "xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\" "
    "xmlns:xr=\"http://schemas.microsoft.com/office/spreadsheetml/2014/revision\" "
    "xmlns:xr2=\"http://schemas.microsoft.com/office/spreadsheetml/2015/revision2\" "
    "xmlns:xr3=\"http://schemas.microsoft.com/office/spreadsheetml/2016/revision3\" "
    "xmlns:mx=\"http://schemas.microsoft.com/office/mac/excel/2008/main\"";

namespace {

constexpr std::array<std::string_view, 13> kDeclared = {"xml", "r",  "mc",  "x14ac", "x14", "x15",  "x15ac",
                                                        "xm",  "xr", "xr2", "xr3",   "mx",  "xmlns"};

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ':';
}

std::set<std::string, std::less<>> DeclaredIn(std::string_view xml)
{
    std::set<std::string, std::less<>> declared(kDeclared.begin(), kDeclared.end());
    for (std::size_t at = xml.find("xmlns:"); at != std::string_view::npos; at = xml.find("xmlns:", at + 6)) {
        std::size_t end = at + 6;
        while (end < xml.size() && IsNameChar(xml[end]) && xml[end] != ':') ++end;
        declared.emplace(xml.substr(at + 6, end - at - 6));
    }
    return declared;
}

bool IgnorableListsDeclared(std::string_view xml, const std::set<std::string, std::less<>>& declared)
{
    const std::string_view key = "mc:Ignorable=\"";
    for (std::size_t at = xml.find(key); at != std::string_view::npos; at = xml.find(key, at + 1)) {
        const std::size_t start = at + key.size();
        const std::string_view list = xml.substr(start, xml.find('"', start) - start);
        for (std::size_t i = 0; i < list.size();) {
            const std::size_t space = std::min(list.find(' ', i), list.size());
            if (space > i && declared.count(list.substr(i, space - i)) == 0) return false;
            i = space + 1;
        }
    }
    return true;
}

}  // namespace

bool FragmentNamespacesDeclared(std::string_view xml)
{
    const auto declared = DeclaredIn(xml);
    for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
        std::size_t start = at + 1;
        if (start < xml.size() && xml[start] == '/') ++start;
        std::size_t end = start;
        while (end < xml.size() && IsNameChar(xml[end])) ++end;
        const std::string_view name = xml.substr(start, end - start);
        const std::size_t colon = name.find(':');
        if (colon != std::string_view::npos && declared.count(name.substr(0, colon)) == 0) return false;
    }
    return IgnorableListsDeclared(xml, declared);
}

}  // namespace workbook
