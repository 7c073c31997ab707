// The BIFF reader on workbooks built record by record: cell texts of every
// kind, shared and array formulas, shared strings across CONTINUE records,
// substreams, custom views, code pages and hostile counts.
#include "BIFFBuild.h"
#include "TestHelpers.h"
#include "workbook/formats/CellText.h"
#include "workbook/compound/CompoundDocument.h"
#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/biff/XLSReader.h"
#include "workbook/Listings.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

using namespace workbook;
using namespace tbtest;

TEST(XLSReaderCellText, every_case_of_the_cell_text_table)
{
    TXLSWorkbook book;
    std::vector<TRec> s = {
        {0x027E, Cell(0, 0) + U32((12 << 2) | 2)},
        Number(1, 0, 12.5),
        Number(2, 0, 1E20),
        Number(3, 0, 0.1 + 0.2),
        Number(4, 0, 1.0 / 3),
        Number(5, 0, 2.0 / 3),
        Number(6, 0, 987654321098765.0),
        Number(7, 0, 9876543210987654.0),
        Number(8, 0, 1E15),
        Number(9, 0, 0.0001),
        Number(10, 0, 0.00001),
        Number(11, 0, -2468.125),
        Number(12, 0, -0.0),
        Number(13, 0, 41567),
        Number(14, 0, 41567.5),
        {0x0205, Cell(15, 0) + Hex("01 00")},
        {0x0205, Cell(16, 0) + Hex("2A 01")},
        Formula(17, 0, Special(2, 0x2B), 0, Hex("1C 2B")),
        Formula(18, 0, Special(0, 0), 0, Hex("17 03 00 61 62 63")),
        {0x0207, U16(3) + Hex("00 61 62 63")},
        Formula(19, 0, F64(7), 0, Hex("1E 07 00")),
        {0x0201, Cell(20, 0)},
    };
    ReadBIFFFromMemory(book, Book({s}));
    const char* expected[] = {"12",
                              "12.5",
                              "1E20",
                              "0.3",
                              "0.333333333333333",
                              "0.666666666666667",
                              "987654321098765",
                              "9.87654321098765E15",
                              "1E15",
                              "0.0001",
                              "1E-5",
                              "-2468.125",
                              "0",
                              "41567",
                              "41567.5",
                              "TRUE",
                              "#N/A",
                              "[int] No error value",
                              "abc",
                              "7",
                              ""};
    for (uint32_t row = 0; row < std::size(expected); ++row) EXPECT_EQ(Text(book, 0, row), expected[row]) << row;
    EXPECT_EQ(Text(book, 5, 30), "");
    EXPECT_EQ(book.Sheet(0).Cells().GetCells(0, 0)->CellType(), ctFloat);
    EXPECT_EQ(book.Sheet(0).Cells().GetCells(0, 17)->CellType(), ctErrorFormula);
    EXPECT_EQ(book.Sheet(0).Cells().GetCells(0, 20)->CellType(), ctBlank);
}

TEST(XLSReaderCellText, decimal_comma_reaches_read_numbers)
{
    EXPECT_EQ(FloatToStrGeneral(12.5L, ','), "12,5");
    EXPECT_EQ(FloatToStrGeneral(static_cast<long double>(1.5E-10), ','), "1,5E-10");
}

TEST(XLSReaderCells, mulrk_fills_the_first_column_and_the_two_after_it)
{
    TXLSWorkbook book;
    std::vector<uint8_t> b = U16(4) + U16(2);
    for (int v : {1, 2, 3}) b = b + U16(15) + U32(uint32_t(v << 2) | 2);
    ReadBIFFFromMemory(book, Book({{{0x00BD, b + U16(4)}}}));
    EXPECT_EQ(CellListing(book), "0\t4\t2\t1\n0\t4\t3\t2\n0\t4\t4\t3\n");
}

TEST(XLSReaderCells, formulas_without_their_result_make_no_cell)
{
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{Formula(0, 0, Special(0, 0), 0, Hex("17 00 00")), Number(0, 1, 5),
                                    Formula(1, 0, F64(3), 0, {})}}));
    EXPECT_EQ(CellListing(book), "0\t0\t1\t5\n");
    EXPECT_EQ(book.Sheet(0).Cells().GetCells(0, 0), nullptr);
    EXPECT_EQ(book.Sheet(0).Cells().GetCells(0, 1), nullptr);
}

// SHRFMLA over A2:A3 holding =A1 relative to each cell (PtgRefN row -1):
// each cell gets an absolute PtgRef to the row above it.
TEST(XLSReaderFormulas, shared_formula_tokens_are_adapted_to_each_cell)
{
    TXLSWorkbook book;
    std::vector<uint8_t> exp = Hex("01 01 00 00 00");
    TRec shr = {0x04BC, U16(1) + U16(2) + Hex("00 00 00 02") + U16(5) + Hex("4C FF FF 00 C0")};
    ReadBIFFFromMemory(book, Book({{Number(0, 0, 1), Formula(1, 0, F64(1), 0x0008, exp), shr,
                                    Formula(2, 0, F64(1), 0x0008, exp)}}));
    auto* a2 = static_cast<TFormulaCell*>(book.Sheet(0).Cells().GetCells(0, 1));
    auto* a3 = static_cast<TFormulaCell*>(book.Sheet(0).Cells().GetCells(0, 2));
    ASSERT_TRUE(a2 && a3);
    EXPECT_EQ(a2->FPTGS, Hex("05 00 44 00 00 00 C0"));
    EXPECT_EQ(a3->FPTGS, Hex("05 00 44 01 00 00 C0"));
    EXPECT_EQ(a2->FFormulaOptions & 0x0008, 0);
    std::vector<uint8_t> copy;
    book.WriteToStream(copy);
    TXLSWorkbook again;
    ReadBIFFFromMemory(again, copy);
    EXPECT_EQ(static_cast<TFormulaCell*>(again.Sheet(0).Cells().GetCells(0, 2))->FPTGS, a3->FPTGS);
}

TEST(XLSReaderFormulas, array_formula_cells_keep_their_array_and_results)
{
    TXLSWorkbook book;
    std::vector<uint8_t> exp = Hex("01 00 00 00 00");
    TRec array = {0x0221, U16(0) + U16(1) + Hex("00 00") + Hex("00 00 00 00") + U16(3) + Hex("1E 02 00")};
    ReadBIFFFromMemory(book, Book({{Formula(0, 0, F64(2), 0, exp), array, Formula(1, 0, Special(1, 1), 0, exp)}}));
    EXPECT_EQ(CellListing(book), "0\t0\t0\t2\n0\t1\t0\tTRUE\n");
    auto* a1 = static_cast<TFormulaCell*>(book.Sheet(0).Cells().GetCells(0, 0));
    EXPECT_EQ(a1->CellType(), ctNumberArrayFormula);
    EXPECT_EQ(a1->FArrayData, array.Body);
}

TEST(XLSReaderSST, strings_split_across_continue_records_with_their_own_option_byte)
{
    // "ab" compressed, then "cd" continued as UTF-16; "ab" again; a rich
    // string with one run whose runs cross into the next CONTINUE.
    TRec sst = {0x00FC, U32(4) + U32(4) + U16(2) + Hex("00 61 62") + U16(4) + Hex("00 61 62")};
    TRec c1 = {0x003C, Hex("01 63 00 64 00") + U16(2) + Hex("00 61 62") + U16(1) + Hex("08") + U16(1) + Hex("78 00")};
    TRec c2 = {0x003C, Hex("00 05 00")};
    std::vector<TRec> cells;
    for (uint16_t i = 0; i < 4; ++i) cells.push_back({0x00FD, Cell(i, 0) + U32(i)});
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({cells}, {sst, c1, c2}));
    EXPECT_EQ(CellListing(book), "0\t0\t0\tab\n0\t1\t0\tabcd\n0\t2\t0\tab\n0\t3\t0\tx\n");
    auto* s0 = static_cast<TStringCell*>(book.Sheet(0).Cells().GetCells(0, 0))->FValue;
    auto* s2 = static_cast<TStringCell*>(book.Sheet(0).Cells().GetCells(0, 2))->FValue;
    auto* s1 = static_cast<TStringCell*>(book.Sheet(0).Cells().GetCells(0, 1))->FValue;
    auto* s3 = static_cast<TStringCell*>(book.Sheet(0).Cells().GetCells(0, 3))->FValue;
    EXPECT_EQ(s0, s2);
    EXPECT_EQ(s1->Options & sstUTF16, sstUTF16);
    EXPECT_EQ(s3->RunCount, 1);
    EXPECT_EQ(s3->FormatFont(0), 5);
}

TEST(XLSReaderSST, a_false_unique_count_allocates_nothing_beyond_the_records)
{
    TXLSWorkbook book;
    TRec sst = {0x00FC, U32(0xFFFFFFFF) + U32(0xFFFFFFF0) + U16(1) + Hex("00 61")};
    ReadBIFFFromMemory(book, Book({{{0x00FD, Cell(0, 0) + U32(0)}}}, {sst}));
    EXPECT_EQ(CellListing(book), "0\t0\t0\ta\n");
    TXLSWorkbook bad;
    TRec huge = {0x00FC, U32(1) + U32(1) + U16(0xFFFF) + Hex("01 61 00")};
    EXPECT_NE(ErrorOf([&] { ReadBIFFFromMemory(bad, Book({{}}, {huge})); }).find("CONTINUE record is missing in SST"),
              std::string::npos);
    EXPECT_EQ(bad.Sheets().Count(), 1);
}

TEST(XLSReaderSST, an_unknown_option_byte_is_refused_inside_the_record_wrapper)
{
    TXLSWorkbook book;
    TRec sst = {0x00FC, U32(1) + U32(1) + U16(1) + Hex("02 61")};
    std::string e = ErrorOf([&] { ReadBIFFFromMemory(book, Book({{}}, {sst})); });
    EXPECT_EQ(e.substr(0, 40), "Error on reading record # 1, 00FC Offs: ");
    EXPECT_EQ(e.substr(48), "\rSTT: Unhandled string type in Read (02)");
}

TEST(XLSReaderRecords, reading_stops_at_the_last_sheets_eof)
{
    TXLSWorkbook book;
    auto bytes = Book({{Number(0, 0, 1)}, {Number(0, 0, 2)}, {Number(0, 0, 3)}});
    auto stream = tbtest::WorkbookStream(bytes) + Hex("FF FF 10 00");  // junk after the last EOF
    TCompoundDocument doc;
    auto w = doc.Root().CreateStream(u"Workbook");
    w.Write(stream.data(), stream.size());
    ReadBIFFFromMemory(book, doc.SaveToMemory());
    EXPECT_EQ(CellListing(book), "0\t0\t0\t1\n1\t0\t0\t2\n2\t0\t0\t3\n");
    EXPECT_EQ(SheetNameListing(book), "S1\nS2\nS3\n");
}

TEST(XLSReaderRecords, custom_views_leave_no_trace_and_are_not_counted)
{
    TXLSWorkbook book;
    std::vector<TRec> sheet = {{0x01AA, Hex("00 00")},
                               Number(0, 0, 99),
                               {0x01AB, {}},
                               {0x0205, Cell(0, 1) + Hex("2B 01")}};
    std::string e = ErrorOf([&] { ReadBIFFFromMemory(book, Book({sheet})); });
    EXPECT_EQ(e.substr(0, 31), "Error on reading record # 5, 02");
    EXPECT_NE(e.find("\rInvalid cell error value"), std::string::npos);
    EXPECT_EQ(book.Sheet(0).Cells().GetCells(0, 0), nullptr);
}

TEST(XLSReaderRecords, not_an_excel_workbook_fails_before_any_record)
{
    TCompoundDocument doc;
    doc.Root().CreateStream(u"Other");
    TXLSWorkbook book;
    EXPECT_EQ(ErrorOf([&] { ReadBIFFFromMemory(book, doc.SaveToMemory()); }), "The file is not an Excel workbook");
    EXPECT_EQ(book.Sheets().Count(), 1);
}

TEST(XLSReaderRecords, encryption_without_a_usable_password_is_named)
{
    TXLSWorkbook book;
    EXPECT_NE(ErrorOf([&] {
                  ReadBIFFFromMemory(book, Book({{}}, {{0x002F, Hex("01 00 01 00")}}));
              }).find("\rFile is encrypted. Password required."),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  ReadBIFFFromMemory(book, Book({{}}, {{0x002F, Hex("02 00")}}));
              }).find("\rCan not read file, unknown type of encryption."),
              std::string::npos);
}

// 8-bit text of an Excel 5 file written on a Chinese system decodes by its
// CODEPAGE record (GBK), sheet names included.
TEST(XLSReaderText, excel5_text_decodes_by_the_code_page)
{
    std::vector<uint8_t> gbk = Hex("C6 BB B9 FB");  // 苹果
    TRec label = {0x0204, Cell(0, 0) + U16(4) + gbk};
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{label}}, {{0x0042, U16(936)}}, 0x0500));
    EXPECT_EQ(book.Version(), xvExcel50);
    EXPECT_EQ(Text(book, 0, 0), "苹果");
    std::vector<uint8_t> copy;
    book.SetVersion(xvExcel97);
    book.WriteToStream(copy);
    TXLSWorkbook again;
    ReadBIFFFromMemory(again, copy);
    EXPECT_EQ(Text(again, 0, 0), "苹果");
}

TEST(XLSReaderRecords, the_fifth_font_record_becomes_font_index_five)
{
    std::vector<TRec> fonts;
    for (int i = 0; i < 5; ++i)
        fonts.push_back({0x0031, U16(uint16_t(200 + 20 * i)) + Hex("00 00 FF 7F 90 01 00 00 00 00 00 00 01 00 41")});
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{}}, fonts));
    ASSERT_EQ(book.Fonts().Count(), 6);
    EXPECT_EQ(book.Fonts()[5].Size20, 280);
    EXPECT_EQ(book.Fonts()[3].Size20, 260);
}

// Some programs put BIFF8 records into a "Book" stream: the globals BOF's
// version decides, so the shared strings are read.
TEST(XLSReaderRecords, biff8_records_in_a_book_stream_read_as_biff8)
{
    TRec sst = {0x00FC, U32(1) + U32(1) + U16(2) + Hex("00 6F 6B")};
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{{0x00FD, Cell(0, 0) + U32(0)}}}, {sst}, 0x0600, u"Book"));
    EXPECT_EQ(book.Version(), xvExcel97);
    EXPECT_EQ(CellListing(book), "0\t0\t0\tok\n");
}

// A sheet protected by its PROTECT record alone (no protection feature
// header, as simple writers make it) stays protected when written back.
TEST(XLSReaderWriteBack, a_sheet_protected_by_protect_alone_stays_protected)
{
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{Number(0, 0, 1), {0x0012, U16(1)}}, {Number(0, 0, 2), {0x0012, U16(0)}}}));
    std::vector<uint8_t> copy;
    book.WriteToStream(copy);
    std::vector<uint16_t> protect;
    for (const auto& r : tbtest::RecordsOf(copy))
        if (r.Id == 0x0012) protect.push_back(uint16_t(r.Body[0] | r.Body[1] << 8));
    // globals, then the two sheets
    EXPECT_EQ(protect, (std::vector<uint16_t>{0, 1, 0}));
}
