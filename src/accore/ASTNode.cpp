#include "accore/ASTNode.h"

#include <utility>

namespace ac {

ASTNode::ASTNode(ASTTree* tree, Kind kind, std::string text, SourceLocation at)
    : m_tree(tree), m_kind(kind), m_text(std::move(text)), m_at(at)
{
}

void ASTNode::addChild(ASTNode* node)
{
    if (!node)
        return;
    node->m_parent = this;
    m_children.push_back(node);
}

const char* ASTNode::kindName(Kind kind)
{
    static const char* const names[] = {"StatementList", "Assign", "Call", "Argument", "If", "ElsIf", "Case",
                                        "CaseBranch", "CaseLabel", "Range", "For", "While", "Repeat", "Exit",
                                        "Return", "Empty", "Identifier", "Literal", "Member", "Index", "Deref",
                                        "Unary", "Binary", "Error"};
    const int i = static_cast<int>(kind);
    return i >= 0 && i <= static_cast<int>(Error) ? names[i] : "?";
}

} // namespace ac
