#pragma once

#include "accore/ACMessage.h"
#include "accore/InitValueTree.h"
#include "accore/internal/Token.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ac {

class SymbolDataType;
class SymbolGVL;
class SymbolPOU;
class SymbolTable;
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

    static constexpr int maxDepth = 64;

private:
    struct Section;

    const Token& cur() const { return m_tokens[m_pos]; }
    const Token& peekToken(size_t ahead) const;
    void next();
    bool atEnd() const { return cur().kind == Token::End; }

    void report(const ACMessage& message);
    void reportUnexpected(const std::string& expected);
    void beginDeclaration() { m_reported = false; }
    void recover();
    bool isSectionKeyword(const Token& token) const;
    bool isReserved(const std::string& upper) const;
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
    // Pointers to the type being declared, completed once it exists.
    std::vector<std::shared_ptr<SymbolDataType>> m_selfPointers;
    // Types declared earlier in the same TYPE text, by upper-case name.
    std::unordered_map<std::string, std::shared_ptr<SymbolDataType>> m_local;
    const VarContainer* m_scope = nullptr; // the container being filled (its constants count)
};

} // namespace ac
