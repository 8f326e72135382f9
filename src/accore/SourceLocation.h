#pragma once

namespace ac {

// A place in a text: 1-based line and column (columns count bytes of the UTF-8 text).
struct SourceLocation
{
    int line = 1;
    int column = 1;
};

} // namespace ac
