// Helpers of the package reader and writer tests: a workbook's sheet names
// and cell texts in the corpus' expected-text form, and the corpus files.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "workbook/Utf16.h"
#include "workbook/model/Model.h"

namespace tbtest {

inline std::filesystem::path CorpusDir() { return TB_CORPUS_DIR; }

inline std::string FileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string EscapedText(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// Packages of a corpus folder (.xlsx and .xlsm), sorted.
inline std::vector<std::filesystem::path> PackageFiles(const std::string& folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(CorpusDir() / folder)) {
        const std::string ext = e.path().extension().string();
        if (ext == ".xlsx" || ext == ".xlsm") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct TBookTexts {
    std::string Sheets;  // one name a line
    std::string Tsv;     // sheet, row, column, text of every non-empty cell
};

inline TBookTexts BookTexts(workbook::TXLSWorkbook& book)
{
    TBookTexts texts;
    for (int i = 0; i < book.Sheets().Count(); ++i) {
        workbook::TSheet& sheet = book.Sheet(i);
        texts.Sheets += EscapedText(workbook::Utf16ToUtf8(sheet.Name())) + "\n";
        std::vector<std::pair<uint32_t, uint32_t>> positions;
        sheet.Cells().BeginIterate();
        for (workbook::TCell* c = sheet.Cells().GetNext(); c != nullptr; c = sheet.Cells().GetNext())
            positions.emplace_back(c->Row(), c->Col());
        for (const auto& [row, col] : positions) {
            const std::string text = workbook::Utf16ToUtf8(sheet.GetAsString(col, row));
            if (!text.empty())
                texts.Tsv += std::to_string(i) + "\t" + std::to_string(row) + "\t" + std::to_string(col) + "\t" +
                             EscapedText(text) + "\n";
        }
    }
    return texts;
}

inline TBookTexts ReadBookTexts(const std::filesystem::path& path)
{
    workbook::TXLSWorkbook book;
    book.SetFilename(workbook::Utf8ToUtf16(path.string()));
    book.Read();
    return BookTexts(book);
}

}  // namespace tbtest
