#pragma once

#include "accore/ACMessage.h"
#include "accore/internal/Token.h"

#include <string>
#include <vector>

namespace ac {

// A pragma taken out of the token stream, with the index of the token it stood before.
struct PlacedPragma
{
    size_t before = 0;
    Token token;
};

// Moves every pragma token out of `tokens` (parsers read the rest as if the pragmas were
// comments) and returns them in text order.
std::vector<PlacedPragma> extractPragmas(std::vector<Token>& tokens);

// The message a pragma asks for: {warning 'text'} a warning, {info 'text'} an info. False
// for every other pragma: attributes and pragmas of other tools are read and ignored.
bool pragmaMessage(const Token& pragma, const std::string& object, ACMessage& message);

} // namespace ac
