#pragma once

#include "accore/ACMessage.h"
#include "accore/ASTNode.h"

#include <memory>
#include <string>
#include <vector>

namespace ac {

// A structured text syntax tree: owns every node, and keeps the syntax errors found while
// it was built so that ACCore::checkPOU reports them with the semantic ones.
class ASTTree
{
public:
    explicit ASTTree(std::string pouName = {});
    ~ASTTree();
    ASTTree(const ASTTree&) = delete;
    ASTTree& operator=(const ASTTree&) = delete;

    ASTNode* root() const { return m_root; }
    void setRoot(ASTNode* root) { m_root = root; }
    const std::string& pouName() const { return m_pouName; }

    ASTNode* create(ASTNode::Kind kind, const std::string& text, SourceLocation at);
    size_t nodeCount() const { return m_nodes.size(); }

    const std::vector<ACMessage>& messages() const { return m_messages; }
    void addMessage(const ACMessage& message) { m_messages.push_back(message); }

    // Indented text of the tree, one node per line (for tests and debugging).
    std::string dump() const;

private:
    std::string m_pouName;
    std::vector<std::unique_ptr<ASTNode>> m_nodes;
    ASTNode* m_root = nullptr;
    std::vector<ACMessage> m_messages;
};

} // namespace ac
