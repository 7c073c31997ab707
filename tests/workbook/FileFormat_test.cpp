// File formats: reading goes by the first bytes, writing by the name, and a
// table longer than a sheet is placed on further sheets.
#include "TestHelpers.h"

#include "workbook/FileFormat.h"
#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

TFileKind KindOf(const std::string& bytes)
{
    return FileKindOfBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string FirstBytes(const std::filesystem::path& file)
{
    std::vector<uint8_t> bytes = ReadBytes(file);
    return std::string(bytes.begin(), bytes.begin() + long(std::min<size_t>(4, bytes.size())));
}

void WriteTwoCells(const std::filesystem::path& file, TExcelVersion version)
{
    TXLSWorkbook book;
    book.SetVersion(version);
    book.Sheet(0).SetAsString(0, 0, u"备注");
    book.Sheet(0).SetAsString(1, 2, u"x");
    book.SetFilename(Utf8ToUtf16(file.string()));
    book.Write();
}

}  // namespace

TEST(FileFormat, first_bytes_name_the_kind_of_file)
{
    EXPECT_EQ(KindOf(std::string("PK\x03\x04rest", 8)), fkPackage);
    EXPECT_EQ(KindOf(std::string("PK\x05\x06", 4)), fkPackage);
    EXPECT_EQ(KindOf("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"), fkCompound);
    EXPECT_EQ(KindOf(std::string("\x09\x00\x04\x00", 4)), fkRawBIFF);
    EXPECT_EQ(KindOf(std::string("\x09\x04\x06\x00", 4)), fkRawBIFF);
    EXPECT_EQ(KindOf("just text"), fkUnknown);
    EXPECT_EQ(KindOf("PK"), fkUnknown);
    EXPECT_EQ(FileKindOfFile(u"/nonexistent/file.xls"), fkUnknown);
}

TEST(FileFormat, the_name_asks_for_xls_or_xlsx_whatever_the_case)
{
    EXPECT_EQ(FormatOfName(u"/a/b/goods.xls"), xvExcel97);
    EXPECT_EQ(FormatOfName(u"GOODS.XLSX"), xvExcel2007);
    EXPECT_EQ(FormatOfName(u"goods.xlsm"), xvNone);
    EXPECT_EQ(FormatOfName(u"/a.xls/goods"), xvNone);
    EXPECT_EQ(FormatOfName(u"goods"), xvNone);
}

TEST(FileFormat, rows_past_a_sheet_go_on_in_further_sheets_under_a_title_row)
{
    EXPECT_EQ(PlaceOfDataRow(0, xvExcel97).Sheet, 0);
    EXPECT_EQ(PlaceOfDataRow(0, xvExcel97).Row, 1u);
    EXPECT_EQ(PlaceOfDataRow(65534, xvExcel97).Sheet, 0);
    EXPECT_EQ(PlaceOfDataRow(65534, xvExcel97).Row, 65535u);
    EXPECT_EQ(PlaceOfDataRow(65535, xvExcel97).Sheet, 1);
    EXPECT_EQ(PlaceOfDataRow(65535, xvExcel97).Row, 1u);
    EXPECT_EQ(PlaceOfDataRow(1048575, xvExcel2007).Sheet, 1);
    EXPECT_EQ(SheetsForDataRows(0, xvExcel97), 1);
    EXPECT_EQ(SheetsForDataRows(65535, xvExcel97), 1);
    EXPECT_EQ(SheetsForDataRows(65536, xvExcel97), 2);
    EXPECT_EQ(SheetsForDataRows(1000000, xvExcel97), 16);
    EXPECT_EQ(SheetsForDataRows(1000000, xvExcel2007), 1);
}

TEST(FileFormat, write_follows_the_name_and_read_follows_the_bytes)
{
    TTempDir dir;
    WriteTwoCells(dir / "package.xls", xvExcel2007);
    WriteTwoCells(dir / "binary.xlsx", xvExcel97);
    EXPECT_EQ(FirstBytes(dir / "package.xls"), "\xD0\xCF\x11\xE0");
    EXPECT_EQ(FirstBytes(dir / "binary.xlsx"), "PK\x03\x04");

    // Files whose names do not say what they hold are still read.
    std::filesystem::copy_file(dir / "package.xls", dir / "really-binary.xlsx");
    std::filesystem::copy_file(dir / "binary.xlsx", dir / "really-package.xls");
    for (const char* name : {"really-binary.xlsx", "really-package.xls"}) {
        TXLSWorkbook book;
        book.SetFilename(Utf8ToUtf16((dir / name).string()));
        book.Read();
        EXPECT_EQ(book.Sheet(0).GetAsString(0, 0), u"备注") << name;
        EXPECT_EQ(book.Sheet(0).GetAsString(1, 2), u"x") << name;
    }
}

TEST(FileFormat, a_workbook_read_from_a_package_writes_binary_under_an_xls_name)
{
    TTempDir dir;
    WriteTwoCells(dir / "in.xlsx", xvExcel2007);
    TXLSWorkbook book;
    book.SetFilename(Utf8ToUtf16((dir / "in.xlsx").string()));
    book.Read();
    ASSERT_EQ(book.Version(), xvExcel2007);
    book.Sheet(0).SetAsString(2, 3, u"新");
    book.SetFilename(Utf8ToUtf16((dir / "out.xls").string()));
    book.Write();
    EXPECT_EQ(book.Version(), xvExcel97);
    EXPECT_EQ(FirstBytes(dir / "out.xls"), "\xD0\xCF\x11\xE0");
    TXLSWorkbook again;
    again.SetFilename(Utf8ToUtf16((dir / "out.xls").string()));
    again.Read();
    EXPECT_EQ(again.Version(), xvExcel97);
    EXPECT_EQ(again.Sheet(0).GetAsString(0, 0), u"备注");
    EXPECT_EQ(again.Sheet(0).GetAsString(2, 3), u"新");
}

TEST(FileFormat, a_sheet_past_the_limits_of_xls_is_refused_by_the_check)
{
    TXLSWorkbook book;
    book.Sheet(0).SetAsString(1, 65535, u"last row that fits");
    EXPECT_NO_THROW(CheckSheetsFit(book, xvExcel97));
    book.Sheet(0).SetAsString(0, 65536, u"one too far");
    EXPECT_THROW(CheckSheetsFit(book, xvExcel97), EXLSError);
    EXPECT_NO_THROW(CheckSheetsFit(book, xvExcel2007));
    TXLSWorkbook wide;
    wide.Sheet(0).SetAsString(256, 0, u"column 257");
    EXPECT_THROW(CheckSheetsFit(wide, xvExcel97), EXLSError);
}
