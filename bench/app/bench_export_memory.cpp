// The sales export of all lines of a large sales table: how long it takes
// and what it leaves behind. Prints the process's resident memory after the
// query (the data set the window holds), at the peak, and once the file is
// saved, for an .xls file (16 sheets) and an .xlsx file.
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/QueryExport.h"
#include "app/SalesQuery.h"
#include "bench/app/BenchData.h"
#include "store/Connection.h"
#include "store/DataSet.h"
#include "workbook/Workbook.h"

namespace {

// A value of /proc/self/status in MB ("VmRSS", "VmHWM").
double StatusMB(const std::string& key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::string file = "/tmp/tallybrook-bench-export-" + std::to_string(lines) + ".mdb";
    MakeShopDatabase(file, 1000, lines);
    store::Connection c(file);
    store::DataSet found(c), totals(c);
    RunSalesQuery(c, found, totals, {});
    std::printf("%d sales lines listed: %.0f MB resident\n", found.RecordCount(), StatusMB("VmRSS"));
    workbook::TXLSWorkbook xls;
    workbook::LoadFromWindowResources(xls);
    for (const char* out : {"/tmp/tallybrook-bench-export.xls", "/tmp/tallybrook-bench-export.xlsx"}) {
        auto t0 = std::chrono::steady_clock::now();
        const TExportResult r = ExportDataSet(found, kSalesExport, xls, QString::fromUtf8(out));
        std::printf("%s: %d rows on %d sheets, %.1f s, %.0f MB file; resident after %.0f MB, peak so far "
                    "%.0f MB\n",
                    out, r.rows, r.sheets, Seconds(t0), double(std::filesystem::file_size(out)) / 1e6,
                    StatusMB("VmRSS"), StatusMB("VmHWM"));
        std::filesystem::remove(out);
    }
    return 0;
}
