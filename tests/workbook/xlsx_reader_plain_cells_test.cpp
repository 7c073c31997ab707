// Cells of the common form are read straight from their bytes; every cell
// must read as the tag tree reads it. A second space before an attribute
// leaves a cell to the tree without changing what it means, so each sheet is
// read both ways and the listings compared.
#include <gtest/gtest.h>

#include <limits>

#include "workbook/XLSError.h"
#include "workbook/XLSReaderDump.h"
#include "workbook/XLSWorkbook.h"
#include "workbook/xlsx/XLSXPlainCell.h"
#include "workbook/xlsx/XmlPartPipeline.h"
#include "xlsx_reader_package_test.h"
#include "xlsx_reader_texts_test.h"

namespace {

using namespace tbtest;
using namespace workbook;

std::string Replaced(std::string s, const std::string& from, const std::string& to)
{
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
    return s;
}

// The cell listing of the sheet, or the error of the read.
std::string Listing(const std::string& sheetData)
{
    TTempDir dir;
    TXLSWorkbook book;
    std::vector<TPackagePart> parts{{"xl/worksheets/sheet1.xml", SheetXml(sheetData)},
                                    {"xl/sharedStrings.xml", SharedStringsXml("<si><t>zero</t></si><si><t>one</t></si>")}};
    try {
        ReadPackage(dir, book, Package({{"Goods", "worksheets/sheet1.xml"}}, parts));
    } catch (const EXLSError& e) {
        return std::string("error: ") + e.what() + "\n" + CellListing(book);
    }
    return CellListing(book);
}

void ExpectSameBothWays(const std::string& sheetData)
{
    const std::string viaTree = Listing(Replaced(sheetData, "<c ", "<c  "));
    EXPECT_EQ(Listing(sheetData), viaTree) << sheetData;
    EXPECT_FALSE(viaTree.empty()) << sheetData;
}

TEST(XlsxPlainCells, every_kind_of_value_reads_as_through_the_tree)
{
    ExpectSameBothWays(R"(<row r="1"><c r="A1"><v>1e3</v></c><c r="B1"><v>abc</v></c><c r="C1" t="b"><v>1</v></c>)"
                       R"(<c r="D1" t="e"><v>#DIV/0!</v></c><c r="E1" t="e"><v>oops &amp;</v></c>)"
                       R"(<c r="F1" t="str"><v>a&amp;lt;b_x000D_</v></c><c r="G1" t="d"><v>2021-01-01</v></c>)"
                       R"(<c r="H1" t="d"><v>not a date</v></c><c r="I1" t="s"><v>1</v></c><c r="J1" t="n"><v> 2.5 </v></c></row>)");
    ExpectSameBothWays(R"(<row r="2"><c r="A2" t="inlineStr"><is><t> &#21830; _x0041_ </t></is></c>)"
                       R"(<c r="B2" t="inlineStr"><v>via v</v></c><c r="C2" t="inlineStr"></c><c r="D2" t="inlineStr"/>)"
                       R"(<c r="E2" t="str"><v></v></c><c r="F2" t="inlineStr"><is><t></t></is></c>)"
                       R"(<c r="G2" t="s"><is><t>not a shared string</t></is></c></row>)");
}

TEST(XlsxPlainCells, blank_cells_positions_and_styles_read_as_through_the_tree)
{
    ExpectSameBothWays(R"(<row r="3"><c r="C3"/><c r="D3"></c><c r="E3"><v></v></c><c r="F3" s="2"><v>1</v></c>)"
                       R"(<c><v>7</v></c><c r="bogus"><v>8</v></c><c r="$B$9" s="x"><v>9</v></c><c r="a10" s="-1"><v>10</v></c></row>)"
                       R"(<row><c><v>11</v></c></row><row r="20" ht="30"><c r="Z20">)" "\n  "
                       R"(<v>12</v>)" "\n" R"(</c></row>)");
}

TEST(XlsxPlainCells, faults_read_as_through_the_tree)
{
    ExpectSameBothWays(R"(<row r="1"><c r="A1"><v>1</v></c><c r="B1" t="s"><v>5</v></c></row>)");
    ExpectSameBothWays(R"(<row r="1"><c r="A1"><v>1</v></c><c r="B1" t="x"><v>5</v></c></row>)");
    ExpectSameBothWays(R"(<row r="1"><c r="A1"><v>1</v></c><c r="B1" r="C1"><v>5</v></c></row>)");
}

TEST(XlsxPlainCells, only_the_common_forms_are_read_from_bytes)
{
    EXPECT_EQ(ReadPlainCell(R"(<c r="A1" s="3" t="s"><v>0</v></c>)")->Length, 34u);
    EXPECT_EQ(ReadPlainCell(R"(<c r="A1"/>tail)")->Length, 11u);
    EXPECT_EQ(ReadPlainCell(R"(<c r="A1" t="inlineStr"><is><t> x </t></is></c>)")->Text, "x");
    for (const char* other : {R"(<c r="A1" xml:space="preserve"><v>1</v></c>)", R"(<c r='A1'><v>1</v></c>)",
                              R"(<c r="A1" r="B1"/>)", R"(<c r=""/>)", R"(<c r="A 1"/>)", R"(<c  r="A1"/>)",
                              R"(<c r="A1"><f>1+1</f><v>2</v></c>)", R"(<c r="A1"><v>1<!-- x --></v></c>)",
                              R"(<c r="A1"><v xml:space="preserve">1</v></c>)", R"(<c r="A1"><v>1</v>)", R"(<c r="A1"><v/></c>)",
                              R"(<cols/>)", R"(<x:c r="A1"/>)", R"(<c r="A1"><is><t>a</t><t>b</t></is></c>)"})
        EXPECT_FALSE(ReadPlainCell(other)) << other;
}

// Restores the reading defaults when a test ends, also when it fails.
struct TReadingDefaults {
    ~TReadingDefaults()
    {
        DefaultPipelineOptions() = {};
        PlainCellsEnabled() = true;
    }
};

// The error of the read, or its cells.
std::string ReadFile(const std::filesystem::path& file)
{
    TXLSWorkbook book;
    try {
        book.SetFilename(Utf8ToUtf16(file.string()));
        book.Read();
    } catch (const EXLSError& e) {
        return std::string("error: ") + e.what();
    }
    return CellListing(book);
}

// Every part through the worker in small chunks with plain cells from their
// bytes, and every part extracted whole and read through the tree alone.
TEST(XlsxPlainCells, corpus_packages_read_alike_both_ways)
{
    const TReadingDefaults restore;
    int files = 0;
    for (const char* folder : {"xlsx", "broken"}) {
        if (!std::filesystem::is_directory(CorpusDir() / folder)) GTEST_SKIP() << "no corpus at " << CorpusDir();
        for (const std::filesystem::path& file : PackageFiles(folder)) {
            DefaultPipelineOptions() = {.PipelinedFrom = 0, .Chunk = 4093};
            PlainCellsEnabled() = true;
            const std::string fast = ReadFile(file);
            DefaultPipelineOptions() = {.PipelinedFrom = std::numeric_limits<std::size_t>::max()};
            PlainCellsEnabled() = false;
            EXPECT_EQ(fast, ReadFile(file)) << file;
            ++files;
        }
    }
    EXPECT_GT(files, 100);
}

}  // namespace
