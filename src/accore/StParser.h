#pragma once

#include "accore/ACMessage.h"
#include "accore/ASTTree.h"

#include <memory>
#include <string>
#include <vector>

namespace ac {

// Parses the logic text of a structured text POU into a syntax tree. Never fails: syntax
// errors become messages (in `messages` and in the tree) and parsing resumes at the next
// ";" or statement keyword.
class StParser
{
public:
    std::unique_ptr<ASTTree> parse(const std::string& text, const std::string& pouName, int fileId,
                                   std::vector<ACMessage>& messages);

    // Deepest nesting of statements and expressions accepted; deeper text is an error.
    static constexpr int maxDepth = 1000;
};

} // namespace ac
