// Backups of a database with 100,000 goods and 1,000,000 sales lines (or as
// many lines as the second argument says; 600,000 make about 147 MB): the compressed, checked copy the program keeps, next to
// the plain checked copy earlier releases kept (made here the same way, page
// copy and quick check) and to gzip -1 / -6 of that plain copy; then restoring
// from either kind. Also the longest stretch between two progress calls (how
// long a window waiting on the copy could go without painting).
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <sqlite3.h>

#include "bench/app/BenchData.h"
#include "store/Backup.h"
#include "store/BackupPack.h"
#include "store/Connection.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 3;

// What an earlier release kept: the page copy, checked, not compressed.
void PlainCheckedCopy(const std::string& db, const std::string& to)
{
    sqlite3 *from = nullptr, *dest = nullptr;
    sqlite3_open_v2(db.c_str(), &from, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_open_v2(to.c_str(), &dest, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_backup* b = sqlite3_backup_init(dest, "main", from, "main");
    while (sqlite3_backup_step(b, 1024) == SQLITE_OK) {
    }
    sqlite3_backup_finish(b);
    sqlite3_exec(dest, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_close(dest);
    sqlite3_close(from);
    if (store::CheckDatabase(to, true) != "ok") throw std::runtime_error("plain copy does not check out");
}

double MB(std::uintmax_t bytes) { return static_cast<double>(bytes) / 1e6; }

double CpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

void Gzip(const std::string& plain, int level)
{
    std::string out = plain + ".peer.gz";
    double t = TimeCommand("gzip -" + std::to_string(level) + " -c '" + plain + "' > '" + out + "'");
    std::printf("  gzip -%d of the plain copy:           %6.0f ms, %6.1f MB\n", level, t * 1000,
                MB(fs::file_size(out)));
    fs::remove(out);
}

// Restores `copy` kRuns times; returns the median seconds.
double TimeRestores(store::BackupManager& m, const std::string& copy)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        m.Restore(copy);
        times.push_back(Seconds(t0));
    }
    return Median(times);
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/tallybrook-bench-start");
    const int lines = argc > 2 ? std::stoi(argv[2]) : 1000000;
    fs::create_directories(dir);
    std::string db = (dir / "ledgr.mdb").string();
    MakeShopDatabase(db, 100000, lines);
    store::BackupManager m(db);
    m.SetBudget(std::uint64_t(64) << 30);  // the runs below are not to be pruned away
    fs::create_directories(m.Folder());
    std::printf("database: %.1f MB (100,000 goods, %d sales lines), median of %d runs\n", MB(fs::file_size(db)), lines,
                kRuns);

    std::string plain = (fs::path(m.Folder()) / "ledgr-20000101-000000-manual.mdb").string();
    std::vector<double> plainTimes;
    for (int i = 0; i < kRuns; ++i) {
        fs::remove(plain);
        auto t0 = std::chrono::steady_clock::now();
        PlainCheckedCopy(db, plain);
        plainTimes.push_back(Seconds(t0));
    }
    std::printf("  plain checked copy (earlier releases): %6.0f ms, %6.1f MB\n", Median(plainTimes) * 1000,
                MB(fs::file_size(plain)));
    Gzip(plain, 1);
    Gzip(plain, 6);

    std::vector<double> totals, worstGaps;
    std::string packed;
    double cpu0 = CpuSeconds();
    for (int i = 0; i < kRuns; ++i) {
        if (!packed.empty()) fs::remove(packed);
        auto t0 = std::chrono::steady_clock::now();
        auto last = t0;
        double worst = 0;
        packed = m.Backup("manual", [&](int, int) {
            worst = std::max(worst, Seconds(last));
            last = std::chrono::steady_clock::now();
        });
        totals.push_back(Seconds(t0));
        worstGaps.push_back(std::max(worst, Seconds(last)));
    }
    double cpu = (CpuSeconds() - cpu0) / kRuns;
    std::printf("  compressed checked backup (kept now):  %6.0f ms, %6.1f MB (%.1f %% of the plain copy), "
                "CPU %.0f ms, longest pause between progress calls %.0f ms\n",
                Median(totals) * 1000, MB(fs::file_size(packed)),
                100.0 * static_cast<double>(fs::file_size(packed)) / static_cast<double>(fs::file_size(plain)),
                cpu * 1000, Median(worstGaps) * 1000);

    std::vector<double> unpackTimes;
    for (int i = 0; i < kRuns; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        if (store::UnpackFile(packed, "") != "ok") throw std::runtime_error("packed copy does not check out");
        unpackTimes.push_back(Seconds(t0));
    }
    std::printf("  checking the compressed stream alone:  %6.0f ms\n", Median(unpackTimes) * 1000);
    std::printf("restore (each makes a compressed copy of the current state first):\n");
    std::printf("  from the plain copy:      %6.0f ms\n", TimeRestores(m, plain) * 1000);
    std::printf("  from the compressed copy: %6.0f ms\n", TimeRestores(m, packed) * 1000);
    for (const auto& b : m.List(false)) fs::remove(b.path);
    return 0;
}
