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

// Strict integer parse of typed text (surrounding spaces allowed).
std::optional<std::int64_t> ParseInteger(std::string_view text);

// Removes leading and trailing spaces and control characters.
std::string Trim(std::string_view text);

}  // namespace store
