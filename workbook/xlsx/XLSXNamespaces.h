// The namespaces the parts written here declare on their root element, and
// the check that a stored element uses no prefix beyond them.
#pragma once

#include <string>
#include <string_view>

namespace workbook {

inline const std::string kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
inline constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// The main namespace as default, the relationships one as r, and the
// prefixes of the extensions stored elements most often carry.
extern const std::string_view kRootNamespaces;

// True when every prefix of an element name in xml, and every prefix named in
// an mc:Ignorable list there, is declared on the root or inside xml itself.
// A stored element that fails this is left out rather than written as XML
// that no reader accepts.
bool FragmentNamespacesDeclared(std::string_view xml);

}  // namespace workbook
