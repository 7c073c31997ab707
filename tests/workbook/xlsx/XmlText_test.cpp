#include "workbook/xlsx/XmlText.h"

#include "workbook/formats/CellText.h"

#include <gtest/gtest.h>

namespace {

using namespace workbook;

TEST(DecodeXmlText, utf8_becomes_utf16)
{
    EXPECT_EQ(DecodeXmlText("\xE5\xA4\x87\xE6\xB3\xA8"), u"备注");
    EXPECT_EQ(DecodeXmlText("caf\xC3\xA9"), u"café");
    EXPECT_EQ(DecodeXmlText("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(DecodeXmlText, invalid_utf8_bytes_become_replacement_characters)
{
    EXPECT_EQ(DecodeXmlText("a\xFF"
                            "b"),
              u"a\uFFFDb");
    EXPECT_EQ(DecodeXmlText("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong "/"
    EXPECT_EQ(DecodeXmlText("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // a surrogate
    EXPECT_EQ(DecodeXmlText("\xE5\xA4"), u"\uFFFD\uFFFD");            // cut short
}

TEST(DecodeXmlText, all_five_xml_entities_are_replaced)
{
    EXPECT_EQ(DecodeXmlText("&quot;a&amp;b&lt;c&gt;"), u"\"a&b<c>");
    EXPECT_EQ(DecodeXmlText("it&apos;s"), u"it's");
}

TEST(DecodeXmlText, literal_line_ends_read_as_lf_but_referenced_cr_stays)
{
    EXPECT_EQ(DecodeXmlText("a\r\nb\rc\nd"), u"a\nb\nc\nd");
    EXPECT_EQ(DecodeXmlText("a&#13;\nb&#xD;&#xA;"), u"a\r\nb\r\n");
}

TEST(DecodeXmlText, replacement_text_is_not_scanned_again)
{
    EXPECT_EQ(DecodeXmlText("&amp;lt;"), u"&lt;");
    EXPECT_EQ(DecodeXmlText("&amp;#65;"), u"&#65;");
}

TEST(DecodeXmlText, html_latin1_names_and_nbsp)
{
    EXPECT_EQ(DecodeXmlText("&iexcl;"), u"\u00A1");
    EXPECT_EQ(DecodeXmlText("&copy;&eacute;&Eacute;"), u"\u00A9\u00E9\u00C9");
    EXPECT_EQ(DecodeXmlText("&times;&divide;"), u"\u00D7\u00F7");
    EXPECT_EQ(DecodeXmlText("&yuml;"), u"\u00FF");
    EXPECT_EQ(DecodeXmlText("a&nbsp;b"), u"a b");
    EXPECT_EQ(DecodeXmlText("&EACUTE;&euro;"), u"&EACUTE;&euro;");
}

TEST(DecodeXmlText, numeric_references_in_decimal_and_hex)
{
    EXPECT_EQ(DecodeXmlText("&#65;&#x42;&#x6d;"), u"ABm");
    EXPECT_EQ(DecodeXmlText("&#xA;&#13;"), u"\n\r");
    EXPECT_EQ(DecodeXmlText("&#x1F600;"), u"\U0001F600");
    EXPECT_EQ(DecodeXmlText("&#x5907;&#27880;"), u"备注");
}

TEST(DecodeXmlText, malformed_references_stay_as_written)
{
    EXPECT_EQ(DecodeXmlText("&#;&#x;&#12a;&#X41;"), u"&#;&#x;&#12a;&#X41;");
    EXPECT_EQ(DecodeXmlText("&#0;&#xD800;&#x110000;"), u"&#0;&#xD800;&#x110000;");
    EXPECT_EQ(DecodeXmlText("AT&T; a & b &amp"), u"AT&T; a & b &amp");
    EXPECT_EQ(DecodeXmlText("&#99999999999999;"), u"&#99999999999999;");
}

TEST(DecodeXEscapes, control_characters_and_literal_underscore)
{
    EXPECT_EQ(DecodeXEscapes(u"a_x000D_b"), u"a\rb");
    EXPECT_EQ(DecodeXEscapes(u"_x005F_x000D_"), u"_x000D_");
    EXPECT_EQ(DecodeXEscapes(u"_x00zz_ _x12_"), u"_x00zz_ _x12_");
}

TEST(DecodeXEscapes, in_place_from_a_position_and_at_the_very_end)
{
    std::u16string text = u"_x0041__x0042_";
    DecodeXEscapesInPlace(text, 7);
    EXPECT_EQ(text, u"_x0041_B");
    text = u"ab_x0009_";
    DecodeXEscapesInPlace(text);
    EXPECT_EQ(text, u"ab\t");
    text = u"ab_x0009";
    DecodeXEscapesInPlace(text);
    EXPECT_EQ(text, u"ab_x0009");
}

TEST(DecodeXmlText, appending_keeps_what_was_there)
{
    std::u16string out = u"x";
    AppendDecodedXmlText(out, "a&amp;\r\n\xE5\xA4\x87");
    EXPECT_EQ(out, u"xa&\n备");
}

TEST(XmlValues, booleans_are_one_or_true)
{
    EXPECT_TRUE(XmlToBool("1"));
    EXPECT_TRUE(XmlToBool("true"));
    EXPECT_FALSE(XmlToBool("TRUE"));
    EXPECT_FALSE(XmlToBool("0"));
    EXPECT_FALSE(XmlToBool(""));
}

TEST(XmlValues, integers_and_text_that_is_none)
{
    EXPECT_EQ(XmlToInt("42"), 42);
    EXPECT_EQ(XmlToInt("-7"), -7);
    EXPECT_EQ(XmlToInt("+7"), 7);
    EXPECT_EQ(XmlToInt("12a"), 0);
    EXPECT_EQ(XmlToInt("abc"), 0);
    EXPECT_EQ(XmlToInt("99999999999"), 0);
}

TEST(XmlValues, floats_use_a_point_whatever_the_locale)
{
    EXPECT_EQ(XmlToFloat("1e3"), 1000);
    EXPECT_EQ(XmlToFloat("12.5"), 12.5);
    EXPECT_EQ(XmlToFloat("-0.25"), -0.25);
    EXPECT_EQ(XmlToFloat("abc"), 0);
    EXPECT_EQ(XmlToFloat("12,5"), 0);
    EXPECT_EQ(XmlToFloat("1e999"), 0);
    EXPECT_EQ(XmlToFloat("nan"), 0);
}

TEST(XmlValues, cell_references_are_zero_based)
{
    EXPECT_EQ(ParseCellRef("A1"), (TXmlCellRef{0, 0}));
    EXPECT_EQ(ParseCellRef("C3"), (TXmlCellRef{2, 2}));
    EXPECT_EQ(ParseCellRef("Z10"), (TXmlCellRef{25, 9}));
    EXPECT_EQ(ParseCellRef("AA1"), (TXmlCellRef{26, 0}));
    EXPECT_EQ(ParseCellRef("XFD1048576"), (TXmlCellRef{16383, 1048575}));
    EXPECT_EQ(ParseCellRef("$B$2"), (TXmlCellRef{1, 1}));
}

TEST(XmlValues, cell_references_outside_the_grid_are_refused)
{
    EXPECT_FALSE(ParseCellRef(""));
    EXPECT_FALSE(ParseCellRef("A"));
    EXPECT_FALSE(ParseCellRef("12"));
    EXPECT_FALSE(ParseCellRef("A0"));
    EXPECT_FALSE(ParseCellRef("XFE1"));
    EXPECT_FALSE(ParseCellRef("A1048577"));
    EXPECT_FALSE(ParseCellRef("AAAAAAAAAAAAAAAA1"));
    EXPECT_FALSE(ParseCellRef("A1x"));
    EXPECT_FALSE(ParseCellRef("A-1"));
    EXPECT_FALSE(ParseCellRef("A+1"));
    EXPECT_FALSE(ParseCellRef("A$"));
    EXPECT_FALSE(ParseCellRef("A99999999999999999999"));
    EXPECT_EQ(ParseCellRef("a01"), (TXmlCellRef{0, 0}));
}

TEST(XmlValues, area_references)
{
    EXPECT_EQ(ParseAreaRef("A1:C3"), (TXmlAreaRef{{0, 0}, {2, 2}}));
    EXPECT_EQ(ParseAreaRef("B2"), (TXmlAreaRef{{1, 1}, {1, 1}}));
    EXPECT_FALSE(ParseAreaRef("A1:"));
    EXPECT_FALSE(ParseAreaRef(":B2"));
}

}  // namespace

namespace {

using namespace workbook;

std::string Serial(std::string_view iso, bool date1904 = false)
{
    const auto serial = IsoDateToSerial(iso, date1904);
    return serial ? FloatToStrGeneral(*serial, '.') : "none";
}

TEST(IsoDateToSerial, dates_times_and_both)
{
    EXPECT_EQ(Serial("2021-01-01"), "44197");
    EXPECT_EQ(Serial("2021-01-01T10:10:10"), "44197.4237268519");
    EXPECT_EQ(Serial("10:10:10"), "0.423726851851852");
    EXPECT_EQ(Serial("2014-02-14T08:27:48.765Z"), "41684.3526477431");
    EXPECT_EQ(Serial("2013-10-20T12:00:00+08:00"), "41567.5");
}

TEST(IsoDateToSerial, the_1900_system_counts_its_leap_day)
{
    EXPECT_EQ(Serial("1900-01-01"), "1");
    EXPECT_EQ(Serial("1900-02-28"), "59");
    EXPECT_EQ(Serial("1900-03-01"), "61");
}

TEST(IsoDateToSerial, the_1904_system_starts_at_zero)
{
    EXPECT_EQ(Serial("1904-01-01", true), "0");
    EXPECT_EQ(Serial("2021-01-01", true), "42735");
}

TEST(IsoDateToSerial, other_text_is_no_date)
{
    EXPECT_EQ(Serial(""), "none");
    EXPECT_EQ(Serial("2021-13-01"), "none");
    EXPECT_EQ(Serial("2021-01-01x"), "none");
    EXPECT_EQ(Serial("25:00:00"), "none");
    EXPECT_EQ(Serial("abc"), "none");
}

}  // namespace
