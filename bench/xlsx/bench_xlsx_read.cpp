// Reads a package through the workbook component and takes every cell's
// text, as the goods import does; prints the wall and CPU time of the best
// of the runs, the peak resident set and the number of non-empty texts. The
// CPU time of the main thread alone is printed too; the reader runs on it
// alone, so the two agree.
#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <iostream>

#include "workbook/Workbook.h"

namespace {

size_t ReadAllTexts(const std::string& path)
{
    workbook::TXLSWorkbook book;
    book.SetFilename(workbook::Utf8ToUtf16(path));
    book.Read();
    size_t texts = 0;
    for (int s = 0; s < book.Sheets().Count(); ++s) {
        workbook::TSheet& sheet = book.Sheet(s);
        const workbook::TCellDimensions d = sheet.UsedArea();
        if (d.Empty) continue;
        for (uint32_t row = d.FirstRow; row <= d.LastRow; ++row)
            for (uint32_t col = d.FirstCol; col <= d.LastCol; ++col) texts += !sheet.GetAsString(col, row).empty();
    }
    return texts;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: bench_xlsx_read FILE.xlsx [RUNS]\n";
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    double bestWall = 1e9, bestCpu = 1e9, bestMain = 1e9;
    size_t texts = 0;
    for (int i = 0; i < runs; ++i) {
        const auto wall = std::chrono::steady_clock::now();
        const std::clock_t cpu = std::clock();
        const double main = ThreadCpuSeconds();
        texts = ReadAllTexts(argv[1]);
        bestCpu = std::min(bestCpu, double(std::clock() - cpu) / CLOCKS_PER_SEC);
        bestMain = std::min(bestMain, ThreadCpuSeconds() - main);
        bestWall = std::min(bestWall, std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::cout << "tallybrook: " << texts << " texts, best of " << runs << " in one process: " << bestWall << " s wall, "
              << bestCpu << " s CPU (" << bestMain << " s in the main thread), " << usage.ru_maxrss / 1024.0
              << " MiB peak RSS\n";
}
