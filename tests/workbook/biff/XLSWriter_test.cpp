// The BIFF8 writer: the exact file the application's export writes, the
// shared-string table with its CONTINUE and EXTSST records, number and blank
// runs, DIMENSIONS, and repeated writes.
#include "TestHelpers.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/Utf16.h"
#include "workbook/model/WindowResources.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <limits>

using namespace workbook;
using namespace tbtest;

namespace {

std::vector<uint8_t> Written(TXLSWorkbook& book)
{
    std::vector<uint8_t> file;
    book.WriteToStream(file);
    return file;
}

std::vector<TRecord> Only(const std::vector<TRecord>& records, uint16_t id)
{
    std::vector<TRecord> out;
    for (const auto& r : records)
        if (r.Id == id) out.push_back(r);
    return out;
}

const TRecord& First(const std::vector<TRecord>& records, uint16_t id)
{
    for (const auto& r : records)
        if (r.Id == id) return r;
    throw std::runtime_error("record missing");
}

std::vector<uint8_t> Double(double v)
{
    std::vector<uint8_t> b(8);
    PutF64(b.data(), v);
    return b;
}

std::vector<uint8_t> U16Text(const std::u16string& s)
{
    std::vector<uint8_t> b;
    for (char16_t c : s) b.insert(b.end(), {uint8_t(c), uint8_t(c >> 8)});
    return b;
}

std::vector<uint8_t> Bytes(std::initializer_list<uint32_t> words16)
{
    std::vector<uint8_t> b;
    for (uint32_t w : words16) b.insert(b.end(), {uint8_t(w), uint8_t(w >> 8)});
    return b;
}

// The records of the application's exported file, in order; cell records and
// the SST are checked apart.
std::vector<TRecord> ExpectedExport(uint32_t rows, uint32_t cols, uint32_t sheetPos)
{
    std::vector<uint8_t> writeAccess = Hex("00 00 01");
    writeAccess.insert(writeAccess.end(), 104, 0x20);
    writeAccess = Cat(writeAccess, Hex("34 30 30 36 32"));
    auto zero = Hex("00 00");
    std::vector<TRecord> r = {{0x0809, Hex("00 06 05 00 AF 18 CD 07 C9 80 00 00 06 01 00 00"), 0},
                              {0x005C, writeAccess, 0},
                              {0x0042, Hex("B0 04"), 0},
                              {0x0161, zero, 0},
                              {0x013D, Hex("01 00"), 0},
                              {0x009C, Hex("0E 00"), 0},
                              {0x0019, zero, 0},
                              {0x0012, zero, 0},
                              {0x0013, zero, 0},
                              {0x01AF, zero, 0},
                              {0x003D, Hex("64 00 64 00 10 27 58 1B 38 00 00 00 00 00 01 00 58 02"), 0},
                              {0x0040, zero, 0},
                              {0x008D, zero, 0},
                              {0x0022, zero, 0},
                              {0x000E, Hex("01 00"), 0},
                              {0x01B7, zero, 0},
                              {0x00DA, zero, 0}};
    auto arial = Hex("C8 00 00 00 08 00 90 01 00 00 00 02 00 00 05 01 41 00 72 00 69 00 61 00 6C 00");
    for (int i = 0; i < 4; ++i) r.push_back({0x0031, arial, 0});
    const std::pair<uint16_t, std::u16string> formats[] = {{9, u"0%"},
                                                           {42, u"_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)"},
                                                           {43, u"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)"},
                                                           {44,
                                                            u"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)"},
                                                           {45, u"mm:ss"}};
    for (const auto& [id, text] : formats)
        r.push_back({0x041E, Cat(Cat(Bytes({id, uint32_t(text.size())}), {1}), U16Text(text)), 0});
    const char* xfs[] = {"00 00 00 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20",
                         "01 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20",
                         "01 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20",
                         "02 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20",
                         "02 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"};
    for (const char* xf : xfs) r.push_back({0x00E0, Hex(xf), 0});
    for (int i = 5; i <= 14; ++i)
        r.push_back({0x00E0, Hex("00 00 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20"), 0});
    r.push_back({0x00E0, Hex("00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20"), 0});
    for (const char* nf : {"2A", "2B", "2C", "2D", "09"})
        r.push_back(
            {0x00E0, Hex(std::string("00 00 ") + nf + " 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20"), 0});
    r.push_back({0x00E0, Hex("00 00 00 00 01 00 20 00 00 00 00 00 40 20 40 20 10 00 C0 20"), 0});
    for (const char* st : {"10 80 03 FF", "11 80 06 FF", "12 80 04 FF", "13 80 07 FF", "00 80 00 FF", "14 80 05 FF"})
        r.push_back({0x0293, Hex(st), 0});
    std::vector<uint8_t> pos(4);
    PutU32(pos.data(), sheetPos);
    r.push_back({0x0085, Cat(Cat(pos, Hex("00 00 06 01")), U16Text(u"Sheet1")), 0});
    r.push_back({0x008C, Hex("01 00 2E 00"), 0});
    r.push_back({0x01C1, Hex("C1 01 00 00 FF FF FF 00"), 0});
    r.push_back({0x00FC, {}, 0});
    r.push_back({0x00FF, {}, 0});
    r.push_back({0x000A, {}, 0});
    r.push_back({0x0809, Hex("00 06 10 00 AF 18 CD 07 C9 80 00 00 06 01 00 00"), 0});
    for (auto [id, body] : std::initializer_list<std::pair<uint16_t, const char*>>{{0x000D, "01 00"},
                                                                                   {0x000C, "64 00"},
                                                                                   {0x000F, "01 00"},
                                                                                   {0x0011, "00 00"},
                                                                                   {0x0010, "FC A9 F1 D2 4D 62 50 3F"},
                                                                                   {0x005F, "01 00"},
                                                                                   {0x002B, "00 00"},
                                                                                   {0x002A, "00 00"},
                                                                                   {0x0082, "01 00"},
                                                                                   {0x0080, "00 00 00 00 00 00 00 00"},
                                                                                   {0x0225, "00 00 FF 00"},
                                                                                   {0x0081, "C1 04"},
                                                                                   {0x0014, ""},
                                                                                   {0x0015, ""}})
        r.push_back({id, Hex(body), 0});
    r.push_back({0x0026, Double(0.75), 0});
    r.push_back({0x0027, Double(0.75), 0});
    r.push_back({0x0028, Double(1.0), 0});
    r.push_back({0x0029, Double(1.0), 0});
    r.push_back({0x0083, zero, 0});
    r.push_back({0x0084, zero, 0});
    r.push_back({0x00A1,
                 Cat(Cat(Hex("09 00 64 00 01 00 01 00 01 00 02 00 58 02 58 02"), Cat(Double(0.5), Double(0.5))), zero),
                 0});
    r.push_back({0x0012, zero, 0});
    r.push_back({0x0055, Hex("08 00"), 0});
    std::vector<uint8_t> dims(14);
    PutU32(dims.data() + 4, rows ? rows : 1);
    PutU16(dims.data() + 10, uint16_t(cols ? cols : 1));
    r.push_back({0x0200, dims, 0});
    for (uint32_t i = 0; i < rows * cols; ++i) r.push_back({0x00FD, {}, 0});
    r.push_back({0x023E, Hex("B6 06 00 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00"), 0});
    r.push_back({0x001D, Hex("03 00 00 00 00 00 00 01 00 00 00 00 00 00 00"), 0});
    r.push_back({0x000A, {}, 0});
    return r;
}

void ExpectExportRecords(const std::vector<TRecord>& got, uint32_t rows, uint32_t cols)
{
    uint32_t sheetPos = 0;
    for (const auto& r : got)
        if (r.Id == 0x0809 && r.Offset > 0) sheetPos = uint32_t(r.Offset);
    auto expected = ExpectedExport(rows, cols, sheetPos);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].Id, expected[i].Id) << "record " << i;
        bool variable = expected[i].Id == 0x00FC || expected[i].Id == 0x00FF || expected[i].Id == 0x00FD;
        if (!variable) {
            EXPECT_EQ(got[i].Body, expected[i].Body) << "record " << i << " type " << std::hex << got[i].Id;
        }
    }
}

// Strings of the SST in file order, compressed or UTF-16 (single record only).
std::vector<std::u16string> SSTStrings(const TRecord& sst)
{
    std::vector<std::u16string> out;
    size_t pos = 8;
    for (uint32_t k = 0; k < GetU32(&sst.Body[4]); ++k) {
        uint16_t len = GetU16(&sst.Body[pos]);
        bool wide = sst.Body[pos + 2] & 1;
        pos += 3;
        std::u16string s;
        for (uint16_t i = 0; i < len; ++i, pos += wide ? 2 : 1)
            s += wide ? char16_t(GetU16(&sst.Body[pos])) : char16_t(sst.Body[pos]);
        out.push_back(s);
    }
    return out;
}

uint32_t Crc(const std::u16string& s)
{
    std::vector<uint8_t> bytes;
    for (char16_t c : s) bytes.push_back(uint8_t(c));
    return ~uint32_t(crc32(0, bytes.data(), uInt(bytes.size())));
}

}  // namespace

TEST(XLSWriter, exported_file_with_a_header_and_rows_has_the_exact_record_sequence)
{
    TXLSWorkbook book;
    LoadFromWindowResources(book);
    TSheet& sheet = book.Sheet(0);
    const std::u16string header[] = {u"商品编码", u"商品名称", u"商品属性", u"备注"};
    for (uint32_t c = 0; c < 4; ++c) sheet.SetAsString(c, 0, header[c]);
    for (uint32_t r = 1; r <= 3; ++r)
        for (uint32_t c = 0; c < 4; ++c)
            sheet.SetAsString(c, r, c == 2 ? u"件" : u"A" + std::u16string(1, char16_t(u'0' + r * 4 + c)));
    auto records = RecordsOf(Written(book));
    ExpectExportRecords(records, 4, 4);
    const TRecord& sst = First(records, 0x00FC);
    EXPECT_EQ(GetU32(&sst.Body[0]), 16u);
    EXPECT_EQ(GetU32(&sst.Body[4]), 14u);
    auto strings = SSTStrings(sst);
    auto labels = Only(records, 0x00FD);
    for (size_t i = 0; i < labels.size(); ++i) {
        uint32_t row = GetU16(&labels[i].Body[0]), col = GetU16(&labels[i].Body[2]);
        EXPECT_EQ(row, i / 4);
        EXPECT_EQ(col, i % 4);
        EXPECT_EQ(GetU16(&labels[i].Body[4]), 15);
        EXPECT_EQ(strings.at(GetU32(&labels[i].Body[6])), sheet.GetAsString(col, row));
    }
    const TRecord& ext = First(records, 0x00FF);
    ASSERT_EQ(ext.Body.size(), 2u + 8 * 2);  // 14 strings, buckets of 8
    EXPECT_EQ(GetU16(&ext.Body[0]), 8);
    EXPECT_EQ(GetU32(&ext.Body[2]), sst.Offset + 12);
    EXPECT_EQ(GetU16(&ext.Body[6]), 12);
}

TEST(XLSWriter, exported_file_without_cells_has_an_empty_sst_and_dimensions_0_1_0_1)
{
    TXLSWorkbook book;
    LoadFromWindowResources(book);
    auto records = RecordsOf(Written(book));
    ExpectExportRecords(records, 0, 0);
    EXPECT_EQ(First(records, 0x00FC).Body, Hex("00 00 00 00 00 00 00 00"));
    EXPECT_EQ(First(records, 0x00FF).Body, Hex("08 00"));
    EXPECT_EQ(First(records, 0x0200).Body, Hex("00 00 00 00 01 00 00 00 00 00 01 00 00 00"));
}

TEST(XLSWriter, sst_counts_references_and_labelsst_follows_the_trie_order)
{
    TXLSWorkbook book;
    TSheet& sheet = book.Sheet(0);
    const std::u16string texts[3][2] = {{u"apple", u"pear"}, {u"pear", u"plum"}, {u"fig", u"pear"}};
    for (uint32_t r = 0; r < 3; ++r)
        for (uint32_t c = 0; c < 2; ++c) sheet.SetAsString(c, r, texts[r][c]);
    auto records = RecordsOf(Written(book));
    const TRecord& sst = First(records, 0x00FC);
    EXPECT_EQ(GetU32(&sst.Body[0]), 6u);
    EXPECT_EQ(GetU32(&sst.Body[4]), 4u);
    std::vector<std::u16string> byTrie = {u"apple", u"pear", u"plum", u"fig"};
    std::stable_sort(byTrie.begin(), byTrie.end(), [](auto& a, auto& b) { return (Crc(a) & 0xFF) < (Crc(b) & 0xFF); });
    EXPECT_EQ(SSTStrings(sst), byTrie);
    auto labels = Only(records, 0x00FD);
    ASSERT_EQ(labels.size(), 6u);
    for (const auto& l : labels)
        EXPECT_EQ(byTrie.at(GetU32(&l.Body[6])), texts[GetU16(&l.Body[0])][GetU16(&l.Body[2])]);
}

TEST(XLSWriter, long_compressed_text_continues_with_option_byte_0)
{
    TXLSWorkbook book;
    std::u16string text(8300, u'x');
    book.Sheet(0).SetAsString(0, 0, text);
    auto records = RecordsOf(Written(book));
    auto it = std::find_if(records.begin(), records.end(), [](auto& r) { return r.Id == 0x00FC; });
    ASSERT_NE(it, records.end());
    EXPECT_EQ(it->Body.size(), 8224u);
    EXPECT_EQ((it + 1)->Id, 0x003C);
    EXPECT_EQ((it + 1)->Body.size(), 1u + 8300 - (8224 - 11));
    EXPECT_EQ((it + 1)->Body[0], 0x00);
    EXPECT_EQ((it + 2)->Id, 0x00FF);
}

TEST(XLSWriter, long_utf16_text_continues_with_option_byte_1_and_no_split_character)
{
    TXLSWorkbook book;
    std::u16string text(4200, u'货');
    book.Sheet(0).SetAsString(0, 0, text);
    auto records = RecordsOf(Written(book));
    auto it = std::find_if(records.begin(), records.end(), [](auto& r) { return r.Id == 0x00FC; });
    ASSERT_NE(it, records.end());
    EXPECT_EQ(it->Body.size(), 8223u);  // 8 + 3 + 4106 characters
    EXPECT_EQ((it + 1)->Id, 0x003C);
    EXPECT_EQ((it + 1)->Body[0], 0x01);
    EXPECT_EQ((it + 1)->Body.size(), 1u + 2 * (4200 - 4106));
    EXPECT_EQ(GetU16(&(it + 1)->Body[1]), u'货');
}

TEST(XLSWriter, string_starting_with_15_bytes_or_less_left_opens_a_continue_record)
{
    TXLSWorkbook book;
    for (int k = 0; k < 9; ++k) book.Sheet(0).SetAsString(0, uint32_t(k), std::u16string(1023, char16_t(u'a' + k)));
    auto file = Written(book);
    auto records = RecordsOf(file);
    auto it = std::find_if(records.begin(), records.end(), [](auto& r) { return r.Id == 0x00FC; });
    ASSERT_NE(it, records.end());
    EXPECT_EQ(it->Body.size(), 8216u);
    const TRecord& cont = *(it + 1);
    EXPECT_EQ(cont.Id, 0x003C);
    EXPECT_EQ(cont.Body.size(), 1026u);
    EXPECT_EQ(GetU16(&cont.Body[0]), 1023);
    const TRecord& ext = *(it + 2);
    ASSERT_EQ(ext.Id, 0x00FF);
    EXPECT_EQ(ext.Body, Cat(Cat(Hex("08 00"),
                                Bytes({uint32_t(it->Offset + 12) & 0xFFFF, uint32_t(it->Offset + 12) >> 16, 12, 0})),
                            Bytes({uint32_t(cont.Offset + 4) & 0xFFFF, uint32_t(cont.Offset + 4) >> 16, 4, 0})));
}

TEST(XLSWriter, ten_thousand_strings_give_bucket_size_10_and_1000_extsst_entries)
{
    TXLSWorkbook book;
    for (uint32_t i = 0; i < 10000; ++i)
        book.Sheet(0).SetAsString(0, i,
                                  u"order-" + std::u16string(1, char16_t(u'0' + i % 10)) +
                                      std::u16string(i / 10 % 1000 + 1, u'#'));
    auto stream = WorkbookStream(Written(book));
    auto records = ParseRecords(stream);
    const TRecord& ext = First(records, 0x00FF);
    EXPECT_EQ(GetU16(&ext.Body[0]), 10);
    ASSERT_EQ(ext.Body.size(), 2u + 8 * 1000);
    for (size_t e = 0; e < 1000; ++e) {
        uint32_t pos = GetU32(&ext.Body[2 + 8 * e]);
        uint16_t offset = GetU16(&ext.Body[6 + 8 * e]);
        uint32_t recStart = pos - offset;
        uint16_t recId = GetU16(&stream[recStart]);
        EXPECT_TRUE(recId == 0x00FC || recId == 0x003C) << e;
        uint16_t len = GetU16(&stream[pos]);
        EXPECT_GE(len, 8u) << e;
    }
    EXPECT_EQ(GetU32(&First(records, 0x00FC).Body[4]), 10000u);
}

TEST(XLSWriter, numbers_become_rk_mulrk_or_number_records)
{
    TXLSWorkbook book;
    TCellValues& cells = book.Sheet(0).Cells();
    TCellFormat* xf = book.DefaultFormat();
    for (uint16_t c = 0; c < 3; ++c) cells.SetCells(c, 0, std::make_unique<TFloatCell>(c, 0, xf, c + 1.0));
    cells.SetCells(0, 1, std::make_unique<TIntegerCell>(0, 1, xf, 1));
    cells.SetCells(1, 1, std::make_unique<TFloatCell>(1, 1, xf, 2.0));
    cells.SetCells(3, 1, std::make_unique<TFloatCell>(3, 1, xf, 5.0));
    cells.SetCells(0, 2, std::make_unique<TFloatCell>(0, 2, xf, 0.1));
    cells.SetCells(0, 3, std::make_unique<TFloatCell>(0, 3, xf, 1e300));
    cells.SetCells(1, 3, std::make_unique<TFloatCell>(1, 3, xf, 0.5));
    auto records = RecordsOf(Written(book));
    auto mulrk = Only(records, 0x00BD);
    ASSERT_EQ(mulrk.size(), 2u);
    EXPECT_EQ(mulrk[0].Body, Hex("00 00 00 00  0F 00 06 00 00 00  0F 00 0A 00 00 00  0F 00 0E 00 00 00  02 00"));
    EXPECT_EQ(mulrk[1].Body, Hex("01 00 00 00  0F 00 06 00 00 00  0F 00 0A 00 00 00  01 00"));
    auto numbers = Only(records, 0x0203);
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_EQ(numbers[0].Body, Cat(Hex("01 00 03 00 0F 00"), Double(5.0)));
    EXPECT_EQ(numbers[1].Body, Cat(Hex("03 00 00 00 0F 00"), Double(1e300)));
    auto rk = Only(records, 0x027E);
    ASSERT_EQ(rk.size(), 2u);
    EXPECT_EQ(rk[0].Body, Hex("02 00 00 00 0F 00 2B 00 00 00"));  // 0.1: integer 10, x100 flag
    EXPECT_EQ(rk[1].Body, Hex("03 00 01 00 0F 00 00 00 E0 3F"));  // 0.5: the double's high half
}

TEST(XLSWriter, numbers_near_the_double_range_and_odd_quotients_round_trip_bit_for_bit)
{
    const double values[] = {1.797e308,
                             -1.797e308,
                             1.8e306,
                             2e306,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::denorm_min(),
                             0.07,
                             1.15,
                             123456.78,
                             -0.0};
    TXLSWorkbook book;
    TCellValues& cells = book.Sheet(0).Cells();
    uint16_t col = 0;
    for (double v : values) {
        cells.SetCells(col, 0, std::make_unique<TFloatCell>(col, 0, book.DefaultFormat(), v));
        ++col;
    }
    const std::vector<uint8_t> file = Written(book);
    TTempDir dir;
    WriteBytes(dir / "n.xls", file);
    TXLSWorkbook back;
    back.SetFilename(Utf8ToUtf16((dir / "n.xls").string()));
    back.Read();
    col = 0;
    for (double v : values) {
        TCell* cell = back.Sheet(0).Cells().GetCells(col, 0);
        ASSERT_NE(cell, nullptr) << v;
        ASSERT_EQ(cell->CellType(), ctFloat);
        const double got = static_cast<TFloatCell*>(cell)->FValue;
        EXPECT_EQ(std::memcmp(&got, &v, sizeof v), 0) << "column " << col << ": wrote " << v << ", read " << got;
        ++col;
    }
}

TEST(XLSWriter, blanks_booleans_and_errors_have_their_records)
{
    TXLSWorkbook book;
    TCellValues& cells = book.Sheet(0).Cells();
    TCellFormat* xf = book.DefaultFormat();
    cells.SetCells(0, 0, std::make_unique<TBlankCell>(0, 0, xf));
    cells.SetCells(2, 0, std::make_unique<TBlankCell>(2, 0, xf));
    cells.SetCells(3, 0, std::make_unique<TBlankCell>(3, 0, xf));
    cells.SetCells(0, 1, std::make_unique<TBooleanCell>(0, 1, xf, true));
    cells.SetCells(1, 1, std::make_unique<TErrorCell>(1, 1, xf, errDiv0));
    cells.SetCells(2, 1, std::make_unique<TErrorCell>(2, 1, xf, errNA));
    auto records = RecordsOf(Written(book));
    EXPECT_EQ(First(records, 0x0201).Body, Hex("00 00 00 00 0F 00"));
    EXPECT_EQ(First(records, 0x00BE).Body, Hex("00 00 02 00 0F 00 0F 00 03 00"));
    auto boolerr = Only(records, 0x0205);
    ASSERT_EQ(boolerr.size(), 3u);
    EXPECT_EQ(boolerr[0].Body, Hex("01 00 00 00 0F 00 01 00"));
    EXPECT_EQ(boolerr[1].Body, Hex("01 00 01 00 0F 00 07 01"));
    EXPECT_EQ(boolerr[2].Body, Hex("01 00 02 00 0F 00 2A 01"));
}

TEST(XLSWriter, cells_beyond_column_255_are_skipped_and_dimensions_capped)
{
    TXLSWorkbook book;
    book.Sheet(0).SetAsString(300, 2, u"far");
    auto records = RecordsOf(Written(book));
    EXPECT_TRUE(Only(records, 0x00FD).empty());
    EXPECT_EQ(First(records, 0x0200).Body, Hex("02 00 00 00 03 00 00 00 FF 00 FF 00 00 00"));
    book.Sheet(0).SetAsString(1, 70000, u"deep");
    book.Sheet(0).SetAsString(0, 0, u"near");
    records = RecordsOf(Written(book));
    EXPECT_EQ(Only(records, 0x00FD).size(), 1u);
    EXPECT_EQ(First(records, 0x0200).Body, Hex("00 00 00 00 00 00 01 00 00 00 FF 00 00 00"));
}

TEST(XLSWriter, full_height_sheet_says_65536_rows_in_dimensions)
{
    TXLSWorkbook book;
    book.Sheet(0).SetAsString(0, 0, u"title");
    book.Sheet(0).SetAsString(0, 65535, u"last line");
    auto records = RecordsOf(Written(book));
    EXPECT_EQ(Only(records, 0x00FD).size(), 2u);
    EXPECT_EQ(First(records, 0x0200).Body, Hex("00 00 00 00 00 00 01 00 00 00 01 00 00 00"));
}

TEST(XLSWriter, writing_twice_gives_equal_files_and_later_settings_reach_the_second)
{
    TXLSWorkbook book;
    LoadFromWindowResources(book);
    book.Sheet(0).SetAsString(0, 0, u"订单编号");
    book.Sheet(0).SetAsString(1, 0, u"x");
    EXPECT_EQ(Written(book), Written(book));
    book.Sheet(0).SetOptions({soShowFormulas});
    book.Sheet(0).SetZoom(150);
    auto records = RecordsOf(Written(book));
    EXPECT_EQ(GetU16(&First(records, 0x023E).Body[0]), 0x04A1 | 0x0600);
    EXPECT_EQ(First(records, 0x00A0).Body, Hex("96 00 64 00"));
}

TEST(XLSWriter, two_sheets_get_their_positions_and_only_the_selected_tab_is_selected)
{
    TXLSWorkbook book;
    book.Sheets().Add();
    book.Sheet(1).SetAsString(0, 0, u"second");
    book.Workbook().SetSelectedTab(1);
    auto stream = WorkbookStream(Written(book));
    auto records = ParseRecords(stream);
    auto bounds = Only(records, 0x0085);
    ASSERT_EQ(bounds.size(), 2u);
    for (const auto& b : bounds) EXPECT_EQ(GetU16(&stream[GetU32(&b.Body[0])]), 0x0809);
    EXPECT_EQ(First(records, 0x013D).Body, Hex("01 00 02 00"));
    auto windows = Only(records, 0x023E);
    EXPECT_EQ(GetU16(&windows[0].Body[0]) & 0x0600, 0);
    EXPECT_EQ(GetU16(&windows[1].Body[0]) & 0x0600, 0x0600);
}

TEST(XLSWriter, clearing_a_loaded_component_gives_the_same_empty_export)
{
    TXLSWorkbook fresh;
    LoadFromWindowResources(fresh);
    TXLSWorkbook used;
    LoadFromWindowResources(used);
    used.Sheet(0).SetAsString(2, 2, u"stale row of an earlier export");
    used.Sheets().Add();
    std::vector<uint8_t> first;
    used.WriteToStream(first);
    used.Clear();
    if (used.Sheet(0).PrintSettings().PaperSize() != psA4) GTEST_SKIP() << "the locale's paper is not A4";
    EXPECT_EQ(Written(used), Written(fresh));
}
