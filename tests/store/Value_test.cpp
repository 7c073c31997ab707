#include "store/Value.h"

#include <gtest/gtest.h>

using namespace store;

TEST(ValueText, numbers_read_in_the_general_format) {
    EXPECT_EQ(ValueText(Value(std::int64_t{12})), "12");
    EXPECT_EQ(ValueText(Value(12.5)), "12.5");
    EXPECT_EQ(ValueText(Value(19.99)), "19.99");
    EXPECT_EQ(ValueText(Value(0.1 + 0.2)), "0.3");
    EXPECT_EQ(ValueText(Value(19990000.0)), "19990000");
    EXPECT_EQ(ValueText(Value(1e20)), "1E20");
    EXPECT_EQ(ValueText(Value(Null{})), "");
}

TEST(Currency, parses_decimal_text_exactly_and_rounds_the_fifth_decimal) {
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

TEST(Integer, parse_refuses_anything_but_digits) {
    EXPECT_EQ(ParseInteger(" 42 "), 42);
    EXPECT_EQ(ParseInteger("-7"), -7);
    EXPECT_FALSE(ParseInteger("4.2"));
    EXPECT_FALSE(ParseInteger("1e3"));
    EXPECT_FALSE(ParseInteger("99999999999999999999"));
    EXPECT_FALSE(ParseInteger(""));
}
