#pragma once

#include "host/api/IProgramLanguageManager.h"

#include <map>
#include <memory>
#include <mutex>

namespace host {

// Service "ProgramLanguagemanagerIns" of the default host. Knows structured text (language
// type 1); further handlers can be registered.
class LanguageManager : public IProgramLanguageManager
{
public:
    static constexpr int StructuredText = 1;

    LanguageManager();
    ~LanguageManager() override;

    IProgramLanguageHandler* handler(int languageType) override;
    void setHandler(int languageType, std::unique_ptr<IProgramLanguageHandler> handler);

private:
    std::mutex m_mutex;
    std::map<int, std::unique_ptr<IProgramLanguageHandler>> m_handlers;
};

// Parses structured text with the compiler core's parser. Stateless, so one handler serves
// every thread.
class StLanguageHandler : public IProgramLanguageHandler
{
public:
    std::unique_ptr<ac::ASTTree> parse(const std::string& text, const std::string& pouName, int fileId) override;
    void adjustMessages(std::vector<ac::ACMessage>& messages, const std::string& pouName) override;
};

} // namespace host
