#include "accore/internal/Pragma.h"

#include "accore/internal/Lexer.h"

namespace ac {

std::vector<PlacedPragma> extractPragmas(std::vector<Token>& tokens)
{
    std::vector<PlacedPragma> pragmas;
    size_t kept = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == Token::Pragma) {
            pragmas.push_back({kept, std::move(tokens[i])});
            continue;
        }
        if (kept != i)
            tokens[kept] = std::move(tokens[i]);
        ++kept;
    }
    tokens.resize(kept);
    return pragmas;
}

bool pragmaMessage(const Token& pragma, const std::string& object, ACMessage& message)
{
    const std::string& text = pragma.text;
    size_t i = text.find_first_not_of(" \t\r\n");
    if (i == std::string::npos)
        return false;
    size_t wordEnd = i;
    while (wordEnd < text.size() && isLetter(text[wordEnd]))
        ++wordEnd;
    const std::string word = upperAscii(text.substr(i, wordEnd - i));
    ACMessage::Severity severity;
    if (word == "WARNING")
        severity = ACMessage::Warning;
    else if (word == "INFO")
        severity = ACMessage::Info;
    else
        return false;
    const size_t open = text.find('\'', wordEnd);
    const size_t close = open == std::string::npos ? open : text.rfind('\'');
    std::string shown = open != std::string::npos && close > open ? text.substr(open + 1, close - open - 1)
                                                                   : text.substr(wordEnd);
    const size_t first = shown.find_first_not_of(" \t");
    shown = first == std::string::npos ? std::string() : shown.substr(first);
    message = ACMessage(severity, object, pragma.at, shown.empty() ? word : shown);
    return true;
}

} // namespace ac
