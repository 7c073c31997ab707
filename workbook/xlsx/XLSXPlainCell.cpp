// The scanner's rules for these few forms: text between tags is the text of
// the tag before it, trimmed of spaces and control characters; the text of
// <c> and <is> and whatever follows an end tag is not used, so it is passed
// over up to the next "<". Values holding quotes, spaces or control
// characters, and empty ones (which the scanner drops), are left to the tree.
#include "workbook/xlsx/XLSXPlainCell.h"

namespace workbook {

namespace {

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

class TPlainCellReader {
public:
    explicit TPlainCellReader(std::string_view bytes) : FIn(bytes) {}
    std::optional<TPlainCell> Read();

private:
    bool Attributes();
    bool Attribute();
    bool Expect(std::string_view s);
    void SkipText();
    bool Text(std::string_view endTag);
    bool Content();

    std::string_view FIn;
    std::size_t FPos = 0;
    TPlainCell FCell;
};

// The tags compared are a few bytes long: a plain loop, not a library call.
bool TPlainCellReader::Expect(std::string_view s)
{
    if (FIn.size() - FPos < s.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (FIn[FPos + i] != s[i]) return false;
    FPos += s.size();
    return true;
}

void TPlainCellReader::SkipText()
{
    while (FPos < FIn.size() && FIn[FPos] != '<') ++FPos;
}

// The raw text up to endTag, which must follow it at once.
bool TPlainCellReader::Text(std::string_view endTag)
{
    const std::size_t start = FPos;
    SkipText();
    FCell.Text = Trimmed(FIn.substr(start, FPos - start));
    return Expect(endTag);
}

// ' r="A1"': one of r, s, t, once each.
bool TPlainCellReader::Attribute()
{
    if (FPos + 4 >= FIn.size() || FIn[FPos + 2] != '=' || FIn[FPos + 3] != '"') return false;
    const char name = FIn[FPos + 1];
    std::string_view* slot = name == 'r' ? &FCell.R : name == 's' ? &FCell.S : name == 't' ? &FCell.T : nullptr;
    if (slot == nullptr || !slot->empty()) return false;
    const std::size_t start = FPos + 4;
    std::size_t end = start;
    while (end < FIn.size() && FIn[end] != '"') {
        const unsigned char c = static_cast<unsigned char>(FIn[end]);
        if (c <= ' ' || c == '\'') return false;
        ++end;
    }
    if (end == start || end == FIn.size()) return false;
    *slot = FIn.substr(start, end - start);
    FPos = end + 1;
    return true;
}

// Up to and including the ">" of the start tag; false for any other form.
bool TPlainCellReader::Attributes()
{
    while (FPos < FIn.size() && FIn[FPos] == ' ')
        if (!Attribute()) return false;
    return FPos < FIn.size() && (FIn[FPos] == '>' || FIn[FPos] == '/');
}

bool TPlainCellReader::Content()
{
    SkipText();
    if (Expect("</c>")) return true;
    if (Expect("<v>")) {
        FCell.Content = TPlainCell::TContent::Value;
        if (!Text("</v>")) return false;
    } else if (Expect("<is>")) {
        FCell.Content = TPlainCell::TContent::InlineText;
        SkipText();
        if (!Expect("<t>") || !Text("</t>")) return false;
        SkipText();
        if (!Expect("</is>")) return false;
    } else {
        return false;
    }
    SkipText();
    return Expect("</c>");
}

std::optional<TPlainCell> TPlainCellReader::Read()
{
    if (!Expect("<c") || !Attributes()) return std::nullopt;
    if (Expect("/>")) {
        FCell.Length = FPos;
        return FCell;
    }
    if (!Expect(">") || !Content()) return std::nullopt;
    FCell.Length = FPos;
    return FCell;
}

}  // namespace

std::optional<TPlainCell> ReadPlainCell(std::string_view bytes) { return TPlainCellReader(bytes).Read(); }

bool& PlainCellsEnabled()
{
    static bool enabled = true;
    return enabled;
}

}  // namespace workbook
