#include "accore/InitValueTree.h"

#include "accore/SymbolEnumType.h"
#include "accore/SymbolVariable.h"

#include <utility>

namespace ac {

std::unique_ptr<InitValueTree> InitValueTree::literal(std::string text, SourceLocation at)
{
    std::unique_ptr<InitValueTree> node(new InitValueTree(Literal, at));
    node->m_text = std::move(text);
    return node;
}

std::unique_ptr<InitValueTree> InitValueTree::array(SourceLocation at)
{
    return std::unique_ptr<InitValueTree>(new InitValueTree(Array, at));
}

std::unique_ptr<InitValueTree> InitValueTree::structure(SourceLocation at)
{
    return std::unique_ptr<InitValueTree>(new InitValueTree(Struct, at));
}

void InitValueTree::addElement(unsigned long long repeat, std::unique_ptr<InitValueTree> value)
{
    m_elements.push_back({repeat, std::move(value)});
}

void InitValueTree::addMember(std::string name, std::unique_ptr<InitValueTree> value)
{
    m_members.push_back({std::move(name), std::move(value)});
}

unsigned long long InitValueTree::elementCount() const
{
    unsigned long long count = 0;
    for (const Element& e : m_elements)
        count = count > ~0ull - e.repeat ? ~0ull : count + e.repeat;
    return count;
}

std::string InitValueTree::toStContext(const SymbolDataType* type) const
{
    switch (m_kind) {
    case Literal: {
        // "E_Mode#Auto" and "Auto" both name the value; keep the short form inside its own type.
        const auto* enumType = dynamic_cast<const SymbolEnumType*>(type);
        const size_t hash = m_text.find('#');
        if (enumType && hash != std::string::npos && sameName(m_text.substr(0, hash), enumType->name()))
            return m_text.substr(hash + 1);
        return m_text;
    }
    case Array: {
        const SymbolDataType* element = type && type->isArray() ? type->elementType() : nullptr;
        std::string out = "[";
        for (size_t i = 0; i < m_elements.size(); ++i) {
            if (i)
                out += ", ";
            const std::string value = m_elements[i].value ? m_elements[i].value->toStContext(element) : "";
            if (m_elements[i].repeat != 1)
                out += std::to_string(m_elements[i].repeat) + "(" + value + ")";
            else
                out += value;
        }
        return out + "]";
    }
    case Struct: {
        std::string out = "(";
        for (size_t i = 0; i < m_members.size(); ++i) {
            if (i)
                out += ", ";
            const SymbolVariable* member = type ? type->param(m_members[i].name) : nullptr;
            const SymbolDataType* memberType = member ? member->dataType() : nullptr;
            out += m_members[i].name + " := "
                + (m_members[i].value ? m_members[i].value->toStContext(memberType) : std::string());
        }
        return out + ")";
    }
    }
    return {};
}

std::unique_ptr<InitValueTree> InitValueTree::clone() const
{
    std::unique_ptr<InitValueTree> copy(new InitValueTree(m_kind, m_at));
    copy->m_text = m_text;
    for (const Element& e : m_elements)
        copy->addElement(e.repeat, e.value ? e.value->clone() : nullptr);
    for (const Member& m : m_members)
        copy->addMember(m.name, m.value ? m.value->clone() : nullptr);
    return copy;
}

} // namespace ac
