// tallybrook-xls: "write" gives exactly the application's export file, and
// the inspection commands and errors behave as documented.
#include "TestHelpers.h"

#include "workbook/Utf16.h"
#include "workbook/model/WindowResources.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace workbook;
using namespace tbtest;

#ifdef TB_XLS_TOOL

namespace {

struct TRun {
    int Status;
    std::string Output;
};

TRun Tool(const std::string& args)
{
    FILE* p = popen((std::string(TB_XLS_TOOL) + " " + args + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, out};
}

}  // namespace

TEST(XLSTool, write_produces_the_file_the_export_writes)
{
    TTempDir dir;
    std::ofstream(dir / "in.tsv") << "订单编号\t商品名称\r\nTB001\ttab\\there\\\\and\\nline\n\tlast\n";
    TRun run = Tool("write " + (dir / "out.xls").string() + " < " + (dir / "in.tsv").string());
    ASSERT_EQ(run.Status, 0) << run.Output;

    TXLSWorkbook book;
    LoadFromWindowResources(book);
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(0, 0, u"订单编号");
    sheet.SetAsString(1, 0, u"商品名称");
    sheet.SetAsString(0, 1, u"TB001");
    sheet.SetAsString(1, 1, u"tab\there\\and\nline");
    sheet.SetAsString(0, 2, u"");
    sheet.SetAsString(1, 2, u"last");
    std::vector<uint8_t> expected;
    book.WriteToStream(expected);
    EXPECT_EQ(ReadBytes(dir / "out.xls"), expected);
}

TEST(XLSTool, write_reads_input_past_its_read_block_and_a_last_line_without_newline)
{
    TTempDir dir;
    TXLSWorkbook book;
    LoadFromWindowResources(book);
    TSheet& sheet = book.Sheet(0);
    std::string tsv;
    const uint32_t rows = 30000;  // about 1.2 MB of input
    for (uint32_t r = 0; r < rows; ++r) {
        std::string order = "TB" + std::to_string(100000 + r), name = "商品名称" + std::to_string(r % 500);
        std::string extra(r % 7, 'x');
        tsv += order + "\t" + name + "\t" + extra + (r + 1 < rows ? "\n" : "");
        sheet.SetAsString(0, r, Utf8ToUtf16(order));
        sheet.SetAsString(1, r, Utf8ToUtf16(name));
        sheet.SetAsString(2, r, Utf8ToUtf16(extra));
    }
    std::ofstream(dir / "in.tsv", std::ios::binary) << tsv;
    TRun run = Tool("write " + (dir / "out.xls").string() + " < " + (dir / "in.tsv").string());
    ASSERT_EQ(run.Status, 0) << run.Output;
    std::vector<uint8_t> expected;
    book.WriteToStream(expected);
    EXPECT_EQ(ReadBytes(dir / "out.xls"), expected);
}

// The input is read ahead while cells are stored: a cell that cannot be
// stored must end the command at once, with the old file left as it was.
TEST(XLSTool, write_stops_at_a_cell_past_the_last_column_and_keeps_the_old_file)
{
    TTempDir dir;
    std::string tsv;
    for (int r = 0; r < 20000; ++r) tsv += "TB" + std::to_string(r) + "\tx\n";
    tsv.insert(tsv.find("TB12000\t"), std::string(16384, '\t') + "past the last column\n");
    std::ofstream(dir / "in.tsv", std::ios::binary) << tsv;
    std::ofstream(dir / "out.xls") << "old";
    TRun run = Tool("write " + (dir / "out.xls").string() + " < " + (dir / "in.tsv").string());
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "Line 12001 has a field in column 257, past the 256 columns a sheet of an Excel 97-2003 "
                          "(.xls) file holds; nothing was written (an .xlsx file holds 16384 columns)\n");
    std::vector<uint8_t> old = ReadBytes(dir / "out.xls");
    EXPECT_EQ(std::string(old.begin(), old.end()), "old");
}

TEST(XLSTool, records_and_streams_describe_a_file)
{
    TTempDir dir;
    TRun write = Tool("write " + (dir / "w.xls").string() + " < /dev/null");
    ASSERT_EQ(write.Status, 0) << write.Output;
    TRun records = Tool("records " + (dir / "w.xls").string());
    EXPECT_EQ(records.Status, 0);
    EXPECT_EQ(records.Output.substr(0, 34), "00000000 0809 16\n00000014 005C 112");
    EXPECT_EQ(records.Output.substr(records.Output.size() - 8), " 000A 0\n");
    TRun streams = Tool("streams " + (dir / "w.xls").string());
    EXPECT_EQ(streams.Status, 0);
    EXPECT_NE(streams.Output.find("stream\t"), std::string::npos);
    EXPECT_NE(streams.Output.find("\tWorkbook\n"), std::string::npos);
}

TEST(XLSTool, errors_go_to_standard_error_with_status_1_and_help_lists_every_command)
{
    TTempDir dir;
    TRun missing = Tool("records " + (dir / "none.xls").string());
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Output.rfind("Cannot open file", 0), 0u) << missing.Output;
    EXPECT_EQ(Tool("frobnicate").Status, 1);
    EXPECT_EQ(Tool("write").Status, 1);
    TRun help = Tool("--help");
    EXPECT_EQ(help.Status, 0);
    for (const char* command : {"write OUT.xls", "records FILE", "streams FILE"})
        EXPECT_NE(help.Output.find(command), std::string::npos) << command;
}

namespace {

// Lines "title" then "r<i>\t<i>" for i = 1..count.
void WriteNumberedLines(const std::filesystem::path& file, int count)
{
    std::string tsv = "编号\t值\n";
    for (int i = 1; i <= count; ++i) tsv += "r" + std::to_string(i) + "\t" + std::to_string(i) + "\n";
    std::ofstream(file, std::ios::binary) << tsv;
}

std::string FirstBytes(const std::filesystem::path& file, size_t n)
{
    std::vector<uint8_t> bytes = ReadBytes(file);
    return std::string(bytes.begin(), bytes.begin() + long(std::min(n, bytes.size())));
}

}  // namespace

TEST(XLSTool, write_xlsx_writes_a_package_with_every_line)
{
    if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no openpyxl";
    TTempDir dir;
    WriteNumberedLines(dir / "in.tsv", 70000);
    TRun run = Tool("write " + (dir / "big.xlsx").string() + " < " + (dir / "in.tsv").string());
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(FirstBytes(dir / "big.xlsx", 4), std::string("PK\x03\x04"));
    std::string out = RunPython(dir, "import openpyxl\n"
                                     "b = openpyxl.load_workbook('" +
                                         (dir / "big.xlsx").string() +
                                         "', read_only=True)\n"
                                         "rows = list(b.worksheets[0].values)\n"
                                         "print(len(b.worksheets), len(rows), rows[0][0], rows[-1][0], rows[-1][1])\n");
    EXPECT_EQ(out, "1 70001 编号 r70000 70000\n");
}

TEST(XLSTool, write_xls_goes_on_in_further_sheets_each_with_the_first_line)
{
    if (!HavePythonModules()) GTEST_SKIP() << "no xlrd";
    TTempDir dir;
    WriteNumberedLines(dir / "in.tsv", 140000);
    TRun run = Tool("write " + (dir / "big.xls").string() + " < " + (dir / "in.tsv").string());
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(FirstBytes(dir / "big.xls", 4), std::string("\xD0\xCF\x11\xE0"));
    std::string out = RunPython(dir, "import xlrd\n"
                                     "b = xlrd.open_workbook('" +
                                         (dir / "big.xls").string() +
                                         "')\n"
                                         "for s in b.sheets():\n"
                                         "    print(s.name, s.nrows, s.cell_value(0, 0), s.cell_value(1, 0), "
                                         "s.cell_value(s.nrows - 1, 0))\n");
    EXPECT_EQ(out, "Sheet1 65536 编号 r1 r65535\n"
                   "Sheet2 65536 编号 r65536 r131070\n"
                   "Sheet3 8931 编号 r131071 r140000\n");
}

TEST(XLSTool, write_refuses_a_line_wider_than_an_xls_sheet_and_writes_nothing)
{
    TTempDir dir;
    std::ofstream(dir / "in.tsv") << "a\n" << std::string(256, '\t') << "x\n";
    TRun run = Tool("write " + (dir / "wide.xls").string() + " < " + (dir / "in.tsv").string());
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find("Line 2 has a field in column 257"), std::string::npos) << run.Output;
    EXPECT_FALSE(std::filesystem::exists(dir / "wide.xls"));
    run = Tool("write " + (dir / "wide.xlsx").string() + " < " + (dir / "in.tsv").string());
    EXPECT_EQ(run.Status, 0) << run.Output;
}

TEST(XLSTool, copy_writes_the_format_the_new_name_asks_for)
{
    TTempDir dir;
    WriteNumberedLines(dir / "in.tsv", 3);
    ASSERT_EQ(Tool("write " + (dir / "a.xls").string() + " < " + (dir / "in.tsv").string()).Status, 0);
    ASSERT_EQ(Tool("copy " + (dir / "a.xls").string() + " " + (dir / "b.xlsx").string()).Status, 0);
    EXPECT_EQ(FirstBytes(dir / "b.xlsx", 4), std::string("PK\x03\x04"));
    ASSERT_EQ(Tool("copy " + (dir / "b.xlsx").string() + " " + (dir / "c.xls").string()).Status, 0);
    EXPECT_EQ(FirstBytes(dir / "c.xls", 4), std::string("\xD0\xCF\x11\xE0"));
    TRun cat = Tool("cat " + (dir / "c.xls").string());
    EXPECT_EQ(cat.Output, Tool("cat " + (dir / "a.xls").string()).Output);
    EXPECT_NE(cat.Output.find("r3"), std::string::npos) << cat.Output;
}

TEST(XLSTool, copy_refuses_a_sheet_too_long_for_xls)
{
    TTempDir dir;
    WriteNumberedLines(dir / "in.tsv", 70000);
    ASSERT_EQ(Tool("write " + (dir / "big.xlsx").string() + " < " + (dir / "in.tsv").string()).Status, 0);
    TRun run = Tool("copy " + (dir / "big.xlsx").string() + " " + (dir / "big.xls").string());
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "Sheet \"Sheet1\" has cells up to row 70001, column 2; a sheet of an Excel 97-2003 (.xls) "
                          "file holds 65536 rows and 256 columns. Nothing was written; write an .xlsx file instead.\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "big.xls"));
}

#endif
