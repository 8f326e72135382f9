#pragma once

#include "host/api/IService.h"

#include <memory>
#include <string>
#include <vector>

namespace ac {
class ASTTree;
class ACMessage;
} // namespace ac

namespace host {

// Parses the logic text of one implementation language into the compiler core's syntax tree.
class IProgramLanguageHandler
{
public:
    virtual ~IProgramLanguageHandler() = default;

    // The tree of `text`; never null (a text with syntax errors gives a partial tree whose
    // errors the core reports when the POU is checked).
    virtual std::unique_ptr<ac::ASTTree> parse(const std::string& text, const std::string& pouName,
                                               int fileId) = 0;
    // Gives the handler a chance to adjust the core's messages about `pouName`.
    virtual void adjustMessages(std::vector<ac::ACMessage>& messages, const std::string& pouName) = 0;
};

// Service "ProgramLanguagemanagerIns".
class IProgramLanguageManager : public IService
{
public:
    static constexpr const char* ServiceName = "ProgramLanguagemanagerIns";

    // The handler of a POU language type (1 = structured text), or null. Owned by the manager.
    virtual IProgramLanguageHandler* handler(int languageType) = 0;
};

} // namespace host
