// Reads a package through the workbook component and takes every cell's
// text, as the goods import does; prints the wall and CPU time of the best
// of the runs and the number of non-empty texts.
#include <chrono>
#include <ctime>
#include <iostream>

#include "workbook/Utf16.h"
#include "workbook/XLSWorkbook.h"

namespace {

size_t ReadAllTexts(const std::string& path)
{
    workbook::TXLSWorkbook book;
    book.SetFilename(workbook::Utf8ToUtf16(path));
    book.Read();
    size_t texts = 0;
    for (int s = 0; s < book.Sheets().Count(); ++s) {
        workbook::TSheet& sheet = book.Sheet(s);
        const workbook::TCellDimensions d = sheet.Cells().CalcDimensions();
        if (d.Empty) continue;
        for (uint32_t row = d.FirstRow; row <= d.LastRow; ++row)
            for (uint32_t col = d.FirstCol; col <= d.LastCol; ++col) texts += !sheet.GetAsString(col, row).empty();
    }
    return texts;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: bench_xlsx_read FILE.xlsx [RUNS]\n";
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    double bestWall = 1e9, bestCpu = 1e9;
    size_t texts = 0;
    for (int i = 0; i < runs; ++i) {
        const auto wall = std::chrono::steady_clock::now();
        const std::clock_t cpu = std::clock();
        texts = ReadAllTexts(argv[1]);
        bestCpu = std::min(bestCpu, double(std::clock() - cpu) / CLOCKS_PER_SEC);
        bestWall = std::min(bestWall, std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count());
    }
    std::cout << "tallybrook: " << texts << " texts, best of " << runs << ": " << bestWall << " s wall, " << bestCpu << " s CPU\n";
}
