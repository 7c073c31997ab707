// Record lists: default records in their order, placement of records read
// from a file, and the WRITEACCESS user name.
#include "TestHelpers.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/biff/RecordStorage.h"
#include "workbook/XLSError.h"

#include <gtest/gtest.h>

using namespace workbook;
using namespace tbtest;

namespace {

std::vector<uint16_t> Ids(const TBaseRecordStorage& list)
{
    std::vector<uint16_t> ids;
    for (int i = 0; i < list.Count(); ++i) ids.push_back(list[i].RecId);
    return ids;
}

uint32_t Header(uint16_t id, size_t length) { return id | (uint32_t(length) << 16); }

}  // namespace

TEST(RecordStorage, globals_defaults_come_in_the_format_order_with_placeholders)
{
    TRecordStorageGlobals globals;
    EXPECT_EQ(globals.Count(), 0);
    globals.MoveAllDefault();
    std::vector<uint16_t> expected = {0x0809, 0x005C, 0x0042, 0x0161, 0x013D, 0x009C, 0x0019, 0x0012, 0x0013,
                                      0x01AF, 0x003D, 0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA, 0x8001,
                                      0x8002, 0x008C, 0x01C1, 0x8003, 0x8004, 0x8005, 0x000A};
    EXPECT_EQ(Ids(globals), expected);
    EXPECT_EQ(globals.PWINDOW1()->Data, Hex("64 00 64 00 10 27 58 1B 38 00 00 00 00 00 01 00 58 02"));
    EXPECT_EQ(globals.PBOF()->Data, Hex("00 06 05 00 AF 18 CD 07 C9 80 00 00 06 01 00 00"));
    EXPECT_EQ(globals.FindRecord(0x008C), 19);
}

TEST(RecordStorage, sheet_defaults_come_in_the_format_order_with_placeholders)
{
    TRecordStorageSheet sheet;
    sheet.MoveAllDefault();
    std::vector<uint16_t> expected = {0x0809, 0x000D, 0x000C, 0x000F, 0x0011, 0x0010, 0x005F, 0x002B, 0x002A,
                                      0x0082, 0x0080, 0x0225, 0x0081, 0x8101, 0x8102, 0x8103, 0x0083, 0x0084,
                                      0x00A1, 0x0012, 0x0055, 0x0200, 0x8104, 0x8105, 0x023E, 0x8106, 0x000A};
    EXPECT_EQ(Ids(sheet), expected);
    EXPECT_EQ(sheet.PDELTA()->Data, Hex("FC A9 F1 D2 4D 62 50 3F"));
    EXPECT_EQ(sheet.PWINDOW2()->Data, Hex("B6 04 00 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(sheet.PSETUP()->Data.size(), 34u);
}

TEST(RecordStorage, empty_user_name_gives_spaces_and_the_trailer)
{
    TRecordStorageGlobals globals;
    std::vector<uint8_t> expected = Hex("00 00 01");
    expected.insert(expected.end(), 104, 0x20);
    expected = Cat(expected, Hex("34 30 30 36 32"));
    EXPECT_EQ(globals.PWRITEACCESS()->Data, expected);
    globals.SetUserName(u"王店主");
    EXPECT_EQ(globals.UserName(), u"王店主");
    EXPECT_EQ(globals.PWRITEACCESS()->Data.size(), 112u);
    EXPECT_EQ(std::vector<uint8_t>(globals.PWRITEACCESS()->Data.begin() + 107, globals.PWRITEACCESS()->Data.end()),
              Hex("34 30 30 36 32"));
}

TEST(RecordStorage, missing_defaults_are_placed_before_the_next_default_the_file_has)
{
    // As a reader meets them: BOF, a kept record, WINDOW1, the first BOUNDSHEET, EOF.
    TRecordStorageGlobals globals;
    auto bof = Hex("00 06 05 00 00 00 00 00 00 00 00 00 00 00 00 00");
    globals.UpdateDefault(Header(0x0809, bof.size()), bof.data());
    auto kept = Hex("01 02 03");
    globals.AddRec(Header(0x00E1, 3), kept.data());
    auto window1 = Hex("01 00 02 00 03 00 04 00 38 00 00 00 00 00 01 00 58 02");
    globals.UpdateDefault(Header(0x003D, window1.size()), window1.data());
    globals.UpdateInternal(INTERNAL_BOUNDSHEETS);
    globals.UpdateDefault(Header(0x000A, 0), nullptr);
    std::vector<uint16_t> expected = {0x0809, 0x00E1, 0x005C, 0x0042, 0x0161, 0x013D, 0x009C, 0x0019, 0x0012,
                                      0x0013, 0x01AF, 0x003D, 0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA,
                                      0x8001, 0x8002, 0x008C, 0x01C1, 0x8003, 0x8004, 0x8005, 0x000A};
    EXPECT_EQ(Ids(globals), expected);
    EXPECT_EQ(globals.PCOUNTRY()->Data, Hex("01 00 2E 00"));
    EXPECT_EQ(globals.PWINDOW1()->Data, window1);
    EXPECT_EQ(globals.PBOF()->Data, bof);
}

TEST(RecordStorage, a_default_met_twice_keeps_the_second_or_fails_on_another_length)
{
    TRecordStorageGlobals globals;
    auto first = Hex("01 00 02 00 03 00 04 00 38 00 00 00 00 00 01 00 58 02");
    auto second = Hex("09 00 08 00 07 00 06 00 38 00 00 00 00 00 01 00 58 02");
    globals.UpdateDefault(Header(0x003D, 18), first.data());
    globals.UpdateDefault(Header(0x003D, 18), second.data());
    EXPECT_EQ(globals.FindRecord(0x003D), globals.Count() - 1);
    EXPECT_EQ(globals.PWINDOW1()->Data, second);
    try {
        globals.UpdateDefault(Header(0x003D, 4), second.data());
        FAIL();
    } catch (const EXLSError& e) {
        EXPECT_STREQ(e.what(), "Size missmatch on default record 003D");
    }
    globals.UpdateDefault(Header(0x1234, 2), second.data());  // not a default type: ignored
    EXPECT_EQ(globals.FindRecord(0x1234), -1);
}

TEST(RecordStorage, sheet_bof_of_any_version_is_placed_as_the_biff8_bof)
{
    TRecordStorageSheet sheet;
    auto bof5 = Hex("00 05 10 00 00 00 00 00");
    sheet.UpdateDefault(Header(0x0409, bof5.size()), bof5.data());
    ASSERT_EQ(sheet.Count(), 1);
    EXPECT_EQ(sheet[0].RecId, 0x0809);
    EXPECT_EQ(sheet[0].Data, bof5);
}
