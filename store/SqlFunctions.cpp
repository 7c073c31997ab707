#include "store/SqlFunctions.h"

#include <cstdint>
#include <limits>

#include "store/Value.h"

namespace store {
namespace {

// Sums integers exactly, and numbers as counts of ten-thousandths, so a
// million prices of 19.99 add up to exactly 19990000.
struct SumState {
    std::int64_t whole = 0;  // integer inputs
    std::int64_t units = 0;  // non-integer inputs, in ten-thousandths
    bool any = false;
    bool real = false;
    bool overflow = false;
    double fallback = 0;  // used once the exact counters would overflow
};

void SumStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* s = static_cast<SumState*>(sqlite3_aggregate_context(ctx, sizeof(SumState)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    int type = sqlite3_value_numeric_type(argv[0]);
    if (type == SQLITE_NULL) return;
    s->any = true;
    if (type == SQLITE_INTEGER) {
        std::int64_t v = sqlite3_value_int64(argv[0]);
        s->fallback += static_cast<double>(v);
        if (__builtin_add_overflow(s->whole, v, &s->whole)) s->overflow = true;
        return;
    }
    double d = sqlite3_value_double(argv[0]);
    s->real = true;
    s->fallback += d;
    if (d > 9e14 || d < -9e14 || __builtin_add_overflow(s->units, CurrencyUnits(d), &s->units)) s->overflow = true;
}

void SumFinal(sqlite3_context* ctx)
{
    auto* s = static_cast<SumState*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->any) return sqlite3_result_null(ctx);
    if (s->overflow) return sqlite3_result_double(ctx, s->fallback);
    if (!s->real) return sqlite3_result_int64(ctx, s->whole);
    std::int64_t total;
    if (__builtin_mul_overflow(s->whole, kCurrencyScale, &total) || __builtin_add_overflow(total, s->units, &total))
        return sqlite3_result_double(ctx, s->fallback);
    sqlite3_result_double(ctx, CurrencyValue(total));
}

void FormatFunc(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    auto text = [](sqlite3_value* v) {
        auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return std::string(p ? p : "");
    };
    std::string out = FormatDateTime(text(argv[0]), text(argv[1]));
    sqlite3_result_text(ctx, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

bool StartsWith(const std::string& s, size_t at, const char* w)
{
    return s.compare(at, std::char_traits<char>::length(w), w) == 0;
}

}  // namespace

std::string FormatDateTime(const std::string& value, const std::string& pattern)
{
    // Fields of "yyyy-mm-dd hh:mm:ss"; anything shorter is not a stored time.
    if (value.size() < 10 || value[4] != '-' || value[7] != '-') return value;
    auto field = [&](size_t at, size_t n) {
        return value.size() >= at + n ? value.substr(at, n) : std::string(n, '0');
    };
    std::string out;
    bool afterHour = false;
    for (size_t i = 0; i < pattern.size();) {
        if (StartsWith(pattern, i, "yyyy")) {
            out += field(0, 4);
            i += 4;
            afterHour = false;
        } else if (StartsWith(pattern, i, "mm")) {
            out += afterHour ? field(14, 2) : field(5, 2);
            i += 2;
            afterHour = false;
        } else if (StartsWith(pattern, i, "dd")) {
            out += field(8, 2);
            i += 2;
            afterHour = false;
        } else if (StartsWith(pattern, i, "hh")) {
            out += field(11, 2);
            i += 2;
            afterHour = true;
        } else if (StartsWith(pattern, i, "nn")) {
            out += field(14, 2);
            i += 2;
            afterHour = false;
        } else if (StartsWith(pattern, i, "ss")) {
            out += field(17, 2);
            i += 2;
            afterHour = false;
        } else
            out += pattern[i++];
    }
    return out;
}

void RegisterFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, SumStep, SumFinal,
                               nullptr);
    sqlite3_create_function_v2(db, "format", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, FormatFunc, nullptr,
                               nullptr, nullptr);
}

}  // namespace store
