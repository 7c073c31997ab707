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

std::string QuoteSql(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// Reads a literal that starts and ends with `q`, where a doubled `q` stands for one.
size_t ReadQuoted(std::string_view sql, size_t i, char q, std::string& content) {
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
std::string DateLiteral(const std::string& body) {
    static const std::regex mdy(R"((\d{1,2})/(\d{1,2})/(\d{4})(.*))");
    std::smatch m;
    if (std::regex_match(body, m, mdy)) {
        auto two = [](const std::string& s) { return s.size() == 1 ? "0" + s : s; };
        return m[3].str() + "-" + two(m[1].str()) + "-" + two(m[2].str()) + m[4].str();
    }
    return body;
}

std::vector<Token> Tokenize(std::string_view sql) {
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

bool WordIs(const Token& t, const char* w) {
    if (t.kind != Tok::Word || t.text.size() != std::char_traits<char>::length(w)) return false;
    for (size_t i = 0; i < t.text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(t.text[i])) != w[i]) return false;
    return true;
}

// Positions of the non-space tokens, so patterns can be matched regardless of spacing.
std::vector<size_t> Solid(const std::vector<Token>& toks) {
    std::vector<size_t> idx;
    for (size_t i = 0; i < toks.size(); ++i)
        if (toks[i].kind != Tok::Space) idx.push_back(i);
    return idx;
}

std::string Render(const Token& t) { return t.kind == Tok::String ? QuoteSql(t.text) : t.text; }

// format(col,"yyyy-mm-dd") between A and B  ->  col between A and B || ' 99'
// Stored times read "yyyy-mm-dd hh:mm:ss", so comparing the stored text keeps
// the same lines while letting the index on the column answer the range.
bool RewriteDayRange(std::vector<Token>& toks) {
    auto s = Solid(toks);
    for (size_t k = 0; k + 9 < s.size(); ++k) {
        const Token& f = toks[s[k]];
        if (!WordIs(f, "format") || toks[s[k + 1]].text != "(" || toks[s[k + 2]].kind != Tok::Word ||
            toks[s[k + 3]].text != "," || toks[s[k + 4]].kind != Tok::String ||
            toks[s[k + 4]].text != "yyyy-mm-dd" || toks[s[k + 5]].text != ")" ||
            !WordIs(toks[s[k + 6]], "between") || toks[s[k + 7]].kind != Tok::String ||
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
std::string TakeTop(std::vector<Token>& toks) {
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

}  // namespace

std::string TranslateSql(std::string_view jetSql) {
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
