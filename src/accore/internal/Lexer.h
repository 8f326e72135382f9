#pragma once

#include "accore/internal/Token.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace ac {

// Splits IEC 61131-3 text into tokens. Comments ("(* *)", nested, and "//") are dropped
// from the tokens but remembered by line, so that a declaration can keep the comment
// written after it. Reads each byte at most a few times; never fails: what it cannot read
// becomes an Error token.
class Lexer
{
public:
    explicit Lexer(const std::string& text) : m_text(text) {}

    std::vector<Token> tokenize();

    // The first comment that starts on each line, keyed by line.
    const std::unordered_map<int, std::string>& lineComments() const { return m_comments; }

    // Whether any pragma token was produced: callers skip their pragma pass when not.
    bool sawPragma() const { return m_pragmaCount > 0; }

    // Larger texts are refused with one Error token: a declaration is never this big.
    static constexpr size_t maxTextSize = 64u * 1024u * 1024u;

private:
    char peek(size_t ahead = 0) const { return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : '\0'; }
    void advance(size_t count = 1);
    bool skipSpaceAndComments(std::vector<Token>& out);
    Token lexNumber();
    Token lexWord();
    Token lexTypedBody(Token token, const std::string& prefix);
    Token lexString(char quote);
    Token lexPragma();
    Token lexAddress();
    Token lexPunct();
    Token make(Token::Kind kind, size_t start, SourceLocation at) const;
    Token error(SourceLocation at, const std::string& text, const std::string& problem, bool fatal) const;

    const std::string& m_text;
    size_t m_pos = 0;
    int m_line = 1;
    int m_column = 1;
    std::unordered_map<int, std::string> m_comments;
    size_t m_pragmaCount = 0;
};

bool isLetter(char c);
bool isDigit(char c);
std::string upperAscii(const std::string& text);

} // namespace ac
