// A forgiving, single-pass tag scanner. It knows no DTDs and checks no names;
// it only needs to find tags, attributes and element text fast. Comments,
// processing instructions and declarations produce no tags, and CDATA
// sections join the element text with their markup characters escaped, so
// that later decoding gives their characters back literally.
#include "workbook/xlsx/XmlScanner.h"

#include <algorithm>

namespace workbook {

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// Trimming removes spaces and control characters.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
    return s;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

std::string_view Unquote(std::string_view value) {
    if (!value.empty() && IsQuote(value.front())) value.remove_prefix(1);
    if (!value.empty() && IsQuote(value.back())) value.remove_suffix(1);
    return value;
}

class TScanner {
public:
    TScanner(std::string_view bytes, TXmlScanEvents& events) : FIn(bytes), FEvents(events) {}
    void Run();

private:
    bool SkipMarkup();
    void EndTag();
    bool ReadTagContent();
    void SplitAttributes(std::string_view rest);
    std::string_view ReadText(bool preserve);
    bool StartsTextMarkup() const;
    void ReadMarkedUpText();
    void AppendCData(std::string_view data);
    bool Preserves() const;
    std::size_t SkipPast(std::string_view terminator, std::size_t from) const;

    std::string_view FIn;
    std::size_t FPos = 0;
    TXmlScanEvents& FEvents;
    int FLevel = 0;
    bool FEmptyElement = false;
    std::string_view FContent;
    std::string FContentCopy;
    std::string FText;
    std::vector<TXmlScannedAttribute> FAttributes;
};

std::size_t TScanner::SkipPast(std::string_view terminator, std::size_t from) const {
    const std::size_t found = FIn.find(terminator, from);
    return found == std::string_view::npos ? FIn.size() : found + terminator.size();
}

// Comments, processing instructions (the XML declaration among them) and
// declarations such as DOCTYPE are passed over. FPos is at "<".
bool TScanner::SkipMarkup() {
    const std::string_view at = FIn.substr(FPos);
    if (at.starts_with("<!--")) FPos = SkipPast("-->", FPos + 4);
    else if (at.starts_with("<![CDATA[")) FPos = SkipPast("]]>", FPos + 9);
    else if (at.starts_with("<?")) FPos = SkipPast("?>", FPos + 2);
    else if (at.starts_with("<!")) FPos = SkipPast(">", FPos + 2);
    else return false;
    return true;
}

void TScanner::EndTag() {
    FPos = SkipPast(">", FPos);
    if (--FLevel < 0) throw EXmlError("XML level < 0");
    FEvents.TagEnds();
}

// Reads up to the first ">" outside quotes; a "/" outside quotes is dropped
// and, right before ">", marks an empty-element tag. The content is a view of
// the input unless a "/" has to be dropped from its middle.
bool TScanner::ReadTagContent() {
    FEmptyElement = false;
    const std::size_t start = FPos + 1;
    std::size_t slashes = 0;
    char quote = 0;
    for (FPos = start; FPos < FIn.size(); ++FPos) {
        const char c = FIn[FPos];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == '/') {
            ++slashes;
        } else if (c == '>') {
            break;
        }
    }
    if (FPos >= FIn.size()) return false;  // the part ends inside a tag
    std::string_view content = FIn.substr(start, FPos - start);
    ++FPos;
    FEmptyElement = content.ends_with('/');
    if (slashes == (FEmptyElement ? 1u : 0u)) {
        FContent = FEmptyElement ? content.substr(0, content.size() - 1) : content;
        return true;
    }
    FContentCopy.clear();
    quote = 0;
    for (const char c : content) {
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == '/') {
            continue;
        }
        FContentCopy += c;
    }
    FContent = FContentCopy;
    return true;
}

void TScanner::SplitAttributes(std::string_view rest) {
    FAttributes.clear();
    std::size_t i = 0;
    const auto skipSpace = [&] {
        while (i < rest.size() && IsXmlSpace(rest[i])) ++i;
    };
    while (true) {
        skipSpace();
        if (i >= rest.size()) return;
        const std::size_t nameStart = i;
        while (i < rest.size() && !IsXmlSpace(rest[i]) && rest[i] != '=') ++i;
        const std::string_view name = Trim(rest.substr(nameStart, i - nameStart));
        skipSpace();
        if (i >= rest.size() || rest[i] != '=') continue;  // no value: dropped
        ++i;
        skipSpace();
        const std::size_t valueStart = i;
        if (i < rest.size() && IsQuote(rest[i])) {
            const std::size_t close = rest.find(rest[i], i + 1);
            i = close == std::string_view::npos ? rest.size() : close + 1;
        } else {
            while (i < rest.size() && !IsXmlSpace(rest[i])) ++i;
        }
        const std::string_view value = Unquote(Trim(rest.substr(valueStart, i - valueStart)));
        if (!value.empty() && !name.starts_with("x14ac")) FAttributes.push_back({name, value});
    }
}

bool TScanner::Preserves() const {
    for (const auto& a : FAttributes)
        if (a.Name == "xml:space") return a.Value == "preserve";
    return false;
}

void TScanner::AppendCData(std::string_view data) {
    for (const char c : data) {
        if (c == '&') FText += "&amp;";
        else if (c == '<') FText += "&lt;";
        else if (c == '>') FText += "&gt;";
        else FText += c;
    }
}

// The bytes after a start tag up to the next tag; comments are left out and
// CDATA sections taken in. A view of the input unless there were any.
std::string_view TScanner::ReadText(bool preserve) {
    const std::size_t start = FPos;
    FPos = std::min(FIn.find('<', FPos), FIn.size());
    std::string_view text = FIn.substr(start, FPos - start);
    if (StartsTextMarkup()) {
        FText.assign(text);
        ReadMarkedUpText();
        text = FText;
    }
    return preserve ? text : Trim(text);
}

bool TScanner::StartsTextMarkup() const {
    const std::string_view at = FIn.substr(FPos);
    return at.starts_with("<![CDATA[") || at.starts_with("<!--");
}

void TScanner::ReadMarkedUpText() {
    while (StartsTextMarkup()) {
        if (FIn.substr(FPos).starts_with("<!--")) {
            FPos = SkipPast("-->", FPos + 4);
        } else {
            const std::size_t close = FIn.find("]]>", FPos + 9);
            const std::size_t stop = close == std::string_view::npos ? FIn.size() : close;
            AppendCData(FIn.substr(FPos + 9, stop - FPos - 9));
            FPos = close == std::string_view::npos ? FIn.size() : close + 3;
        }
        const std::size_t next = std::min(FIn.find('<', FPos), FIn.size());
        FText.append(FIn.substr(FPos, next - FPos));
        FPos = next;
    }
}

void TScanner::Run() {
    while ((FPos = FIn.find('<', FPos)) != std::string_view::npos) {
        if (SkipMarkup()) continue;
        if (FPos + 1 < FIn.size() && FIn[FPos + 1] == '/') {
            EndTag();
            continue;
        }
        if (!ReadTagContent()) return;
        const std::string_view content = FContent;
        std::size_t nameEnd = 0;
        while (nameEnd < content.size() && !IsXmlSpace(content[nameEnd])) ++nameEnd;
        SplitAttributes(content.substr(nameEnd));
        const std::string_view name = Trim(content.substr(0, nameEnd));
        const bool empty = FEmptyElement;
        const std::string_view text = ReadText(Preserves());
        FEvents.TagBegins(name, FAttributes, text);
        if (empty) FEvents.TagEnds();
        else ++FLevel;
    }
}

}  // namespace

void ScanXml(std::string_view bytes, TXmlScanEvents& events) { TScanner(bytes, events).Run(); }

}  // namespace workbook
