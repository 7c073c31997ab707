// Files of other programs read and written back: what the model does not
// hold (chart sheets, the old format's stream) and what it holds as read
// (the shared-string count, cached values, code pages) come back right.
#include "BIFFBuild.h"
#include "TestHelpers.h"
#include "workbook/model/Cells.h"
#include "workbook/compound/CompoundDocument.h"
#include "workbook/biff/XLSReader.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

std::vector<uint8_t> WrittenBack(TXLSWorkbook& book)
{
    std::vector<uint8_t> copy;
    book.WriteToStream(copy);
    return copy;
}

std::vector<TRecord> Only(const std::vector<TRecord>& records, uint16_t id)
{
    std::vector<TRecord> out;
    for (const auto& r : records)
        if (r.Id == id) out.push_back(r);
    return out;
}

TRec LabelSST(uint16_t row, uint16_t col, uint32_t index) { return {0x00FD, Cell(row, col) + U32(index)}; }

// WINDOW1 with the given selected tab.
TRec Window1(uint16_t selected)
{
    return {0x003D, Hex("00 00 00 00 00 40 00 30 38 00") + U16(selected) + Hex("00 00 01 00 58 02")};
}

}  // namespace

TEST(XLSWriteBack, the_shared_string_total_count_stays_as_read_over_copies)
{
    TRec sst = {0x00FC, U32(130) + U32(2) + U16(1) + Hex("00 61") + U16(1) + Hex("00 62")};
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{LabelSST(0, 0, 0), LabelSST(1, 0, 1), LabelSST(2, 0, 0)}}, {sst}));
    EXPECT_EQ(book.SST().TotalCount(), 130u);
    std::vector<uint8_t> copy = WrittenBack(book);
    for (int round = 0; round < 2; ++round) {
        const auto written = Only(RecordsOf(copy), 0x00FC);
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(GetU32(&written[0].Body[0]), 130u) << "copy " << round + 1;
        EXPECT_EQ(GetU32(&written[0].Body[4]), 2u);
        TXLSWorkbook again;
        ReadBIFFFromMemory(again, copy);
        EXPECT_EQ(Text(again, 0, 2), "a");
        copy = WrittenBack(again);
    }
}

TEST(XLSWriteBack, a_chart_sheet_comes_back_in_its_place_with_its_records)
{
    const std::vector<TRec> chart = {{0x1002, Hex("00 00 00 00 00 00 00 00 00 00 40 01 00 00 F0 00")},
                                     {0x023E, Hex("A0 06 00 00 00 00 00 00 00 00")}};
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{Number(0, 0, 1)}, chart, {Number(0, 0, 3)}}, {Window1(1)}, 0x0600, nullptr,
                                  {0x0010, 0x0020, 0x0010}));
    ASSERT_EQ(book.Sheets().Count(), 2);
    const std::vector<uint8_t> copy = WrittenBack(book);
    const std::vector<uint8_t> stream = WorkbookStream(copy);
    const auto records = ParseRecords(stream);
    const auto sheets = Only(records, 0x0085);
    ASSERT_EQ(sheets.size(), 3u);
    const uint8_t kTypes[] = {0x00, 0x02, 0x00};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(sheets[i].Body[5], kTypes[i]) << i;
    // The chart's substream stands where its BOUNDSHEET points, unchanged.
    const uint32_t at = GetU32(sheets[1].Body.data());
    const std::vector<uint8_t> expected =
        RecordBytes({{0x0809, U16(0x0600) + U16(0x0020) + Hex("AF 18 CD 07 C1 00 00 00 06 03 00 00")}}) +
        RecordBytes(chart) + RecordBytes({{0x000A, {}}});
    ASSERT_LE(at + expected.size(), stream.size());
    EXPECT_EQ(std::vector<uint8_t>(stream.begin() + at, stream.begin() + at + long(expected.size())), expected);
    // The chart was the selected tab: no worksheet claims to be.
    for (const auto& w : Only(records, 0x023E))
        if (w.Body.size() == 18) EXPECT_EQ(GetU16(w.Body.data()) & 0x0200, 0) << "a worksheet is selected";
    TXLSWorkbook again;
    ReadBIFFFromMemory(again, copy);
    ASSERT_EQ(again.SheetNames().size(), 3u);
    EXPECT_EQ(again.SheetNames()[1].Name, u"S2");
    EXPECT_EQ(again.SheetNames()[1].Sheet, -1);
    EXPECT_EQ(Text(again, 0, 0, 1), "3");
}

TEST(XLSWriteBack, an_excel5_workbook_written_as_excel97_drops_its_old_book_stream)
{
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{Number(0, 0, 7)}}, {}, 0x0500));
    book.SetVersion(xvExcel97);
    const std::vector<uint8_t> copy = WrittenBack(book);
    auto doc = TCompoundDocument::OpenMemory(copy.data(), copy.size());
    EXPECT_NE(doc.RootEntry().Find(u"Workbook"), nullptr);
    EXPECT_EQ(doc.RootEntry().Find(u"Book"), nullptr);
}

TEST(XLSWriteBack, a_file_without_any_sheet_reads_as_one_empty_sheet)
{
    TTempDir dir;
    WriteBytes(dir / "globals.xls", Book({}));
    TXLSWorkbook book;
    book.SetFilename(Utf8ToUtf16((dir / "globals.xls").string()));
    book.Read();
    ASSERT_EQ(book.Sheets().Count(), 1);
    EXPECT_EQ(book.Sheet(0).Name(), u"Sheet1");
}

// A raw BIFF4 worksheet file names its code page in the worksheet stream.
TEST(XLSWriteBack, raw_biff4_text_decodes_by_its_code_page)
{
    const std::vector<uint8_t> gbk = Hex("C9 CC C6 B7");  // 商品
    const std::vector<uint8_t> file = RecordBytes(
        {{0x0409, Hex("00 00 10 00 00 00")}, {0x0042, U16(936)}, {0x0204, Cell(0, 0) + U16(4) + gbk}, {0x000A, {}}});
    TTempDir dir;
    WriteBytes(dir / "old.xls", file);
    TXLSWorkbook book;
    book.SetFilename(Utf8ToUtf16((dir / "old.xls").string()));
    book.Read();
    EXPECT_EQ(book.Version(), xvExcel40);
    EXPECT_EQ(Text(book, 0, 0), "商品");
}

// A cell that says it belongs to a shared formula the file does not hold
// keeps its cached value as a plain cell: no dangling formula is written.
TEST(XLSWriteBack, a_formula_whose_shared_formula_is_missing_keeps_its_cached_value)
{
    TXLSWorkbook book;
    ReadBIFFFromMemory(book, Book({{Formula(0, 0, F64(42), 0x0008, Hex("01 05 00 05 00")), Number(1, 0, 2)}}));
    TCell* cell = book.Sheet(0).Cells().GetCells(0, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->CellType(), ctFloat);
    EXPECT_EQ(Text(book, 0, 0), "42");
    const auto records = RecordsOf(WrittenBack(book));
    EXPECT_TRUE(Only(records, 0x0006).empty());
}
