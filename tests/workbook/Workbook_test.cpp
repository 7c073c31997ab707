// The public header alone: what the application and the tools do with a
// workbook builds and works with nothing else of the library included.
#include "workbook/Workbook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

class PublicWorkbook : public ::testing::Test {
protected:
    void SetUp() override
    {
        FDir = std::filesystem::temp_directory_path() / ("tb-public-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(FDir);
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }
    std::u16string File(const std::string& name) const { return (FDir / name).u16string(); }

    std::filesystem::path FDir;
};

TEST_F(PublicWorkbook, a_sheet_tells_its_cells_and_used_area_and_empties)
{
    workbook::TXLSWorkbook book;
    workbook::LoadFromWindowResources(book);
    workbook::TSheet& sheet = book.Sheet(0);
    EXPECT_TRUE(sheet.UsedArea().Empty);
    sheet.SetAsString(2, 1, u"商品");
    sheet.SetAsString(4, 7, u"");
    EXPECT_TRUE(sheet.HasCell(2, 1));
    EXPECT_TRUE(sheet.HasCell(4, 7));
    EXPECT_FALSE(sheet.HasCell(3, 1));
    const workbook::TCellDimensions used = sheet.UsedArea();
    EXPECT_FALSE(used.Empty);
    EXPECT_EQ(used.FirstRow, 1u);
    EXPECT_EQ(used.LastRow, 7u);
    EXPECT_EQ(used.FirstCol, 2u);
    EXPECT_EQ(used.LastCol, 4u);
    sheet.ClearCells();
    EXPECT_FALSE(sheet.HasCell(2, 1));
    EXPECT_TRUE(sheet.UsedArea().Empty);
    EXPECT_EQ(sheet.GetAsString(2, 1), u"");
}

TEST_F(PublicWorkbook, written_files_read_back_and_list_their_cells_records_and_streams)
{
    workbook::TXLSWorkbook book;
    workbook::LoadFromWindowResources(book);
    book.Sheet(0).SetAsString(0, 0, u"商品编码");
    book.Sheet(0).SetAsString(1, 2, u"a\tb");
    book.SetFilename(File("out.xls"));
    book.Write();

    workbook::TXLSWorkbook back;
    back.SetFilename(File("out.xls"));
    back.Read();
    EXPECT_EQ(back.Version(), workbook::xvExcel97);
    EXPECT_EQ(workbook::CellListing(back), "0\t0\t0\t商品编码\n0\t2\t1\ta\\tb\n");
    EXPECT_EQ(workbook::SheetNameListing(back), "Sheet1\n");

    std::string records;
    workbook::WriteRecordListing(File("out.xls"), [&](const char* text, size_t n) { records.append(text, n); });
    EXPECT_EQ(records.substr(0, 19), "00000000 0809 16\n00");
    EXPECT_NE(records.find(" 000A 0\n"), std::string::npos);  // EOF
    const std::string streams = workbook::StreamListing(File("out.xls"));
    EXPECT_NE(streams.find("stream\t"), std::string::npos);
    EXPECT_NE(streams.find("\tWorkbook\n"), std::string::npos);
}

TEST_F(PublicWorkbook, a_file_that_is_no_workbook_fails_with_the_library_error)
{
    workbook::TXLSWorkbook book;
    book.SetFilename(File("missing.xls"));
    EXPECT_THROW(book.Read(), workbook::EXLSError);
    EXPECT_EQ(book.Sheets().Count(), 1);
}

}  // namespace
