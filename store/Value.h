// Values that cross the store's boundary, and how the data layer renders them as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace store {

struct Null {
    bool operator==(const Null&) const = default;
};

// A column value as the store hands it out: null, an integer, a number or a text.
using Value = std::variant<Null, std::int64_t, double, std::string>;

inline bool IsNull(const Value& v) { return std::holds_alternative<Null>(v); }

// Text of a value as the grids and boxes show it: numbers in the general
// format with 15 significant digits (12 -> "12", 12.5 -> "12.5"), null as "".
std::string ValueText(const Value& v);
std::string NumberText(double d);

// Money is exact to four decimal places. A price is carried as a count of
// ten-thousandths; these convert typed text and stored numbers to that count.
constexpr std::int64_t kCurrencyScale = 10000;
std::optional<std::int64_t> ParseCurrency(std::string_view text);
std::int64_t CurrencyUnits(double d);
double CurrencyValue(std::int64_t units);

// Exact text of a count of ten-thousandths: 199900 -> "19.99", -579700 ->
// "-57.97", 1000000 -> "100"; no binary rounding can creep in.
std::string MoneyText(std::int64_t units);

// A registration time as the seller may type it: "yyyy-mm-dd hh:mm:ss" (the
// form the program writes), "yyyy-mm-dd hh:mm", or a plain date
// "yyyy-mm-dd"; "/" may stand for "-" and month and day may have one digit.
// Returns the canonical "yyyy-mm-dd hh:mm:ss", or nothing for text that is
// not a real calendar time.
std::optional<std::string> ParseDateTime(std::string_view text);

// Strict integer parse of typed text (surrounding spaces allowed).
std::optional<std::int64_t> ParseInteger(std::string_view text);

// Removes leading and trailing spaces and control characters.
std::string Trim(std::string_view text);

}  // namespace store
