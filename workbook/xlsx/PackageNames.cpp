// Part-name arithmetic of packages.
#include "workbook/xlsx/PackageNames.h"

#include <vector>

namespace workbook {

namespace {

std::string_view FolderOf(std::string_view part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}

}  // namespace

std::string ForwardSlashes(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

// Targets written with backslashes (as some programs do) name the same
// parts; the result has forward slashes only.
std::string ResolvePartTarget(std::string_view sourcePart, std::string_view target)
{
    const std::string forward = ForwardSlashes(target);
    std::string path = forward.starts_with('/') ? forward.substr(1) : ForwardSlashes(FolderOf(sourcePart)) + forward;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string result;
    for (const auto& s : segments) result += (result.empty() ? "" : "/") + s;
    return result;
}

std::string RelationshipsPartOf(std::string_view part)
{
    const std::string_view folder = FolderOf(part);
    return std::string(folder) + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

std::string_view RelationshipKind(std::string_view type)
{
    const std::size_t slash = type.rfind('/');
    return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

}  // namespace workbook
