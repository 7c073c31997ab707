// A forgiving, single-pass tag scanner. It knows no DTDs and checks no names;
// it only needs to find tags, attributes and element text fast. Comments,
// processing instructions and declarations produce no tags, and CDATA
// sections join the element text with their markup characters escaped, so
// that later decoding gives their characters back literally.
//
// A part may be scanned while it is still being inflated. Each step (one tag
// with the text after it, or one skipped construct) is taken only when every
// byte it looks at has arrived: a step that runs into the end of the bytes so
// far is dropped and taken again from its "<" once more bytes are there.
#include "workbook/xlsx/XmlScanner.h"

#include <algorithm>
#include <cstring>

namespace workbook {

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// Trimming removes spaces and control characters.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
    return s;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

std::string_view Unquote(std::string_view value)
{
    if (!value.empty() && IsQuote(value.front())) value.remove_prefix(1);
    if (!value.empty() && IsQuote(value.back())) value.remove_suffix(1);
    return value;
}

// The position of c in s from `from`, or npos. Most searches end within a few
// bytes (the next "<" after a tag, the quote closing a value), where a plain
// loop beats the call of a library search; longer ones go to memchr.
inline std::size_t FindChar(std::string_view s, char c, std::size_t from)
{
    constexpr std::size_t kShortSearch = 24;
    const std::size_t stop = std::min(s.size(), from + kShortSearch);
    for (std::size_t i = from; i < stop; ++i)
        if (s[i] == c) return i;
    if (stop >= s.size()) return std::string_view::npos;
    const void* found = std::memchr(s.data() + stop, c, s.size() - stop);
    return found == nullptr ? std::string_view::npos : static_cast<const char*>(found) - s.data();
}

// A step reached the end of the bytes so far and more are to come.
struct TNeedMore {};

// The longest start a step decides on: "<![CDATA[".
constexpr std::size_t kLongestMarkupStart = 9;

}  // namespace

class TXmlScanner::TImpl {
public:
    explicit TImpl(TXmlScanEvents& events) : FEvents(events) {}
    std::size_t Scan(std::string_view bytes, bool final);

private:
    void Step();
    std::size_t FindOrEnd(char c, std::size_t from) const;
    std::size_t FindOrEnd(std::string_view s, std::size_t from) const;
    void NeedBytesAt(std::size_t pos) const;
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
    bool FFinal = true;
    bool FEnded = false;  // the part ended inside a tag: nothing after it is scanned
    TXmlScanEvents& FEvents;
    int FLevel = 0;
    bool FEmptyElement = false;
    std::string_view FContent;
    std::string FContentCopy;
    std::string FText;
    std::vector<TXmlScannedAttribute> FAttributes;
};

// The position of c or s from `from`; the end of the part when there is none.
std::size_t TXmlScanner::TImpl::FindOrEnd(char c, std::size_t from) const
{
    const std::size_t found = FindChar(FIn, c, from);
    if (found != std::string_view::npos) return found;
    if (!FFinal) throw TNeedMore{};
    return FIn.size();
}

std::size_t TXmlScanner::TImpl::FindOrEnd(std::string_view s, std::size_t from) const
{
    const std::size_t found = s.size() == 1 ? FindChar(FIn, s[0], from) : FIn.find(s, from);
    if (found != std::string_view::npos) return found;
    if (!FFinal) throw TNeedMore{};
    return FIn.size();
}

// The starts compared at a "<" must have arrived whole.
void TXmlScanner::TImpl::NeedBytesAt(std::size_t pos) const
{
    if (!FFinal && FIn.size() - pos < kLongestMarkupStart) throw TNeedMore{};
}

std::size_t TXmlScanner::TImpl::SkipPast(std::string_view terminator, std::size_t from) const
{
    const std::size_t found = FindOrEnd(terminator, from);
    return found == FIn.size() ? found : found + terminator.size();
}

// Comments, processing instructions (the XML declaration among them) and
// declarations such as DOCTYPE are passed over. FPos is at "<".
bool TXmlScanner::TImpl::SkipMarkup()
{
    if (FPos + 1 >= FIn.size() || (FIn[FPos + 1] != '!' && FIn[FPos + 1] != '?')) return false;
    const std::string_view at = FIn.substr(FPos);
    if (at.starts_with("<!--"))
        FPos = SkipPast("-->", FPos + 4);
    else if (at.starts_with("<![CDATA["))
        FPos = SkipPast("]]>", FPos + 9);
    else if (at.starts_with("<?"))
        FPos = SkipPast("?>", FPos + 2);
    else if (at.starts_with("<!"))
        FPos = SkipPast(">", FPos + 2);
    else
        return false;
    return true;
}

void TXmlScanner::TImpl::EndTag()
{
    FPos = SkipPast(">", FPos);
    if (--FLevel < 0) throw EXmlError("XML level < 0");
    FEvents.TagEnds();
}

// Reads up to the first ">" outside quotes; a "/" outside quotes is dropped
// and, right before ">", marks an empty-element tag. The content is a view of
// the input unless a "/" has to be dropped from its middle.
bool TXmlScanner::TImpl::ReadTagContent()
{
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
    if (FPos >= FIn.size()) {
        if (!FFinal) throw TNeedMore{};
        return false;  // the part ends inside a tag
    }
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

void TXmlScanner::TImpl::SplitAttributes(std::string_view rest)
{
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
            const std::size_t close = FindChar(rest, rest[i], i + 1);
            i = close == std::string_view::npos ? rest.size() : close + 1;
        } else {
            while (i < rest.size() && !IsXmlSpace(rest[i])) ++i;
        }
        const std::string_view value = Unquote(Trim(rest.substr(valueStart, i - valueStart)));
        if (!value.empty() && !name.starts_with("x14ac")) FAttributes.push_back({name, value});
    }
}

bool TXmlScanner::TImpl::Preserves() const
{
    for (const auto& a : FAttributes)
        if (a.Name == "xml:space") return a.Value == "preserve";
    return false;
}

void TXmlScanner::TImpl::AppendCData(std::string_view data)
{
    for (const char c : data) {
        if (c == '&')
            FText += "&amp;";
        else if (c == '<')
            FText += "&lt;";
        else if (c == '>')
            FText += "&gt;";
        else
            FText += c;
    }
}

// The bytes after a start tag up to the next tag; comments are left out and
// CDATA sections taken in. A view of the input unless there were any.
std::string_view TXmlScanner::TImpl::ReadText(bool preserve)
{
    const std::size_t start = FPos;
    FPos = FindOrEnd('<', FPos);
    std::string_view text = FIn.substr(start, FPos - start);
    if (StartsTextMarkup()) {
        FText.assign(text);
        ReadMarkedUpText();
        text = FText;
    }
    return preserve ? text : Trim(text);
}

bool TXmlScanner::TImpl::StartsTextMarkup() const
{
    if (FPos < FIn.size()) NeedBytesAt(FPos);
    const std::string_view at = FIn.substr(FPos);
    return at.starts_with("<![CDATA[") || at.starts_with("<!--");
}

void TXmlScanner::TImpl::ReadMarkedUpText()
{
    while (StartsTextMarkup()) {
        if (FIn.substr(FPos).starts_with("<!--")) {
            FPos = SkipPast("-->", FPos + 4);
        } else {
            const std::size_t close = FindOrEnd("]]>", FPos + 9);
            AppendCData(FIn.substr(FPos + 9, close - FPos - 9));
            FPos = close == FIn.size() ? close : close + 3;
        }
        const std::size_t next = FindOrEnd('<', FPos);
        FText.append(FIn.substr(FPos, next - FPos));
        FPos = next;
    }
}

std::size_t TXmlScanner::TImpl::Scan(std::string_view bytes, bool final)
{
    FIn = bytes;
    FFinal = final;
    while (!FEnded) {
        const std::size_t start = FindChar(FIn, '<', FPos);
        if (start == std::string_view::npos) {
            FPos = FIn.size();
            break;
        }
        FPos = start;
        try {
            Step();
        } catch (const TNeedMore&) {
            FPos = start;
            break;
        }
    }
    return FPos;
}

void TXmlScanner::TImpl::Step()
{
    NeedBytesAt(FPos);
    if (SkipMarkup()) return;
    if (FPos + 1 < FIn.size() && FIn[FPos + 1] == '/') return EndTag();
    if (!ReadTagContent()) {
        FEnded = true;
        FPos = FIn.size();
        return;
    }
    const std::string_view content = FContent;
    std::size_t nameEnd = 0;
    while (nameEnd < content.size() && !IsXmlSpace(content[nameEnd])) ++nameEnd;
    SplitAttributes(content.substr(nameEnd));
    const std::string_view name = Trim(content.substr(0, nameEnd));
    const bool empty = FEmptyElement;
    const std::string_view text = ReadText(Preserves());
    FEvents.TagBegins(name, FAttributes, text);
    if (empty)
        FEvents.TagEnds();
    else
        ++FLevel;
}

TXmlScanner::TXmlScanner(TXmlScanEvents& events) : FImpl(std::make_unique<TImpl>(events)) {}
TXmlScanner::~TXmlScanner() = default;
std::size_t TXmlScanner::Scan(std::string_view bytes, bool final) { return FImpl->Scan(bytes, final); }

void ScanXml(std::string_view bytes, TXmlScanEvents& events) { TXmlScanner(events).Scan(bytes, true); }

}  // namespace workbook
