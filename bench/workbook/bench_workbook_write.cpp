// Writes a table of text cells shaped like a shop's sales lines through the
// same path as the application's export (LoadFromWindowResources, AsString,
// Write) and reports wall time, file size and peak memory.
//
//   bench_workbook_write OUT.xls [ROWS] [--tsv OUT.tsv]
//
// ROWS (default 65535) includes the header row. --tsv also writes the same
// table (header row first) as tab-separated text, for timing other programs
// and `tallybrook-xls write` on equal input. The table's texts are made
// before the clock starts, as the export gets them from its query.
#include "workbook/Workbook.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kColumns = 10;

std::vector<std::string> GoodsNames()
{
    const char* kinds[] = {"纯棉T恤", "牛仔裤", "运动鞋", "保温杯", "蓝牙耳机",
                           "手机壳",  "雨伞",   "双肩包", "毛巾",   "台灯"};
    const char* colours[] = {"黑色", "白色", "红色", "蓝色", "灰色"};
    const char* sizes[] = {"S", "M", "L", "XL", "XXL", "均码", "大号", "小号", "中号", "加大"};
    std::vector<std::string> names;
    for (const char* k : kinds)
        for (const char* c : colours)
            for (const char* s : sizes) names.push_back(std::string(c) + k + " " + s);
    return names;  // 500 names
}

// One sales line: order, goods name, code, sale price, cost, quantity,
// attribute, remark, registration time, shop.
std::vector<std::string> Line(int i, const std::vector<std::string>& names, std::mt19937& rng)
{
    int g = int(rng() % names.size());
    char order[32], code[16], price[16], cost[16], qty[8], when[32];
    std::snprintf(order, sizeof order, "TB%012d", 310000000 + i * 7);
    std::snprintf(code, sizeof code, "SP%05d", g);
    std::snprintf(price, sizeof price, "%d.%02d", 10 + g % 190, (g * 7) % 100);
    std::snprintf(cost, sizeof cost, "%d.%02d", 5 + g % 120, (g * 3) % 100);
    std::snprintf(qty, sizeof qty, "%d", 1 + int(rng() % 5));
    std::snprintf(when, sizeof when, "2026-%02d-%02d %02d:%02d:%02d", 1 + i / 6000 % 12, 1 + i / 200 % 28, i / 60 % 24,
                  i % 60, (i * 13) % 60);
    const char* attrs[] = {"包邮", "满减", "秒杀", ""};
    const char* remarks[] = {"", "", "", "顾客要求尽快发货", "赠品已送"};
    return {order, names[size_t(g)], code,           price, cost,
            qty,   attrs[i % 4],     remarks[i % 5], when,  i % 2 ? "旗舰店" : "分店"};
}

// The cells' texts row by row (header first) in one buffer, so the table
// itself adds little to the peak memory measured.
struct TTable {
    std::u16string Text;
    std::vector<uint32_t> Ends;
    std::u16string_view Cell(size_t i) const
    {
        size_t start = i ? Ends[i - 1] : 0;
        return std::u16string_view(Text).substr(start, Ends[i] - start);
    }
};

// The table; also written as tab-separated lines to tsvPath unless it is empty.
TTable MakeTable(int rows, const std::string& tsvPath)
{
    auto names = GoodsNames();
    std::mt19937 rng(42);
    const char* header[kColumns] = {"订单编号", "商品名称", "商品编码", "售价",     "进价",
                                    "购买数量", "商品属性", "备注",     "登记时间", "店铺"};
    std::ofstream tsv;
    if (!tsvPath.empty()) tsv.open(tsvPath, std::ios::binary);
    TTable table;
    table.Ends.reserve(size_t(rows) * kColumns);
    for (int r = 0; r < rows; ++r) {
        auto line = r == 0 ? std::vector<std::string>(header, header + kColumns) : Line(r, names, rng);
        for (int c = 0; c < kColumns; ++c) {
            table.Text += workbook::Utf8ToUtf16(line[size_t(c)]);
            table.Ends.push_back(uint32_t(table.Text.size()));
            if (tsv.is_open()) tsv << line[size_t(c)] << (c + 1 < kColumns ? '\t' : '\n');
        }
    }
    return table;
}

// A field of /proc/self/status in kB (VmRSS: now, VmHWM: the peak).
long StatusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

// Starts the peak of VmHWM afresh, so it leaves out making the table.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// CPU time of the process so far; on a busy machine it shows what the wall
// time would be on an idle one.
double CpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s OUT.xls [ROWS] [--tsv OUT.tsv]\n", argv[0]);
        return 1;
    }
    int rows = argc > 2 && argv[2][0] != '-' ? std::atoi(argv[2]) : 65535;
    std::string tsvPath;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--tsv") == 0) tsvPath = argv[i + 1];
    TTable table = MakeTable(rows, tsvPath);
    ResetPeak();
    long baseKilobytes = StatusKilobytes("VmRSS:");

    double cpuStart = CpuMilliseconds();
    auto start = std::chrono::steady_clock::now();
    workbook::TXLSWorkbook book;
    workbook::LoadFromWindowResources(book);
    workbook::TSheet& sheet = book.Sheet(0);
    for (size_t i = 0; i < table.Ends.size(); ++i)
        sheet.SetAsString(uint32_t(i % kColumns), uint32_t(i / kColumns), table.Cell(i));
    auto filled = std::chrono::steady_clock::now();
    double fillCpu = CpuMilliseconds() - cpuStart;
    book.SetFilename(workbook::Utf8ToUtf16(argv[1]));
    book.Write();
    auto written = std::chrono::steady_clock::now();
    double cpu = CpuMilliseconds() - cpuStart;

    using ms = std::chrono::duration<double, std::milli>;
    auto size = std::filesystem::file_size(argv[1]);
    std::printf(
        "rows %d x %d columns: fill %.1f ms wall %.1f ms CPU, write %.1f ms wall %.1f ms CPU, "
        "total %.1f ms wall %.1f ms CPU; file %.2f MB; peak RSS %.1f MB (%.1f MB of it there before the workbook; "
        "limit 3 x file + 50 MB = %.1f MB)\n",
        rows, kColumns, ms(filled - start).count(), fillCpu, ms(written - filled).count(), cpu - fillCpu,
        ms(written - start).count(), cpu, size / 1048576.0, StatusKilobytes("VmHWM:") / 1024.0, baseKilobytes / 1024.0,
        3 * size / 1048576.0 + 50);
    return 0;
}
