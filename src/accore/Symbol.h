#pragma once

#include "accore/SourceLocation.h"

#include <string>
#include <vector>

namespace ac {

// Base of everything the core knows by name: data types, POUs, global variable lists and
// the variables inside them. Names keep the spelling of their declaration; lookups
// compare them without regard to case, as IEC 61131-3 identifiers are.
class Symbol
{
public:
    virtual ~Symbol();
    Symbol(const Symbol&) = delete;
    Symbol& operator=(const Symbol&) = delete;

    const std::string& name() const { return m_name; }
    int symbolType() const { return m_symbolType; } // SymbolType code
    int fileId() const { return m_fileId; }
    void setFileId(int fileId) { m_fileId = fileId; }

    // The container that holds this symbol (a variable's POU, list or structure); not owned.
    Symbol* parent() const { return m_parent; }
    void setParent(Symbol* parent) { m_parent = parent; }

    // The symbols inside this one in declaration order (the callers' spelling).
    virtual std::vector<Symbol*> chilren() const;

    // Storage size in bits. `valueBits` true gives the width of the value itself (1 for
    // BOOL), false the storage it occupies (whole bytes, padding included).
    virtual unsigned long long memBitSize(bool valueBits = false) const;

    const std::string& comment() const { return m_comment; }
    void setComment(const std::string& comment) { m_comment = comment; }
    const std::string& pragma() const { return m_pragma; }
    void setPragma(const std::string& pragma) { m_pragma = pragma; }
    SourceLocation location() const { return m_location; }
    void setLocation(SourceLocation at) { m_location = at; }

protected:
    Symbol(std::string name, int symbolType);
    void rename(const std::string& name) { m_name = name; }

private:
    std::string m_name;
    int m_symbolType;
    int m_fileId = -1;
    Symbol* m_parent = nullptr;
    std::string m_comment;
    std::string m_pragma;
    SourceLocation m_location;
};

// ASCII upper case of an identifier: the key of every case-insensitive lookup.
std::string upperName(const std::string& name);
bool sameName(const std::string& a, const std::string& b);

} // namespace ac
