#include "store/Value.h"

#include <gtest/gtest.h>

using namespace store;

TEST(ValueText, numbers_read_in_the_general_format)
{
    EXPECT_EQ(ValueText(Value(std::int64_t{12})), "12");
    EXPECT_EQ(ValueText(Value(12.5)), "12.5");
    EXPECT_EQ(ValueText(Value(19.99)), "19.99");
    EXPECT_EQ(ValueText(Value(0.1 + 0.2)), "0.3");
    EXPECT_EQ(ValueText(Value(19990000.0)), "19990000");
    EXPECT_EQ(ValueText(Value(1e20)), "1E20");
    EXPECT_EQ(ValueText(Value(Null{})), "");
}

TEST(Currency, parses_decimal_text_exactly_and_rounds_the_fifth_decimal)
{
    EXPECT_EQ(ParseCurrency("19.99"), 199900);
    EXPECT_EQ(ParseCurrency(" -0.5 "), -5000);
    EXPECT_EQ(ParseCurrency("1.23456"), 12346);
    EXPECT_EQ(ParseCurrency("1.23454"), 12345);
    EXPECT_EQ(ParseCurrency("12"), 120000);
    EXPECT_EQ(ParseCurrency(".5"), 5000);
    EXPECT_FALSE(ParseCurrency("1.2.3"));
    EXPECT_FALSE(ParseCurrency("abc"));
    EXPECT_FALSE(ParseCurrency("."));
    EXPECT_FALSE(ParseCurrency("99999999999999999999"));
}

TEST(Integer, parse_refuses_anything_but_digits)
{
    EXPECT_EQ(ParseInteger(" 42 "), 42);
    EXPECT_EQ(ParseInteger("-7"), -7);
    EXPECT_FALSE(ParseInteger("4.2"));
    EXPECT_FALSE(ParseInteger("1e3"));
    EXPECT_FALSE(ParseInteger("99999999999999999999"));
    EXPECT_FALSE(ParseInteger(""));
}

TEST(MoneyText, prints_exact_decimals_without_float_noise)
{
    EXPECT_EQ(MoneyText(199900), "19.99");
    EXPECT_EQ(MoneyText(-579700), "-57.97");
    EXPECT_EQ(MoneyText(1000000), "100");
    EXPECT_EQ(MoneyText(5), "0.0005");
    EXPECT_EQ(MoneyText(-5000), "-0.5");
    EXPECT_EQ(MoneyText(0), "0");
    // 19.99 - 77.96 taken as binary numbers prints -57.9700000000003.
    EXPECT_EQ(MoneyText(*ParseCurrency("19.99") - *ParseCurrency("77.96")), "-57.97");
}

TEST(DateTime, accepts_the_programs_own_forms_and_plain_dates_in_one_canonical_form)
{
    EXPECT_EQ(ParseDateTime("2024-03-01 14:30:05"), "2024-03-01 14:30:05");
    EXPECT_EQ(ParseDateTime("2024-03-01"), "2024-03-01 00:00:00");
    EXPECT_EQ(ParseDateTime(" 2024/3/1 "), "2024-03-01 00:00:00");
    EXPECT_EQ(ParseDateTime("2024-3-1 9:05"), "2024-03-01 09:05:00");
    EXPECT_EQ(ParseDateTime("2024-02-29"), "2024-02-29 00:00:00");
}

TEST(DateTime, refuses_text_that_is_not_a_calendar_time)
{
    for (const char* t : {"yesterday", "", "2023-02-29", "2024-13-01", "2024-03-01 24:00", "2024-03-01 12:60",
                          "2024/03-01", "24-03-01", "2024-03-01x", "2024-03-01 12", "2024-03-01 12:30:61"})
        EXPECT_FALSE(ParseDateTime(t)) << t;
}
