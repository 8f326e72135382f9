#include "host/LanguageManager.h"

#include "accore/ACMessage.h"
#include "accore/ASTTree.h"
#include "accore/StParser.h"

namespace host {

LanguageManager::LanguageManager()
{
    m_handlers[StructuredText] = std::make_unique<StLanguageHandler>();
}

LanguageManager::~LanguageManager() = default;

IProgramLanguageHandler* LanguageManager::handler(int languageType)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handlers.find(languageType);
    return it == m_handlers.end() ? nullptr : it->second.get();
}

void LanguageManager::setHandler(int languageType, std::unique_ptr<IProgramLanguageHandler> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers[languageType] = std::move(handler);
}

std::unique_ptr<ac::ASTTree> StLanguageHandler::parse(const std::string& text, const std::string& pouName, int fileId)
{
    // The syntax errors stay in the tree; the core reports them when it checks the POU.
    std::vector<ac::ACMessage> messages;
    return ac::StParser().parse(text, pouName, fileId, messages);
}

void StLanguageHandler::adjustMessages(std::vector<ac::ACMessage>& messages, const std::string& pouName)
{
    // Structured text lines are the editor's lines: nothing to map. Messages without an
    // object get the POU's name so that every message says where it belongs.
    for (ac::ACMessage& message : messages)
        if (message.objectName().empty())
            message.setObjectName(pouName);
}

} // namespace host
