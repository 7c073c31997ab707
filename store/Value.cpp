#include "store/Value.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace store {

std::string NumberText(double d)
{
    if (std::isnan(d)) return "NAN";
    if (std::isinf(d)) return d > 0 ? "INF" : "-INF";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    std::string s = buf;
    // Exponents read "1E20" and "1E-5", without a plus sign or leading zeros.
    auto e = s.find('E');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e);
        int exp = std::atoi(s.c_str() + e + 1);
        s = mant + "E" + std::to_string(exp);
    }
    if (s == "-0") s = "0";
    return s;
}

std::string ValueText(const Value& v)
{
    struct {
        std::string operator()(const Null&) const { return {}; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return NumberText(d); }
        std::string operator()(const std::string& s) const { return s; }
    } visit;
    return std::visit(visit, v);
}

std::string Trim(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return std::string(text.substr(b, e - b));
}

namespace {

// Index of the first digit after an optional leading sign.
size_t SkipSign(const std::string& t, bool& negative)
{
    negative = t[0] == '-';
    return t[0] == '+' || t[0] == '-' ? 1 : 0;
}

}  // namespace

std::optional<std::int64_t> ParseInteger(std::string_view text)
{
    std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    bool neg = false;
    size_t i = SkipSign(t, neg);
    if (i == t.size()) return std::nullopt;
    std::uint64_t acc = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
        acc = acc * 10 + static_cast<unsigned>(t[i] - '0');
        if (acc > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    }
    return neg ? -static_cast<std::int64_t>(acc) : static_cast<std::int64_t>(acc);
}

// Parses a plain decimal ("12", "-0.5", "19.99", "1.23456" rounds to 1.2346)
// straight from its digits, so no binary rounding creeps in.
std::optional<std::int64_t> ParseCurrency(std::string_view text)
{
    std::string t = Trim(text);
    if (t.empty()) return std::nullopt;
    bool neg = false;
    size_t i = SkipSign(t, neg);
    std::int64_t whole = 0, frac = 0;
    int fracDigits = 0, digits = 0;
    bool roundUp = false, dot = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (c == '.' && !dot) {
            dot = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        ++digits;
        if (!dot) {
            if (whole > 900000000000000LL) return std::nullopt;  // beyond the money range
            whole = whole * 10 + (c - '0');
        } else if (fracDigits < 4) {
            frac = frac * 10 + (c - '0');
            ++fracDigits;
        } else if (fracDigits == 4) {
            roundUp = c >= '5';
            ++fracDigits;
        }
    }
    if (digits == 0) return std::nullopt;
    while (fracDigits < 4) {
        frac *= 10;
        ++fracDigits;
    }
    std::int64_t units = whole * kCurrencyScale + frac + (roundUp ? 1 : 0);
    return neg ? -units : units;
}

std::int64_t CurrencyUnits(double d) { return std::llround(d * static_cast<double>(kCurrencyScale)); }

std::string MoneyText(std::int64_t units)
{
    std::uint64_t abs = units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    std::string text = std::to_string(abs / kCurrencyScale);
    std::string frac = std::to_string(abs % kCurrencyScale + kCurrencyScale).substr(1);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (!frac.empty()) text += "." + frac;
    return units < 0 ? "-" + text : text;
}

namespace {

// Reads 1..maxDigits digits at `at`; advances `at`.
std::optional<int> Digits(std::string_view t, size_t& at, size_t minDigits, size_t maxDigits)
{
    size_t start = at;
    int v = 0;
    while (at < t.size() && at - start < maxDigits && t[at] >= '0' && t[at] <= '9') v = v * 10 + (t[at++] - '0');
    if (at - start < minDigits) return std::nullopt;
    return v;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

}  // namespace

std::optional<std::string> ParseDateTime(std::string_view typed)
{
    std::string t = Trim(typed);
    size_t at = 0;
    auto y = Digits(t, at, 4, 4);
    if (!y || at >= t.size() || (t[at] != '-' && t[at] != '/')) return std::nullopt;
    char sep = t[at++];
    auto m = Digits(t, at, 1, 2);
    if (!m || at >= t.size() || t[at++] != sep) return std::nullopt;
    auto d = Digits(t, at, 1, 2);
    if (!d || *y < 1 || *m < 1 || *m > 12 || *d < 1 || *d > DaysInMonth(*y, *m)) return std::nullopt;
    int hh = 0, mi = 0, ss = 0;
    if (at < t.size()) {
        if (t[at] != ' ' && t[at] != 'T') return std::nullopt;
        while (at < t.size() && (t[at] == ' ' || t[at] == 'T')) ++at;
        auto h = Digits(t, at, 1, 2);
        if (!h || at >= t.size() || t[at++] != ':') return std::nullopt;
        auto n = Digits(t, at, 2, 2);
        if (!n) return std::nullopt;
        std::optional<int> s = 0;
        if (at < t.size() && t[at] == ':') s = Digits(t, ++at, 2, 2);
        if (!s || at != t.size() || *h > 23 || *n > 59 || *s > 59) return std::nullopt;
        hh = *h, mi = *n, ss = *s;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", *y, *m, *d, hh, mi, ss);
    return std::string(buf);
}

double CurrencyValue(std::int64_t units) { return static_cast<double>(units) / static_cast<double>(kCurrencyScale); }

}  // namespace store
