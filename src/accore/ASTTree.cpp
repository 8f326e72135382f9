#include "accore/ASTTree.h"

#include <utility>

namespace ac {

ASTTree::ASTTree(std::string pouName) : m_pouName(std::move(pouName)) {}

ASTTree::~ASTTree() = default;

ASTNode* ASTTree::create(ASTNode::Kind kind, const std::string& text, SourceLocation at)
{
    m_nodes.emplace_back(new ASTNode(this, kind, text, at)); // owned by m_nodes
    return m_nodes.back().get();
}

namespace {
void dumpNode(const ASTNode* node, int depth, std::string& out)
{
    if (!node)
        return;
    out.append(static_cast<size_t>(depth) * 2, ' ');
    out += ASTNode::kindName(node->kind());
    if (!node->text().empty())
        out += " " + node->text();
    if (!node->op().empty())
        out += " [" + node->op() + "]";
    out += "\n";
    for (const ASTNode* child : node->children())
        dumpNode(child, depth + 1, out);
}
} // namespace

std::string ASTTree::dump() const
{
    std::string out;
    dumpNode(m_root, 0, out);
    return out;
}

} // namespace ac
