// Reads a workbook through the component (Read) and takes every cell's text
// with GetAsString, as the goods import does: every position of each sheet's
// used area, row by row. Prints the best of the runs for the read, the texts
// and the whole (read + texts + freeing the workbook), in wall and CPU time,
// and the peak memory of the process during the first run (later runs reuse
// or fragment the heap, which says nothing about one read).
//
//   bench_workbook_read FILE [RUNS]
#include "workbook/Workbook.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sys/resource.h>

namespace {

struct TTimes {
    double Wall = 1e30, Cpu = 1e30;
};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class TStopwatch {
public:
    void Stop(TTimes& best) const
    {
        best.Wall = std::min(best.Wall, WallSeconds() - FWall);
        best.Cpu = std::min(best.Cpu, CpuSeconds() - FCpu);
    }

private:
    double FWall = WallSeconds(), FCpu = CpuSeconds();
};

struct TResult {
    size_t Texts = 0;
    size_t Units = 0;
};

// Every position of the used area, as a caller that knows nothing of the
// sheet's layout would read it.
TResult AllTexts(workbook::TXLSWorkbook& book)
{
    TResult r;
    for (int s = 0; s < book.Sheets().Count(); ++s) {
        workbook::TSheet& sheet = book.Sheet(s);
        const workbook::TCellDimensions d = sheet.UsedArea();
        if (d.Empty) continue;
        for (uint32_t row = d.FirstRow; row <= d.LastRow; ++row)
            for (uint32_t col = d.FirstCol; col <= d.LastCol; ++col) {
                std::u16string text = sheet.GetAsString(col, row);
                r.Texts += !text.empty();
                r.Units += text.size();
            }
    }
    return r;
}

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s FILE [RUNS]\n", argv[0]);
        return 1;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    TTimes read, texts, whole;
    TResult result;
    double peak = 0;
    for (int i = 0; i < runs; ++i) {
        TStopwatch all;
        {
            auto book = std::make_unique<workbook::TXLSWorkbook>();
            book->SetFilename(workbook::Utf8ToUtf16(argv[1]));
            TStopwatch reading;
            book->Read();
            reading.Stop(read);
            TStopwatch taking;
            result = AllTexts(*book);
            taking.Stop(texts);
        }
        all.Stop(whole);
        if (i == 0) peak = PeakMegabytes();
    }
    double mb = std::filesystem::file_size(argv[1]) / 1048576.0;
    std::printf("tallybrook in-process (best of %d): read %.3f s wall %.3f s CPU, texts %.3f s wall %.3f s CPU, "
                "whole %.3f s wall %.3f s CPU; %zu texts, %zu UTF-16 units; peak RSS %.1f MB (limit 4 x %.1f MB + 50 "
                "MB = %.1f MB)\n",
                runs, read.Wall, read.Cpu, texts.Wall, texts.Cpu, whole.Wall, whole.Cpu, result.Texts, result.Units,
                peak, mb, 4 * mb + 50);
    return 0;
}
