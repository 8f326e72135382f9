#pragma once

#include "accore/SourceLocation.h"

#include <string>
#include <vector>

namespace ac {

class ASTTree;

// One node of a structured text syntax tree; owned by its ASTTree.
//
// Shapes (children in order):
//   StatementList: statements                 Assign: target, value
//   Call: callee, Argument...                 Argument: value (text = formal name or "";
//                                               op = ":=", "=>" or "")
//   If: condition, then-list, [ElsIf...], [else-list]   ElsIf: condition, list
//   Case: selector, CaseBranch..., [else-list]  CaseBranch: CaseLabel..., list
//   CaseLabel: value or Range(low, high)
//   For: variable, from, to, [by], list (op "BY" when a step is given)
//   While: condition, list    Repeat: list, condition
//   Exit, Return, Empty: none
//   Identifier (text = name), Literal (text = source text)
//   Member: object, Identifier        Index: object, index expressions...
//   Deref: object ("p^")              Unary (op): operand    Binary (op): left, right
class ASTNode
{
public:
    enum Kind {
        StatementList, Assign, Call, Argument, If, ElsIf, Case, CaseBranch, CaseLabel, Range, For, While,
        Repeat, Exit, Return, Empty, Identifier, Literal, Member, Index, Deref, Unary, Binary, Error
    };

    Kind kind() const { return m_kind; }
    const std::string& text() const { return m_text; }
    const std::string& op() const { return m_op; }
    SourceLocation location() const { return m_at; }
    int line() const { return m_at.line; }
    int column() const { return m_at.column; }

    const std::vector<ASTNode*>& children() const { return m_children; }
    ASTNode* child(size_t i) const { return i < m_children.size() ? m_children[i] : nullptr; }
    size_t childCount() const { return m_children.size(); }
    ASTNode* parent() const { return m_parent; }
    ASTTree* tree() const { return m_tree; }

    void addChild(ASTNode* node);
    void setOp(const std::string& op) { m_op = op; }

    static const char* kindName(Kind kind);

private:
    friend class ASTTree;
    ASTNode(ASTTree* tree, Kind kind, std::string text, SourceLocation at);

    ASTTree* m_tree;
    Kind m_kind;
    std::string m_text;
    std::string m_op;
    SourceLocation m_at;
    ASTNode* m_parent = nullptr;
    std::vector<ASTNode*> m_children; // owned by the tree
};

} // namespace ac
