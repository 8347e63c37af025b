#include "engine/jetsql/JetSql.h"

#include "engine/core/EngineError.h"
#include "engine/core/Messages.h"
#include "engine/jetsql/Fold.h"

#include <cctype>
#include <string_view>

namespace engine::jet {

namespace {

enum class Tok { Ident, String, Number, Symbol, End };

struct Token {
    Tok type = Tok::End;
    std::string text;       // identifier name, literal value or symbol
    bool bracketed = false; // identifier written in [ ]
    size_t pos = 0;         // offset in the statement
};

bool isIdentStart(unsigned char c)
{
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool isIdentChar(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c >= 0x80;
}

bool keywordIs(const Token& t, std::string_view kw)
{
    return t.type == Tok::Ident && !t.bracketed && equalsAsciiNoCase(t.text, kw);
}

struct UnterminatedString {
    size_t pos;
};

std::vector<Token> lex(const std::string& s)
{
    std::vector<Token> out;
    size_t i = 0;
    while (true) {
        while (i < s.size() && (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == '\0'))
            ++i;
        Token t;
        t.pos = i;
        if (i >= s.size()) {
            t.type = Tok::End;
            out.push_back(t);
            return out;
        }
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\'') {
            t.type = Tok::String;
            size_t j = i + 1;
            bool closed = false;
            while (j < s.size()) {
                if (s[j] == static_cast<char>(c)) {
                    if (j + 1 < s.size() && s[j + 1] == static_cast<char>(c)) {
                        t.text.push_back(static_cast<char>(c));
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                t.text.push_back(s[j]);
                ++j;
            }
            if (!closed)
                throw UnterminatedString{i};
            i = j;
        } else if (c == '[') {
            size_t close = s.find(']', i + 1);
            if (close == std::string::npos)
                throw UnterminatedString{i};
            t.type = Tok::Ident;
            t.bracketed = true;
            t.text = s.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() &&
                                       std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            t.type = Tok::Number;
            size_t j = i;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.'))
                ++j;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (isIdentStart(c)) {
            t.type = Tok::Ident;
            size_t j = i;
            while (j < s.size() && isIdentChar(static_cast<unsigned char>(s[j])))
                ++j;
            t.text = s.substr(i, j - i);
            i = j;
        } else {
            t.type = Tok::Symbol;
            if ((c == '<' || c == '>') && i + 1 < s.size() &&
                (s[i + 1] == '=' || (c == '<' && s[i + 1] == '>'))) {
                t.text = s.substr(i, 2);
                i += 2;
            } else {
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        out.push_back(std::move(t));
    }
}

std::string trimText(std::string_view s)
{
    while (!s.empty() && (std::isspace(static_cast<unsigned char>(s.front()))))
        s.remove_prefix(1);
    while (!s.empty() && (std::isspace(static_cast<unsigned char>(s.back())) || s.back() == ';'))
        s.remove_suffix(1);
    return std::string(s);
}

class Parser {
public:
    Parser(const std::string& sql, std::vector<Token> toks)
        : sql_(sql)
        , t_(std::move(toks))
    {
    }

    Statement statement()
    {
        Statement st;
        if (!keywordIs(peek(), "SELECT"))
            throw EngineError(msg::invalidStatement());
        selectEnd_ = peek().pos + peek().text.size();
        ++p_;
        selectList(st);
        if (!keywordIs(peek(), "FROM"))
            throw EngineError(msg::syntaxInFrom());
        ++p_;
        if (peek().type != Tok::Ident || isReserved(peek()))
            throw EngineError(msg::syntaxInFrom());
        st.table = t_[p_++].text;
        if (keywordIs(peek(), "WHERE")) {
            ++p_;
            whereStart_ = peek().pos;
            st.whereText = whereText();
            inWhere_ = true;
            st.where = orExpr();
            if (!atEnd())
                throw EngineError(msg::missingOperator(st.whereText));
        } else if (!atEnd()) {
            throw EngineError(msg::syntaxInFrom());
        }
        return st;
    }

private:
    const Token& peek(size_t ahead = 0) const
    {
        size_t i = p_ + ahead;
        return i < t_.size() ? t_[i] : t_.back();
    }
    bool isSymbol(const Token& t, std::string_view s) const
    {
        return t.type == Tok::Symbol && t.text == s;
    }
    bool atEnd()
    {
        if (isSymbol(peek(), ";"))
            ++p_;
        return peek().type == Tok::End;
    }
    static bool isReserved(const Token& t)
    {
        for (auto kw :
             {"SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "LIKE", "IS", "NULL", "DISTINCT"})
            if (keywordIs(t, kw))
                return true;
        return false;
    }

    // The condition as written, from its first token on.
    std::string whereText() const { return trimText(std::string_view(sql_).substr(whereStart_)); }

    // A syntax error names the condition, or else what follows SELECT (the whole statement
    // when nothing does).
    [[noreturn]] void fail()
    {
        if (inWhere_)
            throw EngineError(msg::syntaxInExpression(whereText()));
        std::string afterSelect = trimText(std::string_view(sql_).substr(selectEnd_));
        throw EngineError(
            msg::syntaxInExpression(afterSelect.empty() ? trimText(sql_) : afterSelect));
    }

    std::string columnName()
    {
        const Token& t = peek();
        if (t.type != Tok::Ident || isReserved(t))
            fail();
        ++p_;
        return t.text;
    }

    void selectList(Statement& st)
    {
        if (isSymbol(peek(), "*")) {
            ++p_;
            st.kind = Statement::Kind::Star;
            return;
        }
        if (keywordIs(peek(), "COUNT") && isSymbol(peek(1), "(")) {
            p_ += 2;
            if (!isSymbol(peek(), "*"))
                fail();
            ++p_;
            if (!isSymbol(peek(), ")"))
                fail();
            ++p_;
            st.kind = Statement::Kind::Count;
            alias();
            return;
        }
        if (keywordIs(peek(), "DISTINCT")) {
            ++p_;
            st.kind = Statement::Kind::Distinct;
            if (isSymbol(peek(), "(")) {
                ++p_;
                st.columns.push_back(columnName());
                if (!isSymbol(peek(), ")"))
                    fail();
                ++p_;
            } else {
                st.columns.push_back(columnName());
            }
            alias();
            return;
        }
        st.kind = Statement::Kind::Columns;
        st.columns.push_back(columnName());
        alias();
        while (isSymbol(peek(), ",")) {
            ++p_;
            st.columns.push_back(columnName());
            alias();
        }
    }

    void alias()
    {
        if (keywordIs(peek(), "AS")) {
            ++p_;
            columnName();
        }
    }

    // Operands read by `operand`, joined by the keyword `kw`, grouped from the left.
    std::unique_ptr<Cond> joined(Cond::Kind kind, std::string_view kw,
                                 std::unique_ptr<Cond> (Parser::*operand)())
    {
        auto left = (this->*operand)();
        while (keywordIs(peek(), kw)) {
            ++p_;
            auto c = std::make_unique<Cond>();
            c->kind = kind;
            c->left = std::move(left);
            c->right = (this->*operand)();
            left = std::move(c);
        }
        return left;
    }

    std::unique_ptr<Cond> orExpr() { return joined(Cond::Kind::Or, "OR", &Parser::andExpr); }
    std::unique_ptr<Cond> andExpr() { return joined(Cond::Kind::And, "AND", &Parser::notExpr); }

    std::unique_ptr<Cond> notExpr()
    {
        if (keywordIs(peek(), "NOT")) {
            ++p_;
            auto c = std::make_unique<Cond>();
            c->kind = Cond::Kind::Not;
            c->left = notExpr();
            return c;
        }
        return primary();
    }

    std::string literal()
    {
        const Token& t = peek();
        if (t.type == Tok::String || t.type == Tok::Number) {
            ++p_;
            return t.text;
        }
        if (isSymbol(t, "-") && peek(1).type == Tok::Number) {
            std::string v = "-" + peek(1).text;
            p_ += 2;
            return v;
        }
        if (t.type == Tok::Ident && !isReserved(t)) {
            // An unquoted name where a value belongs: the desktop engine takes it for a
            // parameter it has no value for.
            unknownNames_.push_back(t.text);
            ++p_;
            return {};
        }
        fail();
    }

    std::unique_ptr<Cond> primary()
    {
        if (isSymbol(peek(), "(")) {
            ++p_;
            auto c = orExpr();
            if (!isSymbol(peek(), ")"))
                fail();
            ++p_;
            return c;
        }
        auto c = std::make_unique<Cond>();
        c->column = columnName();
        const Token& t = peek();
        if (t.type == Tok::Symbol && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                      t.text == ">" || t.text == "<=" || t.text == ">=")) {
            ++p_;
            c->kind = Cond::Kind::Compare;
            c->op = t.text;
            c->literal = literal();
        } else if (keywordIs(t, "LIKE") || (keywordIs(t, "NOT") && keywordIs(peek(1), "LIKE"))) {
            c->negated = keywordIs(t, "NOT");
            p_ += c->negated ? 2 : 1;
            c->kind = Cond::Kind::Like;
            c->literal = literal();
        } else if (keywordIs(t, "SIMILAR") ||
                   (keywordIs(t, "NOT") && keywordIs(peek(1), "SIMILAR"))) {
            c->negated = keywordIs(t, "NOT");
            p_ += c->negated ? 2 : 1;
            c->kind = Cond::Kind::Similar;
            c->literal = literal();
        } else if (keywordIs(t, "IS")) {
            ++p_;
            c->kind = Cond::Kind::IsNull;
            if (keywordIs(peek(), "NOT")) {
                c->negated = true;
                ++p_;
            }
            if (!keywordIs(peek(), "NULL"))
                fail();
            ++p_;
        } else {
            throw EngineError(msg::missingOperator(whereText()));
        }
        return c;
    }

public:
    std::vector<std::string> unknownNames_;

private:
    const std::string& sql_;
    std::vector<Token> t_;
    size_t p_ = 0;
    bool inWhere_ = false;
    size_t selectEnd_ = 0;  // where the text after the SELECT keyword begins
    size_t whereStart_ = 0; // where the condition begins
};

} // namespace

Statement parse(const std::string& sql)
{
    if (trimText(sql).empty())
        throw EngineError(msg::emptyStatement());
    std::vector<Token> toks;
    try {
        toks = lex(sql);
    } catch (const UnterminatedString& u) {
        // Name the condition that holds the broken literal when there is one.
        constexpr std::string_view kWhere = "WHERE";
        std::string upper;
        for (char ch : sql)
            upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
        size_t w = upper.rfind(kWhere, u.pos);
        size_t from = (w == std::string::npos) ? 0 : w + kWhere.size();
        throw EngineError(msg::syntaxInString(trimText(std::string_view(sql).substr(from))));
    }
    Parser p(sql, std::move(toks));
    Statement st = p.statement();
    st.parameters = std::move(p.unknownNames_);
    return st;
}

void collectColumns(const Cond& c, std::vector<std::string>& out)
{
    if (c.left)
        collectColumns(*c.left, out);
    if (c.right)
        collectColumns(*c.right, out);
    if (!c.column.empty())
        out.push_back(c.column);
}

} // namespace engine::jet
