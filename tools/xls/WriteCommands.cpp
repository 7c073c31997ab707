// write OUT.xls: the file the application's export writes, from text on stdin.
#include "Commands.h"

#include "workbook/Utf16.h"
#include "workbook/WindowResources.h"
#include "workbook/XLSWorkbook.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace xlstool {

namespace {

// Appends field to out with the escapes \t \r \n \\ decoded; any other
// backslash stays as it is.
void AppendDecoded(std::string_view field, std::string& out)
{
    for (size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        char e = field[++i];
        if (e == 't')
            out += '\t';
        else if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else if (e == '\\')
            out += '\\';
        else
            out += {'\\', e};
    }
}

// Calls onLine with each line of in, without its LF. Input is read in large
// blocks; a last line without LF counts when it is not empty.
template <class F> void ForEachLine(std::FILE* in, F onLine)
{
    std::vector<char> buffer(1 << 20);
    size_t have = 0;
    for (;;) {
        if (have == buffer.size()) buffer.resize(buffer.size() * 2);
        size_t got = std::fread(buffer.data() + have, 1, buffer.size() - have, in);
        have += got;
        size_t start = 0;
        while (const void* lf = std::memchr(buffer.data() + start, '\n', have - start)) {
            size_t end = size_t(static_cast<const char*>(lf) - buffer.data());
            onLine(std::string_view(buffer.data() + start, end - start));
            start = end + 1;
        }
        if (got == 0) {
            if (start < have) onLine(std::string_view(buffer.data() + start, have - start));
            return;
        }
        std::memmove(buffer.data(), buffer.data() + start, have - start);
        have -= start;
    }
}

// Stores the fields of one line as text cells of a row, converting each
// field through buffers that are reused from cell to cell.
class TRowWriter {
public:
    explicit TRowWriter(workbook::TSheet& sheet) : FSheet(sheet) {}
    void Write(std::string_view line, uint32_t row)
    {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (uint32_t col = 0;; ++col) {
            size_t tab = line.find('\t');
            WriteCell(line.substr(0, tab), col, row);
            if (tab == std::string_view::npos) return;
            line.remove_prefix(tab + 1);
        }
    }

private:
    void WriteCell(std::string_view field, uint32_t col, uint32_t row)
    {
        if (field.find('\\') != std::string_view::npos) {
            FDecoded.clear();
            AppendDecoded(field, FDecoded);
            field = FDecoded;
        }
        workbook::Utf8ToUtf16(field, FText);
        FSheet.SetAsString(col, row, FText);
    }

    workbook::TSheet& FSheet;
    std::string FDecoded;
    std::u16string FText;
};

int RunWrite(const std::vector<std::string>& args)
{
    workbook::TXLSWorkbook& book = WorkbookKeptToExit();
    workbook::LoadFromWindowResources(book);
    TRowWriter writer(book.Sheet(0));
    uint32_t row = 0;
    ForEachLine(stdin, [&](std::string_view line) { writer.Write(line, row++); });
    book.SetFilename(workbook::Utf8ToUtf16(args[0]));
    book.Write();
    return 0;
}

}  // namespace

std::string DecodeField(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    AppendDecoded(field, out);
    return out;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::vector<TCommand> WriteCommands()
{
    return {{"write", "OUT.xls",
             "Reads UTF-8 tab-separated lines from standard input and writes OUT.xls as the application's export "
             "does: field c of line r becomes the text cell at column c, row r of the first sheet (escapes \\t \\r "
             "\\n \\\\ decoded; a line ending CR LF loses its CR).",
             1, RunWrite}};
}

}  // namespace xlstool
