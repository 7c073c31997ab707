// Part names of a package: where a relationship target points, and where the
// relationships of a part are stored.
#pragma once

#include <string>
#include <string_view>

namespace workbook {

// The part a relationship target names, seen from the part that holds the
// relationship: "worksheets/sheet1.xml" from "xl/workbook.xml" is
// "xl/worksheets/sheet1.xml"; "/xl/x.xml" is absolute; "." and ".." segments
// are resolved ("..", beyond the package root, stays at the root).
std::string ResolvePartTarget(std::string_view sourcePart, std::string_view target);

// The name with every backslash turned into a slash: part names as some
// programs write them into zip entries and targets, made usable for others.
std::string ForwardSlashes(std::string_view name);

// "xl/_rels/workbook.xml.rels" for "xl/workbook.xml"; "_rels/.rels" for the package ("").
std::string RelationshipsPartOf(std::string_view part);

// The last segment of a relationship type ("worksheet" for
// ".../relationships/worksheet").
std::string_view RelationshipKind(std::string_view type);

}  // namespace workbook
