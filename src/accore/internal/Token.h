#pragma once

#include "accore/SourceLocation.h"

#include <string>

namespace ac {

// One token of IEC 61131-3 text. Keywords are identifiers; `upper` holds the upper-case
// spelling that keyword and name comparisons use.
struct Token
{
    enum Kind {
        End,          // end of text
        Identifier,   // names and keywords
        Integer,      // 42, 1_000, 16#FF, 2#1010
        Real,         // 1.5, 1.5E3
        TypedLiteral, // INT#5, T#1s, D#2024-01-01, E_Mode#Auto
        String,       // 'text' (source text with quotes)
        WString,      // "text"
        Address,      // %IX0.0
        Pragma,       // {text} (without braces)
        Punct,        // ; : := => , . .. ( ) [ ] + - * / ** = <> < <= > >= & ^
        Error         // a character no token starts with, or an unterminated construct
    };

    Kind kind = End;
    std::string text;
    std::string upper;
    SourceLocation at;
    bool fatal = false;  // Error tokens: the rest of the text could not be read
    std::string problem; // Error tokens: what went wrong

    bool is(const char* punct) const { return kind == Punct && text == punct; }
    bool isWord(const char* word) const { return kind == Identifier && upper == word; }
};

} // namespace ac
