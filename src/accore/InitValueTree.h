#pragma once

#include "accore/SourceLocation.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ac {

class SymbolDataType;

// The initial value of a variable as written: a literal (kept as its source text, e.g.
// "16#FF", "T#1s500ms", "'abc$N'", "Running"), an array of elements with optional
// repetition counts ("[3(0), 1, 2]"), or a structure of member values ("(a := 1, b := 2)").
class InitValueTree
{
public:
    enum Kind { Literal, Array, Struct };

    struct Element
    {
        unsigned long long repeat = 1; // n(...) repetition; 1 when written plainly
        std::unique_ptr<InitValueTree> value;
    };
    struct Member
    {
        std::string name;
        std::unique_ptr<InitValueTree> value;
    };

    static std::unique_ptr<InitValueTree> literal(std::string text, SourceLocation at);
    static std::unique_ptr<InitValueTree> array(SourceLocation at);
    static std::unique_ptr<InitValueTree> structure(SourceLocation at);

    Kind kind() const { return m_kind; }
    const std::string& text() const { return m_text; } // literals only
    SourceLocation location() const { return m_at; }

    void addElement(unsigned long long repeat, std::unique_ptr<InitValueTree> value);
    void addMember(std::string name, std::unique_ptr<InitValueTree> value);
    const std::vector<Element>& elements() const { return m_elements; }
    const std::vector<Member>& members() const { return m_members; }
    // Number of array elements written, repetitions counted (saturates, never overflows).
    unsigned long long elementCount() const;

    // The value as structured text that a declaration accepts after ":=". `type` (may be
    // null) lets an enumeration value be written with its type prefix removed.
    std::string toStContext(const SymbolDataType* type = nullptr) const;

    std::unique_ptr<InitValueTree> clone() const;

private:
    InitValueTree(Kind kind, SourceLocation at) : m_kind(kind), m_at(at) {}

    Kind m_kind;
    SourceLocation m_at;
    std::string m_text;
    std::vector<Element> m_elements;
    std::vector<Member> m_members;
};

} // namespace ac
