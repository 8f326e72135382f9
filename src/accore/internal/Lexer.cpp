#include "accore/internal/Lexer.h"

namespace ac {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

namespace {
bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isTimePrefix(const std::string& p)
{
    return p == "T" || p == "TIME" || p == "LT" || p == "LTIME";
}
bool isDatePrefix(const std::string& p)
{
    return p == "D" || p == "DATE" || p == "LDATE";
}
bool isDateTimePrefix(const std::string& p)
{
    return p == "DT" || p == "DATE_AND_TIME" || p == "LDT";
}
bool isTodPrefix(const std::string& p)
{
    return p == "TOD" || p == "TIME_OF_DAY" || p == "LTOD";
}
} // namespace

std::string upperAscii(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

void Lexer::advance(size_t count)
{
    for (size_t i = 0; i < count && m_pos < m_text.size(); ++i) {
        if (m_text[m_pos] == '\n') {
            ++m_line;
            m_column = 1;
        } else {
            ++m_column;
        }
        ++m_pos;
    }
}

Token Lexer::make(Token::Kind kind, size_t start, SourceLocation at) const
{
    Token t;
    t.kind = kind;
    t.text = m_text.substr(start, m_pos - start);
    t.upper = kind == Token::Identifier || kind == Token::TypedLiteral ? upperAscii(t.text) : t.text;
    t.at = at;
    return t;
}

Token Lexer::error(SourceLocation at, const std::string& text, const std::string& problem, bool fatal) const
{
    Token t;
    t.kind = Token::Error;
    t.text = text;
    t.upper = text;
    t.at = at;
    t.fatal = fatal;
    t.problem = problem;
    return t;
}

// Skips blanks and comments. False when an unterminated comment ended the text (an Error
// token was added for it).
bool Lexer::skipSpaceAndComments(std::vector<Token>& out)
{
    for (;;) {
        const char c = peek();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            advance();
        } else if (c == '/' && peek(1) == '/') {
            const int line = m_line;
            advance(2);
            const size_t start = m_pos;
            while (m_pos < m_text.size() && peek() != '\n')
                advance();
            m_comments.emplace(line, m_text.substr(start, m_pos - start));
        } else if (c == '(' && peek(1) == '*') {
            const SourceLocation at{m_line, m_column};
            advance(2);
            const size_t start = m_pos;
            int depth = 1;
            size_t end = m_pos;
            while (m_pos < m_text.size() && depth > 0) {
                if (peek() == '(' && peek(1) == '*') {
                    ++depth;
                    advance(2);
                } else if (peek() == '*' && peek(1) == ')') {
                    --depth;
                    end = m_pos;
                    advance(2);
                } else {
                    advance();
                }
            }
            if (depth > 0) {
                out.push_back(error(at, "(*", "comment", true));
                return false;
            }
            m_comments.emplace(at.line, m_text.substr(start, end - start));
        } else {
            return true;
        }
    }
}

std::vector<Token> Lexer::tokenize()
{
    std::vector<Token> out;
    if (m_text.size() > maxTextSize) {
        out.push_back(error({1, 1}, "", "text larger than 64 MiB", true));
        out.push_back(Token{});
        return out;
    }
    out.reserve(m_text.size() / 4 + 2);
    for (;;) {
        if (!skipSpaceAndComments(out))
            break;
        if (m_pos >= m_text.size())
            break;
        const char c = peek();
        Token t;
        if (isDigit(c))
            t = lexNumber();
        else if (isLetter(c))
            t = lexWord();
        else if (c == '\'' || c == '"')
            t = lexString(c);
        else if (c == '{')
            t = lexPragma();
        else if (c == '%')
            t = lexAddress();
        else
            t = lexPunct();
        const bool fatal = t.fatal;
        out.push_back(std::move(t));
        if (fatal)
            break;
    }
    Token end;
    end.at = {m_line, m_column};
    out.push_back(end);
    return out;
}

Token Lexer::lexNumber()
{
    const SourceLocation at{m_line, m_column};
    const size_t start = m_pos;
    while (isDigit(peek()) || peek() == '_')
        advance();
    if (peek() == '#') {
        // Based literal: 2#..., 8#..., 16#...
        advance();
        const size_t digits = m_pos;
        while (isHexDigit(peek()) || peek() == '_')
            advance();
        if (m_pos == digits)
            return error(at, m_text.substr(start, m_pos - start), "digits expected after '#'", false);
        return make(Token::Integer, start, at);
    }
    bool real = false;
    if (peek() == '.' && isDigit(peek(1))) {
        real = true;
        advance();
        while (isDigit(peek()) || peek() == '_')
            advance();
    }
    if ((peek() == 'e' || peek() == 'E')
        && (isDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && isDigit(peek(2))))) {
        real = true;
        advance(2);
        while (isDigit(peek()))
            advance();
    }
    return make(real ? Token::Real : Token::Integer, start, at);
}

Token Lexer::lexWord()
{
    const SourceLocation at{m_line, m_column};
    const size_t start = m_pos;
    while (isLetter(peek()) || isDigit(peek()))
        advance();
    Token word = make(Token::Identifier, start, at);
    if (peek() != '#')
        return word;
    advance(); // '#'
    return lexTypedBody(word, word.upper);
}

// The part of a typed literal after "PREFIX#": a time, date, time of day, date and time,
// or a (signed, based, real) number or name for the other prefixes.
Token Lexer::lexTypedBody(Token token, const std::string& prefix)
{
    const size_t start = m_pos - token.text.size() - 1;
    auto accept = [this](auto predicate) {
        while (m_pos < m_text.size() && predicate(peek()))
            advance();
    };
    const size_t bodyStart = m_pos;
    if (isTimePrefix(prefix)) {
        if (peek() == '-' || peek() == '+')
            advance();
        accept([](char c) { return isLetter(c) || isDigit(c) || c == '.'; });
    } else if (isDatePrefix(prefix)) {
        accept([](char c) { return isDigit(c) || c == '-'; });
    } else if (isDateTimePrefix(prefix)) {
        accept([](char c) { return isDigit(c) || c == '-' || c == ':' || c == '.'; });
    } else if (isTodPrefix(prefix)) {
        accept([](char c) { return isDigit(c) || c == ':' || c == '.'; });
    } else {
        if (peek() == '-' || peek() == '+')
            advance();
        if (isDigit(peek())) {
            Token number = lexNumber();
            if (number.kind == Token::Error)
                return error(token.at, m_text.substr(start, m_pos - start), number.problem, false);
        } else if (peek() == '\'' || peek() == '"') {
            Token text = lexString(peek());
            if (text.kind == Token::Error)
                return text;
        } else {
            accept([](char c) { return isLetter(c) || isDigit(c); });
        }
    }
    if (m_pos == bodyStart)
        return error(token.at, m_text.substr(start, m_pos - start), "value expected after '#'", false);
    return make(Token::TypedLiteral, start, token.at);
}

Token Lexer::lexString(char quote)
{
    const SourceLocation at{m_line, m_column};
    const size_t start = m_pos;
    advance();
    while (m_pos < m_text.size()) {
        const char c = peek();
        if (c == '$') {
            advance();
            if (m_pos >= m_text.size())
                break;
            advance();
            continue;
        }
        if (c == quote) {
            advance();
            return make(quote == '\'' ? Token::String : Token::WString, start, at);
        }
        if (c == '\n')
            break; // a string ends on its own line
        advance();
    }
    return error(at, m_text.substr(start, m_pos - start), "string", true);
}

Token Lexer::lexPragma()
{
    const SourceLocation at{m_line, m_column};
    advance();
    const size_t start = m_pos;
    // A "{" before the closing "}" means this pragma was left open: report it here rather
    // than swallow the declarations up to the next pragma's end.
    while (m_pos < m_text.size() && peek() != '}' && peek() != '{')
        advance();
    if (m_pos >= m_text.size() || peek() == '{')
        return error(at, "{", "pragma", true);
    Token t;
    ++m_pragmaCount;
    t.kind = Token::Pragma;
    t.text = m_text.substr(start, m_pos - start);
    t.upper = t.text;
    t.at = at;
    advance();
    return t;
}

Token Lexer::lexAddress()
{
    const SourceLocation at{m_line, m_column};
    const size_t start = m_pos;
    advance();
    while (isLetter(peek()) || isDigit(peek()) || (peek() == '.' && isDigit(peek(1))))
        advance();
    return make(Token::Address, start, at);
}

Token Lexer::lexPunct()
{
    const SourceLocation at{m_line, m_column};
    const size_t start = m_pos;
    static const char* const twoChar[] = {":=", "=>", "..", "**", "<>", "<=", ">="};
    for (const char* p : twoChar) {
        if (peek() == p[0] && peek(1) == p[1]) {
            advance(2);
            return make(Token::Punct, start, at);
        }
    }
    const char c = peek();
    static const std::string single = ";:,.()[]+-*/=<>&^#";
    if (single.find(c) != std::string::npos) {
        advance();
        return make(Token::Punct, start, at);
    }
    // One whole UTF-8 character, so that the message shows it readably.
    size_t length = 1;
    const unsigned char lead = static_cast<unsigned char>(c);
    if (lead >= 0xF0)
        length = 4;
    else if (lead >= 0xE0)
        length = 3;
    else if (lead >= 0xC0)
        length = 2;
    advance(length);
    return error(at, m_text.substr(start, m_pos - start), "", false);
}

} // namespace ac
