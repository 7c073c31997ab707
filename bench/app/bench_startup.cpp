// Start to a visible login window with 100,000 goods and 1,000,000 sales
// lines: runs the program with TALLYBROOK_EXIT_WHEN_SHOWN and reports the median.
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/app/BenchData.h"

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    fs::path exe = fs::absolute(fs::path(argv[0]).parent_path() / "tallybrook");
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/tallybrook-bench-start");
    fs::create_directories(dir);
    MakeShopDatabase((dir / "ledgr.mdb").string(), 100000, 1000000);
    std::vector<double> times;
    std::string cmd = "cd " + dir.string() + " && QT_QPA_PLATFORM=offscreen TALLYBROOK_EXIT_WHEN_SHOWN=1 " +
                      exe.string() + " > /dev/null 2>&1";
    for (int i = 0; i < 11; ++i) times.push_back(TimeCommand(cmd));
    std::printf("start to visible login window (100,000 goods, 1,000,000 sales lines): median %.0f ms\n",
                Median(times) * 1000);
    return 0;
}
