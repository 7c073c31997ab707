// Number, Boolean and error texts of cells. Numbers are widened to the 80-bit
// extended type, scaled to 18 decimal digits and cut to 15, which is how the
// general number format of the files we exchange has always been rendered.
#include "workbook/formats/CellText.h"

#include <array>
#include <clocale>
#include <cmath>
#include <cstring>
#include <cuchar>
#include <vector>

namespace workbook {

namespace {

constexpr long long kTen14 = 100000000000000LL;
constexpr long long kTen15 = 1000000000000000LL;
constexpr long long kTen17 = 100000000000000000LL;
constexpr long long kTen18 = 1000000000000000000LL;
constexpr int kScaledDigits = 18;
constexpr int kShownDigits = 15;
// Powers of ten are taken from a table filled once with powl, which keeps the
// results equal to computing each one while costing a lookup per number.
constexpr int kLargestTabledPower = 5000;

long double PowerOfTen(int n)
{
    static const std::vector<long double> powers = [] {
        std::vector<long double> table(kLargestTabledPower + 1);
        for (int i = 0; i <= kLargestTabledPower; ++i) table[i] = powl(10.0L, i);
        return table;
    }();
    return n <= kLargestTabledPower ? powers[n] : powl(10.0L, n);
}

long double ScaleByPowerOfTen(long double x, int shift)
{
    // Beyond 10^4000 the power itself leaves the extended range; scale in two steps.
    if (shift > 4000 || shift < -4000) return ScaleByPowerOfTen(ScaleByPowerOfTen(x, shift / 2), shift - shift / 2);
    return shift >= 0 ? x * PowerOfTen(shift) : x / PowerOfTen(-shift);
}

// magnitude * 10^(18 - exponent) rounded to nearest, ties to even.
long long ScaledInteger(long double magnitude, int exponent)
{
    return llrintl(ScaleByPowerOfTen(magnitude, kScaledDigits - exponent));
}

struct DecimalDigits {
    std::string digits;  // d1..dk, no trailing zeros
    int exponent = 0;    // value = 0.d1..dk * 10^exponent
};

// The 18-digit integer of the magnitude and its exponent, 10^17 <= n < 10^18.
std::pair<long long, int> EighteenDigits(long double magnitude)
{
    // The binary exponent gives the decimal one to within one; corrections settle it.
    int binaryExponent = 0;
    frexpl(magnitude, &binaryExponent);
    constexpr long double kLog10Of2 = 0.301029995663981195213738894724493027L;
    int exponent = static_cast<int>(floorl((binaryExponent - 1) * kLog10Of2)) + 1;
    long long n = ScaledInteger(magnitude, exponent);
    for (int i = 0; i < 4 && (n >= kTen18 || n < kTen17); ++i) {
        exponent += n >= kTen18 ? 1 : -1;
        n = ScaledInteger(magnitude, exponent);
    }
    return {n, exponent};
}

DecimalDigits FifteenDigits(long double magnitude)
{
    auto [n18, exponent] = EighteenDigits(magnitude);
    long long n15 = n18 / 1000;
    if ((n18 % 1000) / 100 >= 5) ++n15;
    if (n15 >= kTen15) {
        n15 = kTen14;
        ++exponent;
    }
    DecimalDigits result{std::to_string(n15), exponent};
    result.digits.resize(result.digits.find_last_not_of('0') + 1);
    return result;
}

std::string PlainForm(const DecimalDigits& d, std::string_view separator)
{
    const int k = static_cast<int>(d.digits.size());
    std::string text;
    if (d.exponent <= 0) {
        text.append("0").append(separator).append(-d.exponent, '0').append(d.digits);
        return text;
    }
    if (k <= d.exponent) return d.digits + std::string(d.exponent - k, '0');
    return d.digits.substr(0, d.exponent) + std::string(separator) + d.digits.substr(d.exponent);
}

std::string ScientificForm(const DecimalDigits& d, std::string_view separator)
{
    std::string text = d.digits.substr(0, 1);
    if (d.digits.size() > 1) text += std::string(separator) + d.digits.substr(1);
    return text + "E" + std::to_string(d.exponent - 1);
}

const std::array<std::string, kErrorTextCount> kErrorTexts = {
    "[int] No error value", "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
// BIFF error codes of the error indexes 1..7.
constexpr std::array<std::uint8_t, kErrorTextCount - 1> kErrorCodes = {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A};

// The locale's decimal separator in UTF-16 (it may be a multibyte character).
std::u16string LocaleDecimalSeparator()
{
    const char* separator = std::localeconv()->decimal_point;
    if (separator == nullptr || *separator == '\0') return u".";
    std::u16string result;
    std::mbstate_t state{};
    const char* p = separator;
    const char* end = separator + std::strlen(separator);
    char16_t unit = 0;
    while (p < end) {
        const std::size_t n = std::mbrtoc16(&unit, p, end - p, &state);
        if (n == static_cast<std::size_t>(-3)) {  // second half of a surrogate pair
            result += unit;
            continue;
        }
        if (n == 0 || n > static_cast<std::size_t>(end - p)) break;
        result += unit;
        p += n;
    }
    return result.empty() ? u"." : result;
}

}  // namespace

std::string FloatToStrGeneral(long double v, std::string_view decimalSeparator)
{
    switch (std::fpclassify(v)) {
    case FP_ZERO:
    case FP_SUBNORMAL:  // exponent field 0
        return "0";
    case FP_INFINITE: return std::signbit(v) ? "-INF" : "INF";
    case FP_NAN: return "NAN";
    default: break;
    }
    // Whole numbers below 10^15 scale exactly, so their digits are the integer's.
    if (fabsl(v) < kTen15 && v == truncl(v)) return std::to_string(static_cast<long long>(v));
    const DecimalDigits d = FifteenDigits(fabsl(v));
    const std::string sign = std::signbit(v) ? "-" : "";
    if (d.exponent >= -3 && d.exponent <= kShownDigits) return sign + PlainForm(d, decimalSeparator);
    return sign + ScientificForm(d, decimalSeparator);
}

std::string FloatToStrGeneral(long double v, char decimalSeparator)
{
    return FloatToStrGeneral(v, std::string_view(&decimalSeparator, 1));
}

std::string FloatToStrGeneral(long double v)
{
    const char* separator = std::localeconv()->decimal_point;
    return FloatToStrGeneral(v, std::string_view(separator && *separator ? separator : "."));
}

const std::string& ErrorText(int index)
{
    if (index < 0 || index >= kErrorTextCount) index = 0;
    return kErrorTexts[index];
}

int ErrorIndexFromCode(std::uint8_t code)
{
    for (std::size_t i = 0; i < kErrorCodes.size(); ++i)
        if (kErrorCodes[i] == code) return static_cast<int>(i) + 1;
    return 0;
}

int ErrorIndexFromText(std::string_view text)
{
    for (int i = 1; i < kErrorTextCount; ++i)
        if (kErrorTexts[i] == text) return i;
    return 0;
}

std::uint8_t ErrorCodeFromIndex(int index)
{
    if (index < 1 || index >= kErrorTextCount) return kErrorCodes[0];
    return kErrorCodes[index - 1];
}

std::u16string WidenAscii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string IntegerCellText(std::int32_t value) { return WidenAscii(std::to_string(value)); }

std::u16string FloatCellText(double value)
{
    // Formatted with a placeholder so that a multibyte separator is converted once.
    const std::string text = FloatToStrGeneral(static_cast<long double>(value), '.');
    const std::size_t point = text.find('.');
    if (point == std::string::npos) return WidenAscii(text);
    // The usual separator is one ASCII character: put it in place.
    const char* separator = std::localeconv()->decimal_point;
    if (separator != nullptr && static_cast<unsigned char>(separator[0]) < 0x80 && separator[0] != '\0' &&
        separator[1] == '\0') {
        std::u16string wide = WidenAscii(text);
        wide[point] = char16_t(separator[0]);
        return wide;
    }
    return WidenAscii(text.substr(0, point)) + LocaleDecimalSeparator() + WidenAscii(text.substr(point + 1));
}

std::u16string BooleanCellText(bool value, std::u16string_view strTrue, std::u16string_view strFalse)
{
    return std::u16string(value ? strTrue : strFalse);
}

std::u16string ErrorCellText(int index) { return WidenAscii(ErrorText(index)); }

std::u16string CellKindText(TCellType kind, const TRawCellValue& value, std::u16string_view strTrue,
                            std::u16string_view strFalse)
{
    switch (kind) {
    case ctInteger: return IntegerCellText(static_cast<std::int32_t>(value.Number));
    case ctFloat:
    case ctNumberFormula:
    case ctNumberArrayFormula: return FloatCellText(value.Number);
    case ctString:
    case ctStringFormula:
    case ctStringArrayFormula: return std::u16string(value.Text);
    case ctBoolean:
    case ctBooleanFormula: return BooleanCellText(value.Flag != 0, strTrue, strFalse);
    case ctError:
    case ctErrorFormula: return ErrorCellText(value.Flag);
    default: return {};
    }
}

}  // namespace workbook
