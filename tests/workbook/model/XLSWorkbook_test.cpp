// The workbook model: text cells through AsString, the shared-string table
// with its reference counts and trie, the sparse cell store, sheets and the
// settings that live in records.
#include "TestHelpers.h"

#include "workbook/Utf16.h"
#include "workbook/model/WindowResources.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

TXLSString* StringAt(TSheet& sheet, uint32_t col, uint32_t row)
{
    TCell* c = sheet.Cells().GetCells(col, row);
    return c && c->CellType() == ctString ? static_cast<TStringCell*>(c)->FValue : nullptr;
}

std::string ErrorOf(auto&& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(XLSWorkbook, a_new_component_has_one_sheet_22_xfs_and_5_fonts)
{
    TXLSWorkbook book;
    EXPECT_EQ(book.Sheets().Count(), 1);
    EXPECT_EQ(book.Sheet(0).Name(), u"Sheet1");
    EXPECT_EQ(book.Formats().Count(), 22);
    EXPECT_EQ(book.Formats().DeleteIndex(), 22);
    EXPECT_EQ(book.DefaultFormat()->Index(), 15);
    EXPECT_EQ(book.Fonts().Count(), 5);
    EXPECT_EQ(book.Version(), xvExcel97);
    EXPECT_EQ(book.MaxBuffsize(), 8224);
    EXPECT_EQ(book.OrigVersion(), xvNone);
    EXPECT_EQ(ErrorOf([&] { book.Formats().AddDefaultFormats(); }), "Add default formats when not empty.");
    EXPECT_EQ(BuiltInNumberFormat(37), u"_(#,##0_);(#,##0)");
    EXPECT_EQ(BuiltInNumberFormat(49), u"@");
}

TEST(XLSWorkbook, text_is_stored_compressed_when_every_character_fits_a_byte)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(0, 0, u"abc");
    TXLSString* abc = StringAt(sheet, 0, 0);
    ASSERT_TRUE(abc);
    EXPECT_EQ(abc->Options, 0);
    EXPECT_EQ(sheet.Cells().GetCells(0, 0)->Format()->Index(), 15);
    sheet.SetAsString(1, 0, u"\u00E9");
    EXPECT_EQ(StringAt(sheet, 1, 0)->Options, 0);
    EXPECT_EQ(StringAt(sheet, 1, 0)->Chars()[0], 0xE9);
    EXPECT_EQ(sheet.GetAsString(1, 0), u"\u00E9");
    sheet.SetAsString(2, 0, u"商品名称");
    EXPECT_EQ(StringAt(sheet, 2, 0)->Options, sstUTF16);
    EXPECT_EQ(sheet.GetAsString(2, 0), u"商品名称");
}

TEST(XLSWorkbook, equal_texts_share_one_entry_and_count_references)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(0, 0, u"same");
    sheet.SetAsString(0, 1, u"same");
    EXPECT_EQ(StringAt(sheet, 0, 0), StringAt(sheet, 0, 1));
    EXPECT_EQ(StringAt(sheet, 0, 0)->RefCount, 2u);
    EXPECT_EQ(book.SST().TotalCount(), 2u);
    EXPECT_EQ(book.SST().UniqueCount(), 1u);
}

TEST(XLSWorkbook, texts_with_equal_bytes_in_different_forms_stay_apart)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(0, 0, u"FU");
    sheet.SetAsString(1, 0, u"\u5546");  // UTF-16 bytes 46 55
    EXPECT_NE(StringAt(sheet, 0, 0), StringAt(sheet, 1, 0));
    EXPECT_EQ(sheet.GetAsString(0, 0), u"FU");
    EXPECT_EQ(sheet.GetAsString(1, 0), u"\u5546");
}

TEST(XLSWorkbook, overwriting_a_text_keeps_the_xf_and_frees_the_unused_string)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(3, 3, u"old");
    TCellFormat* other = book.Formats()[21];
    sheet.Cells().GetCells(3, 3)->SetFormat(other);
    sheet.SetAsString(3, 3, u"new");
    EXPECT_EQ(sheet.Cells().GetCells(3, 3)->Format(), other);
    EXPECT_EQ(other->Usage(), 1u);
    EXPECT_EQ(book.Formats()[15]->Usage(), 0u);
    EXPECT_EQ(book.SST().UniqueCount(), 1u);
    bool oldLeft = false;
    book.SST().Traverse([&](TXLSString* s) { oldLeft |= book.SST().GetItem(s) == u"old"; });
    EXPECT_FALSE(oldLeft);
    EXPECT_EQ(book.SST().TotalCount(), 1u);
}

TEST(XLSWorkbook, the_empty_text_is_a_text_cell_and_reads_back_empty)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(0, 0, u"");
    ASSERT_TRUE(sheet.Cells().GetCells(0, 0));
    EXPECT_EQ(sheet.Cells().GetCells(0, 0)->CellType(), ctString);
    EXPECT_EQ(sheet.GetAsString(0, 0), u"");
}

TEST(XLSWorkbook, the_store_spans_its_whole_range_and_reading_an_empty_position_adds_no_cell)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.SetAsString(16383, 1048575, u"corner");
    EXPECT_EQ(sheet.GetAsString(16383, 1048575), u"corner");
    EXPECT_EQ(sheet.GetAsString(500, 70000), u"");
    EXPECT_EQ(sheet.GetAsString(16383, 1048574), u"");
    EXPECT_EQ(sheet.Cells().GetCells(500, 70000), nullptr);
    EXPECT_EQ(sheet.Cells().CellCount(), 1u);
    EXPECT_THROW(sheet.SetAsString(16384, 0, u"x"), EXLSError);
    EXPECT_EQ(book.SST().UniqueCount(), 1u);
}

TEST(XLSWorkbook, iteration_gives_cells_by_row_then_column)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    std::vector<std::pair<uint32_t, uint32_t>> order = {{300, 5000}, {2, 1}, {0, 1}, {129, 0}, {1, 0}, {0, 1025}};
    for (auto [col, row] : order) sheet.SetAsString(col, row, u"x");
    std::vector<std::pair<uint32_t, uint32_t>> seen;
    sheet.Cells().BeginIterate();
    while (TCell* c = sheet.Cells().GetNext()) seen.emplace_back(c->Col(), c->Row());
    std::vector<std::pair<uint32_t, uint32_t>> expected = {{1, 0}, {129, 0}, {0, 1}, {2, 1}, {0, 1025}, {300, 5000}};
    EXPECT_EQ(seen, expected);
}

TEST(XLSWorkbook, blank_and_missing_cells_read_as_empty_text)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.Cells().SetCells(4, 4, std::make_unique<TBlankCell>(4, 4, book.DefaultFormat()));
    EXPECT_EQ(sheet.GetAsString(4, 4), u"");
    EXPECT_EQ(sheet.GetAsString(5, 5), u"");
    EXPECT_EQ(ErrorOf([&] { TErrorCell(0, 0, nullptr, errError); }), "Invalid cell error value");
}

TEST(XLSWorkbook, column_and_row_formats_choose_the_xf_of_new_text_cells)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    sheet.Rows()[2].XF = 20;
    sheet.Columns()[1].XF = 21;
    sheet.SetAsString(1, 2, u"column wins");
    sheet.SetAsString(0, 2, u"row");
    EXPECT_EQ(sheet.Cells().GetCells(1, 2)->Format()->Index(), 21);
    EXPECT_EQ(sheet.Cells().GetCells(0, 2)->Format()->Index(), 20);
}

TEST(XLSWorkbook, sheets_are_named_in_creation_order_and_names_stay_unique)
{
    TXLSWorkbook book;
    TSheet& second = book.Sheets().Add();
    EXPECT_EQ(second.Name(), u"Sheet2");
    EXPECT_EQ(ErrorOf([&] { second.SetName(u"SHEET1"); }), "Sheet name \"SHEET1\" allready exists");
    second.SetName(u"货品");
    EXPECT_EQ(ErrorOf([&] { book.Sheet(2); }), "List index out of bounds (2)");
    EXPECT_EQ(ErrorOf([&] { book.Sheet(-1); }), "List index out of bounds (-1)");
}

TEST(XLSWorkbook, clear_empties_cells_and_strings_but_keeps_filename_and_version)
{
    TXLSWorkbook book;
    book.SetFilename(u"/tmp/x.xls");
    book.Sheet(0).SetAsString(0, 0, u"a");
    book.Sheets().Add();
    book.Clear();
    EXPECT_EQ(book.Sheets().Count(), 1);
    EXPECT_EQ(book.Sheet(0).GetAsString(0, 0), u"");
    EXPECT_EQ(book.SST().TotalCount(), 0u);
    EXPECT_EQ(book.Filename(), u"/tmp/x.xls");
    EXPECT_EQ(book.Version(), xvExcel97);
    EXPECT_EQ(book.Formats().Count(), 22);
}

TEST(XLSWorkbook, reading_a_missing_file_fails_clearly_and_leaves_one_sheet)
{
    TXLSWorkbook book;
    book.SetFilename(u"/nonexistent/x.xls");
    EXPECT_EQ(ErrorOf([&] { book.Read(); }).rfind("Cannot open file \"/nonexistent/x.xls\". ", 0), 0u);
    EXPECT_EQ(book.Sheets().Count(), 1);
}

TEST(XLSWorkbook, settings_are_views_on_their_records)
{
    TXLSWorkbook book;
    LoadFromWindowResources(book);
    TSheet& sheet = book.Sheet(0);
    EXPECT_EQ(sheet.Window2Flags(), 0x04B6);
    EXPECT_EQ(sheet.Records().PWSBOOL()->Data, Hex("C1 04"));
    EXPECT_EQ(
        sheet.Records().PSETUP()->Data,
        Cat(Hex("09 00 64 00 01 00 01 00 01 00 02 00 58 02 58 02 00 00 00 00 00 00 E0 3F 00 00 00 00 00 00 E0 3F"),
            Hex("00 00")));
    sheet.SetDefaultRowHeight(300);
    EXPECT_EQ(sheet.Records().PDEFAULTROWHEIGHT()->Data, Hex("01 00 2C 01"));
    sheet.SetDefaultRowHeight(255);
    EXPECT_EQ(sheet.Records().PDEFAULTROWHEIGHT()->Data, Hex("00 00 FF 00"));
    sheet.PrintSettings().SetStartingPage(3);
    EXPECT_EQ(sheet.Records().PSETUP()->Data[10], 0x82);
    sheet.PrintSettings().SetFitWidth(70000);
    EXPECT_EQ(sheet.Records().PSETUP()->Data[6], 0);
    book.Workbook().SetOptions({woHidden, woTabs});
    EXPECT_EQ(book.Records().PWINDOW1()->Data[8], 0x21);
    book.SetBackup(true);
    EXPECT_TRUE(book.Backup());
    book.SetCalcCount(-5);
    EXPECT_EQ(book.OptionsDialog().CalcCount, 32767);
    book.SetCodepage(0);
    EXPECT_EQ(book.Codepage(), 1252);
}

TEST(XLSWorkbook, other_cell_kinds_read_as_their_text)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    TCellFormat* xf = book.DefaultFormat();
    sheet.Cells().SetCells(0, 0, std::make_unique<TIntegerCell>(0, 0, xf, 12));
    sheet.Cells().SetCells(1, 0, std::make_unique<TFloatCell>(1, 0, xf, 0.5));
    sheet.Cells().SetCells(2, 0, std::make_unique<TBooleanCell>(2, 0, xf, true));
    sheet.Cells().SetCells(3, 0, std::make_unique<TErrorCell>(3, 0, xf, errDiv0));
    auto formula = std::make_unique<TStringFormulaCell>(4, 0, xf);
    formula->FValue = u"cached";
    sheet.Cells().SetCells(4, 0, std::move(formula));
    EXPECT_EQ(sheet.GetAsString(0, 0), u"12");
    EXPECT_EQ(sheet.GetAsString(2, 0), u"TRUE");
    EXPECT_EQ(sheet.GetAsString(3, 0), u"#DIV/0!");
    EXPECT_EQ(sheet.GetAsString(4, 0), u"cached");
    std::u16string half = sheet.GetAsString(1, 0);
    EXPECT_TRUE(half == u"0.5" || half == u"0,5") << Utf16ToUtf8(half);
}

TEST(XLSWorkbook, many_texts_with_one_hash_are_interned_without_endless_splitting)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    std::vector<std::u16string> texts;
    for (int i = 0; i < 20; ++i) {
        texts.push_back(ForceHash(u"key" + std::u16string(1, char16_t(u'A' + i)), 0x12345678u));
        std::vector<uint8_t> bytes(texts.back().begin(), texts.back().end());
        ASSERT_EQ(SSTHash(bytes.data(), bytes.size()), 0x12345678u) << i;
        sheet.SetAsString(0, uint32_t(i), texts.back());
    }
    EXPECT_EQ(book.SST().UniqueCount(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(sheet.GetAsString(0, uint32_t(i)), texts[size_t(i)]);
    sheet.SetAsString(0, 3, u"other");
    EXPECT_EQ(book.SST().UniqueCount(), 20u);
    std::vector<uint8_t> file;
    book.WriteToStream(file);
    for (const TRecord& r : RecordsOf(file))
        if (r.Id == 0x00FC) {
            EXPECT_EQ(GetU32(&r.Body[4]), 20u);
        }
}
