#include "store/SqlTranslate.h"

#include <cctype>
#include <regex>
#include <stdexcept>
#include <vector>

namespace store {
namespace {

enum class Tok { Space, Word, Number, String, Param, Punct };

struct Token {
    Tok kind;
    std::string text;  // for String: the literal's content, unquoted
};

bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

std::string QuoteSql(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// Reads a literal that starts and ends with `q`, where a doubled `q` stands for one.
size_t ReadQuoted(std::string_view sql, size_t i, char q, std::string& content)
{
    for (size_t j = i + 1; j < sql.size(); ++j) {
        if (sql[j] != q) {
            content += sql[j];
        } else if (j + 1 < sql.size() && sql[j + 1] == q) {
            content += q;
            ++j;
        } else {
            return j + 1;
        }
    }
    throw std::runtime_error("SQL 语句中的字符串没有结束引号: " + std::string(sql));
}

// "#10/20/2013#" is month/day/year; "#2013-10-20#" is already ISO.
std::string DateLiteral(const std::string& body)
{
    static const std::regex mdy(R"((\d{1,2})/(\d{1,2})/(\d{4})(.*))");
    std::smatch m;
    if (std::regex_match(body, m, mdy)) {
        auto two = [](const std::string& s) { return s.size() == 1 ? "0" + s : s; };
        return m[3].str() + "-" + two(m[1].str()) + "-" + two(m[2].str()) + m[4].str();
    }
    return body;
}

std::vector<Token> Tokenize(std::string_view sql)
{
    std::vector<Token> out;
    size_t i = 0;
    while (i < sql.size()) {
        unsigned char c = sql[i];
        size_t j = i + 1;
        if (std::isspace(c)) {
            while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
            out.push_back({Tok::Space, " "});
        } else if (c == '\'' || c == '"') {
            std::string content;
            j = ReadQuoted(sql, i, static_cast<char>(c), content);
            out.push_back({Tok::String, content});
        } else if (c == '#') {
            j = sql.find('#', i + 1);
            if (j == std::string_view::npos) throw std::runtime_error("SQL 语句中的日期没有结束的 #");
            out.push_back({Tok::String, DateLiteral(std::string(sql.substr(i + 1, j - i - 1)))});
            ++j;
        } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
            j = i + 2;  // a cast, not a parameter
            out.push_back({Tok::Punct, "::"});
        } else if (c == ':' && i + 1 < sql.size() && IsWordChar(sql[i + 1])) {
            while (j < sql.size() && IsWordChar(sql[j])) ++j;
            out.push_back({Tok::Param, std::string(sql.substr(i, j - i))});
        } else if (std::isdigit(c)) {
            while (j < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[j])) || sql[j] == '.')) ++j;
            out.push_back({Tok::Number, std::string(sql.substr(i, j - i))});
        } else if (IsWordChar(c)) {
            while (j < sql.size() && IsWordChar(sql[j])) ++j;
            out.push_back({Tok::Word, std::string(sql.substr(i, j - i))});
        } else {
            out.push_back({Tok::Punct, std::string(1, static_cast<char>(c))});
        }
        i = j;
    }
    return out;
}

bool WordIs(const Token& t, const char* w)
{
    if (t.kind != Tok::Word || t.text.size() != std::char_traits<char>::length(w)) return false;
    for (size_t i = 0; i < t.text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(t.text[i])) != w[i]) return false;
    return true;
}

// Positions of the non-space tokens, so patterns can be matched regardless of spacing.
std::vector<size_t> Solid(const std::vector<Token>& toks)
{
    std::vector<size_t> idx;
    for (size_t i = 0; i < toks.size(); ++i)
        if (toks[i].kind != Tok::Space) idx.push_back(i);
    return idx;
}

std::string Render(const Token& t) { return t.kind == Tok::String ? QuoteSql(t.text) : t.text; }

// format(col,"yyyy-mm-dd") between A and B  ->  col between A and B || ' 99'
// Stored times read "yyyy-mm-dd hh:mm:ss", so comparing the stored text keeps
// the same lines while letting the index on the column answer the range.
bool RewriteDayRange(std::vector<Token>& toks)
{
    auto s = Solid(toks);
    for (size_t k = 0; k + 9 < s.size(); ++k) {
        const Token& f = toks[s[k]];
        if (!WordIs(f, "format") || toks[s[k + 1]].text != "(" || toks[s[k + 2]].kind != Tok::Word ||
            toks[s[k + 3]].text != "," || toks[s[k + 4]].kind != Tok::String || toks[s[k + 4]].text != "yyyy-mm-dd" ||
            toks[s[k + 5]].text != ")" || !WordIs(toks[s[k + 6]], "between") || toks[s[k + 7]].kind != Tok::String ||
            !WordIs(toks[s[k + 8]], "and") || toks[s[k + 9]].kind != Tok::String)
            continue;
        std::string col = toks[s[k + 2]].text;
        std::string lo = QuoteSql(toks[s[k + 7]].text);
        std::string hi = QuoteSql(toks[s[k + 9]].text + " 99");
        std::vector<Token> repl{{Tok::Punct, "(" + col + " between " + lo + " and " + hi + ")"}};
        toks.erase(toks.begin() + static_cast<long>(s[k]), toks.begin() + static_cast<long>(s[k + 9]) + 1);
        toks.insert(toks.begin() + static_cast<long>(s[k]), repl.begin(), repl.end());
        return true;
    }
    return false;
}

// select [distinct] top N ...  ->  select [distinct] ... limit N
std::string TakeTop(std::vector<Token>& toks)
{
    auto s = Solid(toks);
    if (s.size() < 3 || !WordIs(toks[s[0]], "select")) return {};
    size_t at = 1;
    if (WordIs(toks[s[at]], "distinct")) ++at;
    if (at + 1 >= s.size() || !WordIs(toks[s[at]], "top") || toks[s[at + 1]].kind != Tok::Number) return {};
    std::string n = toks[s[at + 1]].text;
    size_t end = s[at + 1] + 1;
    if (end < toks.size() && toks[end].kind == Tok::Space) ++end;
    toks.erase(toks.begin() + static_cast<long>(s[at]), toks.begin() + static_cast<long>(end));
    return n;
}

// The text of format(col, pattern) for a stored "yyyy-mm-dd hh:mm:ss", as
// FormatDateTime makes it: each field read from its place, missing ones "0".
std::string ServerFormat(const std::string& col, const std::string& pattern)
{
    auto field = [&](int at, int n) {
        return "rpad(substr(" + col + ", " + std::to_string(at + 1) + ", " + std::to_string(n) + "), " +
               std::to_string(n) + ", '0')";
    };
    std::vector<std::string> parts;
    std::string literal;
    auto flush = [&] {
        if (!literal.empty()) parts.push_back(QuoteSql(literal));
        literal.clear();
    };
    auto put = [&](std::string part) {
        flush();
        parts.push_back(std::move(part));
    };
    bool afterHour = false;
    for (size_t i = 0; i < pattern.size();) {
        auto at = [&](const char* w) { return pattern.compare(i, 2, w) == 0; };
        if (pattern.compare(i, 4, "yyyy") == 0) {
            put(field(0, 4));
            i += 4;
            afterHour = false;
        } else if (at("mm")) {
            put(afterHour ? field(14, 2) : field(5, 2));
            i += 2;
            afterHour = false;
        } else if (at("dd")) {
            put(field(8, 2));
            i += 2;
            afterHour = false;
        } else if (at("hh")) {
            put(field(11, 2));
            i += 2;
            afterHour = true;
        } else if (at("nn")) {
            put(field(14, 2));
            i += 2;
            afterHour = false;
        } else if (at("ss")) {
            put(field(17, 2));
            i += 2;
            afterHour = false;
        } else
            literal += pattern[i++];
    }
    flush();
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) joined += (i ? " || " : "") + parts[i];
    if (joined.empty()) joined = "''";
    return "(case when length(" + col + ") >= 10 and substr(" + col + ", 5, 1) = '-' and substr(" + col +
           ", 8, 1) = '-' then " + joined + " else " + col + " end)";
}

// format(col, "pattern") -> the server expression reading the stored text.
bool RewriteServerFormat(std::vector<Token>& toks)
{
    auto s = Solid(toks);
    for (size_t k = 0; k + 5 < s.size(); ++k) {
        if (!WordIs(toks[s[k]], "format") || toks[s[k + 1]].text != "(" || toks[s[k + 2]].kind != Tok::Word ||
            toks[s[k + 3]].text != "," || toks[s[k + 4]].kind != Tok::String || toks[s[k + 5]].text != ")")
            continue;
        Token repl{Tok::Punct, ServerFormat(toks[s[k + 2]].text, toks[s[k + 4]].text)};
        toks.erase(toks.begin() + static_cast<long>(s[k]), toks.begin() + static_cast<long>(s[k + 5]) + 1);
        toks.insert(toks.begin() + static_cast<long>(s[k]), repl);
        return true;
    }
    return false;
}

// Words that may follow a subquery in FROM where an alias would stand.
bool EndsFromItem(const Token& t)
{
    if (t.kind != Tok::Word) return true;
    for (const char* w : {"where", "union", "order", "group", "limit", "having", "join", "left", "inner", "cross", "on",
                          "except", "intersect", "offset", "window"})
        if (WordIs(t, w)) return true;
    return false;
}

// from ( select ... )  ->  from ( select ... ) as q1: the server wants a name.
void NameSubqueries(std::vector<Token>& toks)
{
    int named = 0;
    for (size_t i = 0; i < toks.size(); ++i) {
        if (!WordIs(toks[i], "from")) continue;
        size_t j = i + 1;
        while (j < toks.size() && toks[j].kind == Tok::Space) ++j;
        if (j >= toks.size() || toks[j].kind != Tok::Punct || toks[j].text != "(") continue;
        int depth = 0;
        size_t close = j;
        for (; close < toks.size(); ++close) {
            if (toks[close].kind != Tok::Punct) continue;
            if (toks[close].text == "(") ++depth;
            if (toks[close].text == ")" && --depth == 0) break;
        }
        if (close >= toks.size()) return;
        size_t next = close + 1;
        while (next < toks.size() && toks[next].kind == Tok::Space) ++next;
        if (next < toks.size() && !EndsFromItem(toks[next])) continue;
        toks.insert(toks.begin() + static_cast<long>(close) + 1, Token{Tok::Punct, " as q" + std::to_string(++named)});
    }
}

std::string RenderServer(const Token& t, std::vector<std::string>& names)
{
    if (t.kind == Tok::String) return QuoteSql(t.text);
    if (t.kind == Tok::Param || (t.kind == Tok::Punct && t.text == "?")) {
        size_t at = names.size();
        if (t.kind == Tok::Param)
            for (size_t i = 0; i < names.size(); ++i)
                if (names[i] == t.text) at = i;
        if (at == names.size()) names.push_back(t.kind == Tok::Param ? t.text : "?");
        return "$" + std::to_string(at + 1);
    }
    if (WordIs(t, "rowid")) return "id";
    if (WordIs(t, "like")) return "ilike";
    if (WordIs(t, "integer")) return "bigint";
    if (WordIs(t, "ifnull")) return "coalesce";
    return t.text;
}

}  // namespace

std::string TranslateServerSql(std::string_view jetSql, std::vector<std::string>* names)
{
    std::vector<Token> toks = Tokenize(jetSql);
    auto s = Solid(toks);
    // A read snapshot begins with a bare "begin": on the server that is a
    // repeatable read, so every select in it sees one moment.
    if (s.size() == 1 && WordIs(toks[s[0]], "begin")) return "begin isolation level repeatable read";
    if (s.size() == 2 && WordIs(toks[s[0]], "begin") && WordIs(toks[s[1]], "immediate")) return "begin";
    while (RewriteDayRange(toks)) {
    }
    while (RewriteServerFormat(toks)) {
    }
    std::string limit = TakeTop(toks);
    NameSubqueries(toks);
    std::vector<std::string> local;
    std::vector<std::string>& used = names ? *names : local;
    used.clear();
    std::string out;
    for (const Token& t : toks) out += RenderServer(t, used);
    while (!out.empty() && (out.back() == ' ' || out.back() == ';')) out.pop_back();
    if (!limit.empty()) out += " limit " + limit;
    return out;
}

std::string TranslateSql(std::string_view jetSql)
{
    std::vector<Token> toks = Tokenize(jetSql);
    while (RewriteDayRange(toks)) {
    }
    std::string limit = TakeTop(toks);
    std::string out;
    for (const Token& t : toks) out += Render(t);
    while (!out.empty() && (out.back() == ' ' || out.back() == ';')) out.pop_back();
    if (!limit.empty()) out += " limit " + limit;
    return out;
}

}  // namespace store
