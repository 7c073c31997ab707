// A checked backup of a database with 100,000 goods and 1,000,000 sales
// lines: total time, and the longest stretch between two progress calls
// (how long a window waiting on the copy could go without painting).
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>

#include "bench/app/BenchData.h"
#include "store/Backup.h"
#include "store/Connection.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/tallybrook-bench-start");
    fs::create_directories(dir);
    std::string db = (dir / "ledgr.mdb").string();
    MakeShopDatabase(db, 100000, 1000000);
    store::BackupManager m(db);
    std::vector<double> totals, worstGaps;
    for (int i = 0; i < 5; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        auto last = t0;
        double worst = 0;
        std::string path = m.Backup("manual", [&](int, int) {
            worst = std::max(worst, Seconds(last));
            last = std::chrono::steady_clock::now();
        });
        totals.push_back(Seconds(t0));
        worstGaps.push_back(std::max(worst, Seconds(last)));  // the check of the copy runs after the last step
        fs::remove(path);
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                 static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    std::printf("CPU time per backup (user + system, mean of 5): %.0f ms\n", cpu / 5 * 1000);
    std::printf("checked backup of %.0f MB (100,000 goods, 1,000,000 sales lines): median %.0f ms, "
                "longest pause between steps %.0f ms\n",
                static_cast<double>(fs::file_size(db)) / 1e6, Median(totals) * 1000, Median(worstGaps) * 1000);
    return 0;
}
