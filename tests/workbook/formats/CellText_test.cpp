#include "workbook/formats/CellText.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

namespace {

using namespace workbook;

std::string Text(double v) { return FloatToStrGeneral(static_cast<long double>(v), '.'); }

TEST(FloatToStrGeneral, integers_read_without_separator)
{
    EXPECT_EQ(Text(12), "12");        // an RK integer becomes a float cell when read
    EXPECT_EQ(Text(7), "7");          // cached result of a number formula
    EXPECT_EQ(Text(41567), "41567");  // a date is its serial number
    EXPECT_EQ(Text(987654321098765.0), "987654321098765");
}

TEST(FloatToStrGeneral, fractions_keep_fifteen_significant_digits)
{
    EXPECT_EQ(Text(12.5), "12.5");
    EXPECT_EQ(Text(0.1 + 0.2), "0.3");
    EXPECT_EQ(Text(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(Text(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(Text(-2468.125), "-2468.125");
    EXPECT_EQ(Text(41567.5), "41567.5");
}

TEST(FloatToStrGeneral, plain_form_ends_at_exponent_limits)
{
    EXPECT_EQ(Text(1E15), "1E15");
    EXPECT_EQ(Text(9876543210987654.0), "9.87654321098765E15");
    EXPECT_EQ(Text(1E20), "1E20");
    EXPECT_EQ(Text(0.0001), "0.0001");
    EXPECT_EQ(Text(0.00001), "1E-5");
    EXPECT_EQ(Text(1.5E-10), "1.5E-10");
    EXPECT_EQ(Text(-1.25E300), "-1.25E300");
}

TEST(FloatToStrGeneral, zero_of_either_sign_is_plain_zero)
{
    EXPECT_EQ(Text(0.0), "0");
    EXPECT_EQ(Text(-0.0), "0");
}

TEST(FloatToStrGeneral, infinities_and_nan_have_names)
{
    EXPECT_EQ(Text(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(Text(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(Text(std::nan("")), "NAN");
}

TEST(FloatToStrGeneral, sixteenth_digit_of_eighteen_rounds_up)
{
    // 8008.84955752212499646...: 18 digits end in ...2125, which the cut to 15 rounds up.
    EXPECT_EQ(Text(8008.849557522125), "8008.84955752213");
    EXPECT_EQ(Text(0.999999999999999999), "1");
    EXPECT_EQ(Text(9.9999999999999999E22), "1E23");
    EXPECT_EQ(Text(99999999999999.99), "100000000000000");
}

TEST(FloatToStrGeneral, extremes_of_the_double_range)
{
    EXPECT_EQ(Text(std::numeric_limits<double>::max()), "1.79769313486232E308");
    EXPECT_EQ(Text(std::numeric_limits<double>::min()), "2.2250738585072E-308");
    EXPECT_EQ(Text(std::numeric_limits<double>::denorm_min()), "4.94065645841247E-324");
}

TEST(FloatToStrGeneral, extended_values_beyond_double_range)
{
    EXPECT_EQ(FloatToStrGeneral(1E4000L, '.'), "1E4000");
    EXPECT_EQ(FloatToStrGeneral(1.5E-4000L, '.'), "1.5E-4000");
}

TEST(FloatToStrGeneral, decimal_separator_is_the_one_given)
{
    EXPECT_EQ(FloatToStrGeneral(12.5L, ','), "12,5");
    EXPECT_EQ(FloatToStrGeneral(static_cast<long double>(1.5E-10), ','), "1,5E-10");
    EXPECT_EQ(FloatToStrGeneral(1234567.0L, ','), "1234567");
}

// Switches LC_NUMERIC to German (decimal comma). When the system has no such
// locale one is compiled into a temporary folder for this process.
class GermanNumbers {
public:
    GermanNumbers() : FSaved(std::setlocale(LC_NUMERIC, nullptr))
    {
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) return;
        FFolder = std::filesystem::temp_directory_path() / ("tb-locale-" + std::to_string(::getpid()));
        std::filesystem::create_directories(FFolder);
        const std::string make = "localedef -i de_DE -f UTF-8 " + FFolder.string() + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0) return;
        ::setenv("LOCPATH", FFolder.c_str(), 1);
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
    ~GermanNumbers()
    {
        std::setlocale(LC_NUMERIC, FSaved.c_str());
        if (FFolder.empty()) return;
        ::unsetenv("LOCPATH");
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
    bool Active() const { return std::string(std::localeconv()->decimal_point) == ","; }

private:
    std::string FSaved;
    std::filesystem::path FFolder;
};

TEST(FloatToStrGeneral, locale_variant_reads_separator_at_each_call)
{
    EXPECT_EQ(FloatToStrGeneral(12.5L), "12.5");
    EXPECT_EQ(FloatCellText(12.5), u"12.5");
    {
        GermanNumbers german;
        if (!german.Active()) GTEST_SKIP() << "no German locale";
        EXPECT_EQ(FloatToStrGeneral(12.5L), "12,5");
        EXPECT_EQ(FloatToStrGeneral(static_cast<long double>(1.5E-10)), "1,5E-10");
        EXPECT_EQ(FloatCellText(12.5), u"12,5");
    }
    EXPECT_EQ(FloatToStrGeneral(12.5L), "12.5");
}

TEST(CellText, integer_cells_read_in_decimal)
{
    EXPECT_EQ(IntegerCellText(0), u"0");
    EXPECT_EQ(IntegerCellText(-2147483647 - 1), u"-2147483648");
    EXPECT_EQ(IntegerCellText(1234567), u"1234567");
}

TEST(CellText, booleans_read_as_the_given_true_and_false_texts)
{
    EXPECT_EQ(BooleanCellText(true, u"TRUE", u"FALSE"), u"TRUE");
    EXPECT_EQ(BooleanCellText(false, u"TRUE", u"FALSE"), u"FALSE");
    EXPECT_EQ(BooleanCellText(true, u"WAHR", u"FALSCH"), u"WAHR");
}

TEST(CellText, error_codes_map_to_their_texts)
{
    EXPECT_EQ(ErrorCellText(ErrorIndexFromCode(0x2A)), u"#N/A");  // BOOLERR code 0x2A
    EXPECT_EQ(ErrorText(ErrorIndexFromCode(0x00)), "#NULL!");
    EXPECT_EQ(ErrorText(ErrorIndexFromCode(0x07)), "#DIV/0!");
    EXPECT_EQ(ErrorText(ErrorIndexFromCode(0x0F)), "#VALUE!");
    EXPECT_EQ(ErrorText(ErrorIndexFromCode(0x17)), "#REF!");
    EXPECT_EQ(ErrorText(ErrorIndexFromCode(0x1D)), "#NAME?");
    EXPECT_EQ(ErrorText(ErrorIndexFromCode(0x24)), "#NUM!");
    // An error formula whose cached code is none of the seven.
    EXPECT_EQ(ErrorText(ErrorIndexFromCode(0x2B)), "[int] No error value");
}

TEST(CellText, error_indexes_out_of_range_read_as_no_error)
{
    EXPECT_EQ(ErrorText(-1), "[int] No error value");
    EXPECT_EQ(ErrorText(8), "[int] No error value");
}

TEST(CellText, error_texts_and_codes_round_trip)
{
    for (int i = 1; i < kErrorTextCount; ++i) {
        EXPECT_EQ(ErrorIndexFromText(ErrorText(i)), i);
        EXPECT_EQ(ErrorIndexFromCode(ErrorCodeFromIndex(i)), i);
    }
    EXPECT_EQ(ErrorIndexFromText("#n/a"), 0);
    EXPECT_EQ(ErrorIndexFromText(""), 0);
}

std::u16string KindText(TCellType kind, TRawCellValue value) { return CellKindText(kind, value, u"TRUE", u"FALSE"); }

TEST(CellKindText, every_kind_reads_its_value)
{
    EXPECT_EQ(KindText(ctInteger, {.Number = -42}), u"-42");
    EXPECT_EQ(KindText(ctFloat, {.Number = 12}), u"12");  // an RK integer after reading
    EXPECT_EQ(KindText(ctFloat, {.Number = 12.5}), u"12.5");
    EXPECT_EQ(KindText(ctFloat, {.Number = 41567}), u"41567");  // the date 2013-10-20
    EXPECT_EQ(KindText(ctFloat, {.Number = 41567.5}), u"41567.5");
    EXPECT_EQ(KindText(ctString, {.Text = u"备注"}), u"备注");
    EXPECT_EQ(KindText(ctBoolean, {.Flag = 1}), u"TRUE");  // BOOLERR 1
    EXPECT_EQ(KindText(ctBoolean, {.Flag = 0}), u"FALSE");
    EXPECT_EQ(KindText(ctError, {.Flag = static_cast<uint8_t>(ErrorIndexFromCode(0x2A))}), u"#N/A");
}

TEST(CellKindText, formulas_read_their_cached_results)
{
    EXPECT_EQ(KindText(ctNumberFormula, {.Number = 7}), u"7");
    EXPECT_EQ(KindText(ctNumberArrayFormula, {.Number = 0.1 + 0.2}), u"0.3");
    EXPECT_EQ(KindText(ctStringFormula, {.Text = u"abc"}), u"abc");
    EXPECT_EQ(KindText(ctStringArrayFormula, {.Text = u""}), u"");
    EXPECT_EQ(KindText(ctBooleanFormula, {.Flag = 1}), u"TRUE");
    // A cached error code that is none of the seven (0x2B) has index 0.
    EXPECT_EQ(KindText(ctErrorFormula, {.Flag = static_cast<uint8_t>(ErrorIndexFromCode(0x2B))}),
              u"[int] No error value");
}

TEST(CellKindText, blank_and_unused_kinds_read_empty)
{
    EXPECT_EQ(KindText(ctBlank, {.Number = 5, .Text = u"x"}), u"");  // a BLANK record
    EXPECT_EQ(KindText(ctNone, {}), u"");
    EXPECT_EQ(KindText(ctNotUsed, {}), u"");
}

}  // namespace
