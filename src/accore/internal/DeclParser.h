#pragma once

#include "accore/ACMessage.h"
#include "accore/InitValueTree.h"
#include "accore/internal/Pragma.h"
#include "accore/internal/SymbolTable.h"
#include "accore/internal/Token.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ac {

class SymbolDataType;
class SymbolGVL;
class SymbolPOU;
class VarContainer;

// The recovering declaration parser: POU headers with their variable sections, global
// variable lists and TYPE blocks. Each declaration gives at most one message; after an
// error the parser resumes at the next ";" or section keyword.
class DeclParser
{
public:
    DeclParser(SymbolTable& table, const std::string& text, std::string objectName, int fileId,
               std::vector<ACMessage>& messages);
    ~DeclParser();

    std::shared_ptr<SymbolPOU> parsePou(int pouKind);
    std::unique_ptr<SymbolGVL> parseGlobalVars();
    std::vector<std::shared_ptr<SymbolDataType>> parseTypes();
    // The whole text is one type text ("ARRAY[1..3] OF INT"); null when not.
    std::shared_ptr<SymbolDataType> parseTypeOnly();

    bool hadError() const { return m_errorCount > 0; }

    // Names the text uses that nothing declared (upper case): the core parses the text
    // again once one of them is declared, so that the order of parsing does not matter.
    const std::vector<std::string>& unresolvedNames() const { return m_unresolved; }

    // Types of a TYPE text that could not be declared, or only in part.
    const std::vector<BrokenType>& brokenTypes() const { return m_broken; }

    // Key of the object parsed ("T" types, "G" global list, "P" POU, then the upper-case
    // name): how the symbol table tells this object's own earlier entries from others'.
    static std::string objectKey(char kind, const std::string& name);

    static constexpr int maxDepth = 64;

private:
    struct Section;

    const Token& cur() const { return m_tokens[m_pos]; }
    const Token& peekToken(size_t ahead) const;
    void next();
    bool atEnd() const { return cur().kind == Token::End; }

    void report(const ACMessage& message);
    bool isArithmetic(const Token& token) const;
    void reportUnexpected(const std::string& expected);
    void beginDeclaration() { m_reported = false; }
    void recover();
    bool isSectionKeyword(const Token& token) const;
    bool isReserved(const std::string& upper) const;
public:
    // A keyword or elementary type name of the language, given in upper case.
    static bool isReservedWord(const std::string& upper);
private:
    bool isVarSectionStart(const Token& token) const;

    void parseVarSections(VarContainer& container, bool globalList, int pouKind);
    void parseSectionBody(VarContainer& container, const Section& section);
    void parseVarDecl(VarContainer& container, const Section& section);

    // Type syntax and resolution. Returns false on a syntax error (reported); `type` is
    // null after a semantic error (reported) with true returned.
    bool parseTypeSpec(std::shared_ptr<SymbolDataType>& type, int depth);
    bool parseArrayType(std::shared_ptr<SymbolDataType>& type, int depth);
    bool parseStringType(std::shared_ptr<SymbolDataType>& type, int basicType);
    bool parseBound(long long& value);
    bool parseSubrange(int baseType, const std::string& name, std::shared_ptr<SymbolDataType>& type);

    // Integer constant expressions (bounds, lengths, constant initial values): literals,
    // constants, + - * / MOD and parentheses. False after a reported (or earlier) error.
    bool constSum(long long& value, int depth);
    bool constProduct(long long& value, int depth);
    bool constUnary(long long& value, int depth);
    bool constPrimary(long long& value, int depth);
    bool resolveConstant(const Token& name, long long& value);
    // A constant declared further down in this same text.
    bool laterConstant(const std::string& upper, long long& value);
    // A type declared further down in this same TYPE text.
    bool declaredLaterInBlock(const std::string& upper);
    bool isErroneousName(const std::string& name) const;
    void noteUnresolved(const std::string& name);
    // The name chain from a broken type back to the type being declared, if there is one.
    bool reachesDeclaring(const std::string& upper) const;
    const std::vector<std::string>* brokenWaits(const std::string& upper) const;
    void checkExternal(VarContainer& container, const std::string& name, SourceLocation at,
                       const SymbolDataType& type, bool constant);

    // Consumes the pragmas that stand before token `index`: message pragmas give their
    // message, the others' text is returned (joined by " ") for the declaration they precede.
    std::string takePragmasBefore(size_t index);

    bool parseInit(std::unique_ptr<InitValueTree>& init, int depth);
    bool parseStructDecl(const std::string& name, SourceLocation at, std::shared_ptr<SymbolDataType>& type);
    bool parseEnumDecl(const std::string& name, int baseType, std::shared_ptr<SymbolDataType>& type);

    // Does the value fit the type? On false `why`, `where` and `shown` describe the misfit.
    bool checkInit(const InitValueTree& init, const SymbolDataType& type, const VarContainer* scope,
                   std::string& why, const InitValueTree*& where, const SymbolDataType*& whereType) const;
    bool checkLiteral(const std::string& text, const SymbolDataType& type, const VarContainer* scope,
                      std::string& why) const;

    std::string containerWhat(const VarContainer& container) const;
    std::string trailingComment(int line) const;

    SymbolTable& m_table;
    std::vector<Token> m_tokens;
    std::unordered_map<int, std::string> m_comments;
    size_t m_pos = 0;
    std::string m_object;
    int m_fileId;
    std::vector<ACMessage>& m_messages;
    bool m_reported = false;
    bool m_fatal = false;  // the lexer gave up: no further messages
    int m_errorCount = 0;
    std::string m_declaring; // upper-case name of the type or POU being declared
    std::string m_declaringText; // the same as written
    // Pointers to the type being declared, completed once it exists.
    std::vector<std::shared_ptr<SymbolDataType>> m_selfPointers;
    // Types declared earlier in the same TYPE text, by upper-case name.
    std::unordered_map<std::string, std::shared_ptr<SymbolDataType>> m_local;
    const VarContainer* m_scope = nullptr; // the container being filled (its constants count)
    char m_keyKind = 'P';                  // objectKey() of the text being parsed, made when needed
    std::string m_keyName;

    std::vector<PlacedPragma> m_pragmas;
    size_t m_nextPragma = 0;
    std::vector<std::string> m_unresolved;
    std::vector<BrokenType> m_broken;
    int m_quiet = 0;         // > 0 while looking ahead: no messages
    int m_lookAhead = 0;     // nesting of laterConstant evaluations
    bool m_scannedConstants = false;
    std::unordered_map<std::string, size_t> m_laterConstants; // name -> token after ":="
    bool m_scannedBlock = false;
    std::unordered_map<std::string, size_t> m_blockNames;     // TYPE text: name -> token index
};

} // namespace ac
