// Writing packages from workbooks made in the program and from read ones:
// texts of every kind back through this reader and openpyxl, the parts the
// model does not hold kept, and a failed write leaving the old file.
#include <gtest/gtest.h>

#include "workbook/model/SST.h"
#include "workbook/SafeFile.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/xlsx/ZipContainer.h"
#include "reader_package_test.h"
#include "reader_texts_test.h"

namespace {

using namespace tbtest;
using namespace workbook;

void FillNewWorkbook(TXLSWorkbook& book)
{
    book.SetVersion(xvExcel2007);
    TSheet& goods = book.Sheet(0);
    goods.SetName(u"商品");
    goods.SetAsString(0, 0, u"商品编码");
    goods.SetAsString(6, 0, u"备注");
    goods.SetAsString(1, 1, u"  spaces & <tags> \"quotes\"\tand\r\nbreaks ");
    goods.SetAsString(2, 1, u"_x0041_ literal and \x01 control");
    goods.Cells().SetCells(3, 1, std::make_unique<TFloatCell>(3, 1, book.DefaultFormat(), 0.1 + 0.2));
    goods.Cells().SetCells(4, 1, std::make_unique<TBooleanCell>(4, 1, book.DefaultFormat(), true));
    goods.Cells().SetCells(5, 1, std::make_unique<TErrorCell>(5, 1, book.DefaultFormat(), errNA));
    goods.Columns()[2].Width = 5000;
    TSheet& second = book.Sheets().Add();
    second.SetAsString(1000, 70000, u"far");
}

TEST(XlsxWriterPackage, a_new_workbook_reads_back_here_and_in_openpyxl)
{
    TTempDir dir;
    TXLSWorkbook book;
    FillNewWorkbook(book);
    const auto path = dir / "new.xlsx";
    book.SetFilename(Utf8ToUtf16(path.string()));
    book.Write();
    const TBookTexts written = BookTexts(book);
    const TBookTexts read = ReadBookTexts(path);
    EXPECT_EQ(read.Sheets, written.Sheets);
    EXPECT_EQ(read.Tsv, written.Tsv);
    EXPECT_NE(read.Tsv.find("0\t1\t3\t0.3\n"), std::string::npos);
    const std::string out =
        RunPython(dir, "import openpyxl\nwb = openpyxl.load_workbook('" + path.string() +
                           "')\n"
                           "ws = wb.worksheets[0]\n"
                           "print(wb.sheetnames == ['商品', 'Sheet2'], repr(ws['B2'].value), ws['D2'].value,"
                           " ws['E2'].value, ws['F2'].value, wb.worksheets[1]['ALM70001'].value,"
                           " round(ws.column_dimensions['C'].width, 3))\n");
    EXPECT_EQ(out, "True '  spaces & <tags> \"quotes\"\\tand\\r\\nbreaks ' 0.30000000000000004 True #N/A far 19.531\n");
}

TEST(XlsxWriterPackage, parts_the_model_does_not_hold_are_kept_as_they_were)
{
    TTempDir dir;
    TXLSWorkbook book;
    const std::string picture = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(300, '\x07');
    auto parts =
        Package({{"S", "worksheets/sheet1.xml"}},
                {{"xl/worksheets/sheet1.xml",
                  SheetXml(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c></row>)",
                           R"(<pageMargins left="0.5" right="0.5" top="1" bottom="1" header="0.3" footer="0.3"/>)")},
                 {"xl/media/image1.png", picture},
                 {"customXml/item1.xml", "<data>kept</data>"}});
    ReadPackage(dir, book, parts);
    const auto copy = dir / "copy.xlsx";
    book.SetFilename(Utf8ToUtf16(copy.string()));
    book.Write();
    const TZipContainer zip(FileText(copy));
    EXPECT_EQ(zip.Extract(zip.Find("xl/media/image1.png")), picture);
    EXPECT_EQ(zip.Extract(zip.Find("customXml/item1.xml")), "<data>kept</data>");
    const std::string sheet = zip.Extract(zip.Find("xl/worksheets/sheet1.xml"));
    EXPECT_NE(sheet.find(R"(<c r="A1"><f>1+1</f><v>2</v></c>)"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<pageMargins bottom=\"1\""), std::string::npos) << sheet;
    EXPECT_EQ(ReadBookTexts(copy).Tsv, "0\t0\t0\t2\n");
}

// Another program wrote its part names with backslashes, in the zip entries
// and the relationship targets; the parts made anew have plain names.
TEST(XlsxWriterPackage, regenerated_parts_get_forward_slashes_in_names_and_targets)
{
    TTempDir dir;
    TXLSWorkbook book;
    auto parts = Package({{"S", "worksheets\\sheet1.xml"}},
                         {{"xl\\worksheets\\sheet1.xml", SheetXml(R"(<row r="1"><c r="A1"><v>5</v></c></row>)")}});
    ReadPackage(dir, book, parts);
    ASSERT_EQ(book.Sheet(0).GetAsString(0, 0), u"5");
    const auto copy = dir / "copy.xlsx";
    book.SetFilename(Utf8ToUtf16(copy.string()));
    book.Write();
    const TZipContainer zip(FileText(copy));
    for (int i = 0; i < zip.Count(); ++i) {
        EXPECT_EQ(zip.Name(i).find('\\'), std::string::npos) << zip.Name(i);
        EXPECT_EQ(zip.Extract(i).find('\\'), std::string::npos) << zip.Name(i);
    }
    EXPECT_GE(zip.Find("xl/worksheets/sheet1.xml"), 0);
    EXPECT_EQ(ReadBookTexts(copy).Tsv, "0\t0\t0\t5\n");
    const std::string out = RunPython(dir, "import openpyxl\nwb = openpyxl.load_workbook('" + copy.string() +
                                               "')\n"
                                               "print(wb.worksheets[0]['A1'].value)\n");
    EXPECT_EQ(out, "5\n");
}

TEST(XlsxWriterPackage, a_workbook_counting_from_1904_keeps_its_date_system)
{
    TTempDir dir;
    TXLSWorkbook book;
    auto parts =
        Package({{"S", "worksheets/sheet1.xml"}},
                {{"xl/worksheets/sheet1.xml", SheetXml(R"(<row r="1"><c r="A1" t="d"><v>2021-01-01</v></c></row>)")}});
    for (TPackagePart& p : parts)
        if (p.Name == "xl/workbook.xml")
            p.Bytes.replace(p.Bytes.find("<sheets>"), 8,
                            R"(<workbookPr date1904="1" defaultThemeVersion="124226"/><sheets>)");
    ReadPackage(dir, book, parts);
    EXPECT_EQ(book.Sheet(0).GetAsString(0, 0), u"42735");
    const auto copy = dir / "copy.xlsx";
    book.SetFilename(Utf8ToUtf16(copy.string()));
    book.Write();
    const TZipContainer zip(FileText(copy));
    const std::string workbookPart = zip.Extract(zip.Find("xl/workbook.xml"));
    EXPECT_NE(workbookPart.find(R"(<workbookPr date1904="1" defaultThemeVersion="124226"/>)"), std::string::npos)
        << workbookPart;
}

TEST(XlsxWriterPackage, writing_back_over_the_file_read_keeps_it_whole)
{
    const auto source = CorpusDir() / "xlsx" / "calamine__vba.xlsm";
    if (!std::filesystem::exists(source)) GTEST_SKIP() << "no corpus";
    TTempDir dir;
    const auto path = dir / "book.xlsm";
    std::filesystem::copy_file(source, path);
    TXLSWorkbook book;
    book.SetFilename(Utf8ToUtf16(path.string()));
    book.Read();
    book.Write();
    EXPECT_EQ(ReadBookTexts(path).Tsv, ReadBookTexts(source).Tsv);
    const TZipContainer original(FileText(source)), written(FileText(path));
    EXPECT_EQ(written.Extract(written.Find("xl/vbaProject.bin")), original.Extract(original.Find("xl/vbaProject.bin")));
    EXPECT_NE(written.Extract(written.Find("[Content_Types].xml")).find("sheet.macroEnabled.main+xml"),
              std::string::npos);
}

TEST(XlsxWriterPackage, rich_text_keeps_its_runs)
{
    TTempDir dir;
    TXLSWorkbook book;
    ReadPackage(
        dir, book,
        Package(
            {{"S", "worksheets/sheet1.xml"}},
            {{"xl/worksheets/sheet1.xml", SheetXml(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)")},
             {"xl/sharedStrings.xml",
              SharedStringsXml(
                  R"(<si><r><t xml:space="preserve">plain </t></r><r><rPr><b/><sz val="14"/><rFont val="Arial"/></rPr><t>bold</t></r></si>)")}}));
    const auto copy = dir / "copy.xlsx";
    book.SetFilename(Utf8ToUtf16(copy.string()));
    book.Write();
    TXLSWorkbook again;
    again.SetFilename(Utf8ToUtf16(copy.string()));
    again.Read();
    EXPECT_EQ(again.Sheet(0).GetAsString(0, 0), u"plain bold");
    const TXLSString* s = static_cast<TStringCell*>(again.Sheet(0).Cells().GetCells(0, 0))->FValue;
    ASSERT_EQ(s->RunCount, 2);
    const TXFont& bold = again.Fonts()[s->FormatFont(1)];
    EXPECT_TRUE(bold.Bold);
    EXPECT_EQ(bold.Size20, 280);
}

TEST(XlsxWriterPackage, a_failed_write_leaves_the_old_file)
{
    TTempDir dir;
    TXLSWorkbook book;
    FillNewWorkbook(book);
    const auto path = dir / "kept.xlsx";
    std::ofstream(path) << "old contents";
    book.SetFilename(Utf8ToUtf16(path.string()));
    WriteFaults::FailFileWriteAfter(3);
    EXPECT_THROW(book.Write(), std::exception);
    WriteFaults::Reset();
    EXPECT_EQ(FileText(path), "old contents");
    EXPECT_EQ(dir.FileCount(), 1u);
}

}  // namespace
