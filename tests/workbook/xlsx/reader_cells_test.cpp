// The package reader on small packages: cells of every kind, shared and
// inline strings, sheets found through relationships or by fixed names, the
// saved elements, and the failures with their messages.
#include <gtest/gtest.h>

#include "workbook/model/SST.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/XLSXPackage.h"
#include "reader_package_test.h"

namespace {

using namespace tbtest;
using namespace workbook;

std::string ErrorOf(TXLSWorkbook& book, const std::vector<TPackagePart>& parts)
{
    TTempDir dir;
    try {
        ReadPackage(dir, book, parts);
    } catch (const EXLSError& e) {
        return e.what();
    }
    return "";
}

std::vector<TPackagePart> OneSheet(const std::string& sheetData, const std::string& strings = "",
                                   const std::string& after = "")
{
    std::vector<TPackagePart> extra{{"xl/worksheets/sheet1.xml", SheetXml(sheetData, after)}};
    if (!strings.empty()) extra.push_back({"xl/sharedStrings.xml", SharedStringsXml(strings)});
    return Package({{"Goods", "worksheets/sheet1.xml"}}, extra);
}

TEST(XlsxReaderCells, shared_string_and_number_cells)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                OneSheet(R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1"><v>12.5</v></c></row>)",
                         "<si><t>备注</t></si>"));
    EXPECT_EQ(book.Version(), xvExcel2007);
    TSheet& sheet = book.Sheet(0);
    EXPECT_EQ(sheet.Name(), u"Goods");
    ASSERT_EQ(sheet.Cells().GetCells(0, 0)->CellType(), ctString);
    EXPECT_EQ(sheet.GetAsString(0, 0), u"备注");
    ASSERT_EQ(sheet.Cells().GetCells(1, 0)->CellType(), ctFloat);
    EXPECT_EQ(static_cast<TFloatCell*>(sheet.Cells().GetCells(1, 0))->FValue, 12.5);
}

TEST(XlsxReaderCells, cell_without_value_is_blank_with_the_first_format_of_the_file)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book, OneSheet(R"(<row r="3"><c r="C3"/><c r="D3"><v/></c></row>)"));
    TCell* cell = book.Sheet(0).Cells().GetCells(2, 2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->CellType(), ctBlank);
    EXPECT_EQ(book.Sheet(0).Cells().GetCells(3, 2)->CellType(), ctBlank);  // an empty <v/> is no value
}

TEST(XlsxReaderCells, values_of_every_kind_read_as_their_texts)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                OneSheet(R"(<row r="1"><c r="A1"><v>1e3</v></c><c r="B1"><v>abc</v></c><c r="C1" t="b"><v>1</v></c>)"
                         R"(<c r="D1" t="e"><v>#DIV/0!</v></c><c r="E1" t="str"><v>a&amp;lt;b</v></c>)"
                         R"(<c r="F1" t="d"><v>2021-01-01</v></c><c r="G1" t="s"><v>0</v></c></row>)",
                         "<si><t>line_x000D_end</t></si>"));
    TSheet& sheet = book.Sheet(0);
    EXPECT_EQ(sheet.GetAsString(0, 0), u"1000");
    EXPECT_EQ(sheet.GetAsString(1, 0), u"0");
    EXPECT_EQ(sheet.GetAsString(2, 0), u"TRUE");
    EXPECT_EQ(sheet.GetAsString(3, 0), u"#DIV/0!");
    EXPECT_EQ(sheet.GetAsString(4, 0), u"a&lt;b");  // the replacement is not scanned again
    EXPECT_EQ(sheet.GetAsString(5, 0), u"44197");   // an ISO date as its serial number
    EXPECT_EQ(sheet.GetAsString(6, 0), u"line\rend");
}

TEST(XlsxReaderCells, inline_and_rich_strings_join_their_runs)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(
        dir, book,
        OneSheet(
            R"(<row r="1"><c r="A1" t="inlineStr"><is><t>inline</t></is></c>)"
            R"(<c r="B1" t="inlineStr"><is><r><t xml:space="preserve">two </t></r><r><rPr><b/></rPr><t>runs</t></r></is></c>)"
            R"(<c r="C1" t="s"><v>0</v></c></row>)",
            R"(<si><r><t xml:space="preserve">bold </t></r><r><rPr><b/><sz val="11"/><rFont val="Calibri"/></rPr><t>text</t></r><rPh><t>ruby</t></rPh></si>)"));
    TSheet& sheet = book.Sheet(0);
    EXPECT_EQ(sheet.GetAsString(0, 0), u"inline");
    EXPECT_EQ(sheet.GetAsString(1, 0), u"two runs");
    EXPECT_EQ(sheet.GetAsString(2, 0), u"bold text");
    const TXLSString* rich = static_cast<TStringCell*>(sheet.Cells().GetCells(2, 0))->FValue;
    EXPECT_EQ(rich->RunCount, 2);
    EXPECT_TRUE(book.Fonts()[rich->FormatFont(1)].Bold);
}

TEST(XlsxReaderCells, formulas_keep_their_cached_results_and_a_missing_result_reads_empty)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                OneSheet(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c><c r="B1" t="str"><f>"x"</f><v>x</v></c>)"
                         R"(<c r="C1"><f>A1*2</f></c><c r="D1" t="b"><f>TRUE()</f><v>0</v></c></row>)"));
    TSheet& sheet = book.Sheet(0);
    EXPECT_EQ(sheet.Cells().GetCells(0, 0)->CellType(), ctNumberFormula);
    EXPECT_EQ(sheet.GetAsString(0, 0), u"2");
    EXPECT_EQ(sheet.GetAsString(1, 0), u"x");
    ASSERT_TRUE(IsFormulaCell(sheet.Cells().GetCells(2, 0)->CellType()));
    EXPECT_EQ(sheet.GetAsString(2, 0), u"");
    EXPECT_EQ(sheet.GetAsString(3, 0), u"FALSE");
    EXPECT_EQ(book.XLSXPackage()->FSheets[0].FFormulas.at({0, 2}), "<f>A1*2</f>");
}

TEST(XlsxReaderCells, a_string_item_without_text_keeps_its_position)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                OneSheet(R"(<row r="1"><c r="A1" t="s"><v>2</v></c></row>)",
                         "<si><t>a</t></si><si/><si><t>c</t></si>"));
    EXPECT_EQ(book.Sheet(0).GetAsString(0, 0), u"c");
}

TEST(XlsxReaderCells, cells_without_references_follow_each_other)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book, OneSheet(R"(<row><c><v>1</v></c><c><v>2</v></c></row><row><c><v>3</v></c></row>)"));
    EXPECT_EQ(book.Sheet(0).GetAsString(1, 0), u"2");
    EXPECT_EQ(book.Sheet(0).GetAsString(0, 1), u"3");
}

TEST(XlsxReaderCells, sheet_parts_are_found_through_the_relationships)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                Package({{"First", "worksheets/sheet2.xml"},
                         {"Second", "/xl/worksheets/data.xml"},
                         {"Third", "worksheets/sheet1.xml"}},
                        {{"xl/worksheets/sheet1.xml", SheetXml(R"(<row r="1"><c r="A1"><v>3</v></c></row>)")},
                         {"xl/worksheets/sheet2.xml", SheetXml(R"(<row r="1"><c r="A1"><v>1</v></c></row>)")},
                         {"xl/worksheets/data.xml", SheetXml(R"(<row r="1"><c r="A1"><v>2</v></c></row>)")}}));
    ASSERT_EQ(book.Sheets().Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(book.Sheet(i).GetAsString(0, 0), Utf8ToUtf16(std::to_string(i + 1)));
    EXPECT_EQ(book.Sheet(1).Name(), u"Second");
}

TEST(XlsxReaderCells, without_relationships_the_sheets_are_read_by_fixed_names)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                Package({{"A", ""}, {"B", ""}},
                        {{"xl/worksheets/sheet1.xml", SheetXml(R"(<row r="1"><c r="A1"><v>1</v></c></row>)")},
                         {"xl/worksheets/sheet2.xml", SheetXml(R"(<row r="1"><c r="A1"><v>2</v></c></row>)")}},
                        false));
    EXPECT_EQ(book.Sheet(1).GetAsString(0, 0), u"2");
}

TEST(XlsxReaderCells, elements_the_model_does_not_hold_are_kept_with_markers_in_order)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(
        dir, book,
        OneSheet(
            R"(<row r="1" ht="30" customHeight="1"><c r="A1"><v>1</v></c></row>)", "",
            R"(<mergeCells count="1"><mergeCell ref="A1:B2"/></mergeCells><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"));
    const auto& tags = book.XLSXPackage()->FSheets[0].FTags.Items();
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[0].FXml, "<sheetData />");
    EXPECT_EQ(tags[1].FXml, R"(<mergeCells count="1"><mergeCell ref="A1:B2"/></mergeCells>)");
    EXPECT_EQ(tags[2].FXml,
              R"(<pageMargins bottom="0.75" footer="0.3" header="0.3" left="0.7" right="0.7" top="0.75"/>)");
    EXPECT_EQ(book.Sheet(0).Rows().at(0).Height, 600);
}

TEST(XlsxReaderCells, formula_whose_cached_result_is_a_shared_string_reads_that_string)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                OneSheet(R"(<row r="1"><c r="A1" t="s"><f>B1</f><v>1</v></c></row>)",
                         "<si><t>甲</t></si><si><t>备注</t></si>"));
    TCell* cell = book.Sheet(0).Cells().GetCells(0, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->CellType(), ctStringFormula);
    EXPECT_EQ(book.Sheet(0).GetAsString(0, 0), u"备注");
}

TEST(XlsxReaderCells, unknown_cell_types_keep_their_value_as_text_and_the_rest_reads)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(dir, book,
                OneSheet(R"(<row r="1"><c r="A1" t="x"><v>abc</v></c><c r="B1" t="zz"><f>1</f><v>7</v></c>)"
                         R"(<c r="C1" t="x" s="0"><v>a&amp;b</v></c><c r="D1"><v>2</v></c></row>)"));
    TSheet& sheet = book.Sheet(0);
    ASSERT_NE(sheet.Cells().GetCells(0, 0), nullptr);
    EXPECT_EQ(sheet.Cells().GetCells(0, 0)->CellType(), ctString);
    EXPECT_EQ(sheet.GetAsString(0, 0), u"abc");
    ASSERT_NE(sheet.Cells().GetCells(1, 0), nullptr);
    EXPECT_EQ(sheet.Cells().GetCells(1, 0)->CellType(), ctStringFormula);
    EXPECT_EQ(sheet.GetAsString(1, 0), u"7");
    EXPECT_EQ(sheet.GetAsString(2, 0), u"a&b");
    EXPECT_EQ(sheet.GetAsString(3, 0), u"2");
}

TEST(XlsxReaderCells, faults_are_reported_with_their_messages)
{
    TXLSWorkbook book;
    EXPECT_EQ(ErrorOf(book, OneSheet(R"(<row r="1"><c r="A1" t="s"><v>5</v></c></row>)", "<si><t>a</t></si>")),
              "Shared string 5 does not exist (the workbook has 1)");
    EXPECT_EQ(ErrorOf(book, OneSheet("</row></sheetData></worksheet></x>")), "XML level < 0");
    EXPECT_EQ(ErrorOf(book, OneSheet("", R"(<si><r><rPr><b/></rPr></r></si>)")), "Excepcted tag missing: \"T\"");
    EXPECT_EQ(ErrorOf(book, {{"docProps/app.xml", "<Properties/>"}}),
              "The file is not a spreadsheet package: it has no workbook part xl/workbook.xml");
    EXPECT_EQ(book.Sheets().Count(), 1);
}

TEST(XlsxReaderCells, files_that_are_no_packages_are_refused)
{
    TTempDir dir;
    TXLSWorkbook book;
    std::ofstream(dir / "text.xlsx") << "just some text, no zip";
    book.SetFilename(Utf8ToUtf16((dir / "text.xlsx").string()));
    try {
        book.Read();
        FAIL() << "read as a workbook";
    } catch (const EXLSError& e) {
        EXPECT_NE(std::string(e.what()).find("zip"), std::string::npos) << e.what();
    }
    book.SetFilename(Utf8ToUtf16((dir / "missing.xlsx").string()));
    EXPECT_THROW(book.Read(), EXLSError);
}

}  // namespace
