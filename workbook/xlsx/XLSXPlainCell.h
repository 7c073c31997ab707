// The common form of a cell element, read straight from a sheet part's bytes
// instead of through the tag tree: <c> with only r, s and t attributes in
// double quotes, holding nothing, a <v> or an <is><t>, every tag written
// plainly. Anything else is left to the tree, which reads every form; what
// this reads it reads as the tree would, which the tests compare.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace workbook {

struct TPlainCell {
    enum class TContent { None, Value, InlineText };
    std::string_view R, S, T;  // raw attribute values; empty when absent
    TContent Content = TContent::None;
    std::string_view Text;     // the v's or the t's raw text, trimmed
    std::size_t Length = 0;    // bytes from "<c" to the end of the element
};

// bytes start at the "<" of a start tag; nothing when they do not hold a
// whole cell element of the common form.
std::optional<TPlainCell> ReadPlainCell(std::string_view bytes);

// Whether sheets read plain cells from their bytes (the default). Tests and
// the fuzz target turn it off (before reading, in one thread) to compare.
bool& PlainCellsEnabled();

}  // namespace workbook
