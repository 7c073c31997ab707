// write OUT.xls: the file the application's export writes, from text on stdin.
#include "Commands.h"

#include "workbook/Utf16.h"
#include "workbook/WindowResources.h"
#include "workbook/XLSWorkbook.h"

#include <iostream>

namespace xlstool {

std::string DecodeField(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
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

namespace {

int RunWrite(const std::vector<std::string>& args)
{
    workbook::TXLSWorkbook book;
    workbook::LoadFromWindowResources(book);
    workbook::TSheet& sheet = book.Sheet(0);
    std::string line;
    uint32_t row = 0;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto fields = SplitFields(line);
        for (uint32_t col = 0; col < fields.size(); ++col)
            sheet.SetAsString(col, row, workbook::Utf8ToUtf16(DecodeField(fields[col])));
        ++row;
    }
    book.SetFilename(workbook::Utf8ToUtf16(args[0]));
    book.Write();
    return 0;
}

}  // namespace

std::vector<TCommand> WriteCommands()
{
    return {{"write", "OUT.xls",
             "Reads UTF-8 tab-separated lines from standard input and writes OUT.xls as the application's export "
             "does: field c of line r becomes the text cell at column c, row r of the first sheet (escapes \\t \\r "
             "\\n \\\\ decoded; a line ending CR LF loses its CR).",
             1, RunWrite}};
}

}  // namespace xlstool
