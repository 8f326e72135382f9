#include "accore/internal/DeclParser.h"

#include "accore/ConstantValue.h"
#include "accore/DeviceMemory.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolSubrangeType.h"
#include "accore/SymbolVariable.h"
#include "accore/internal/Builtins.h"
#include "accore/internal/Lexer.h"
#include "accore/internal/LiteralValue.h"
#include "accore/internal/SymbolTable.h"

#include <functional>
#include <set>
#include <unordered_set>
#include <utility>

namespace ac {

namespace {
const std::unordered_set<std::string>& sectionKeywords()
{
    static const std::unordered_set<std::string> words = {
        "VAR", "VAR_INPUT", "VAR_OUTPUT", "VAR_IN_OUT", "VAR_GLOBAL", "VAR_TEMP", "VAR_EXTERNAL", "VAR_STAT",
        "END_VAR", "END_STRUCT", "END_TYPE", "TYPE", "PROGRAM", "FUNCTION", "FUNCTION_BLOCK", "END_PROGRAM",
        "END_FUNCTION", "END_FUNCTION_BLOCK"};
    return words;
}

const std::unordered_set<std::string>& reservedWords()
{
    static const std::unordered_set<std::string> words = {
        "VAR", "VAR_INPUT", "VAR_OUTPUT", "VAR_IN_OUT", "VAR_GLOBAL", "VAR_TEMP", "VAR_EXTERNAL", "VAR_STAT",
        "END_VAR", "STRUCT", "END_STRUCT", "TYPE", "END_TYPE", "PROGRAM", "END_PROGRAM", "FUNCTION",
        "END_FUNCTION", "FUNCTION_BLOCK", "END_FUNCTION_BLOCK", "RETAIN", "NON_RETAIN", "PERSISTENT",
        "CONSTANT", "AT", "ARRAY", "OF", "POINTER", "REFERENCE", "TO", "IF", "THEN", "ELSIF", "ELSE", "END_IF",
        "CASE", "END_CASE", "FOR", "BY", "DO", "END_FOR", "WHILE", "END_WHILE", "REPEAT", "UNTIL", "END_REPEAT",
        "EXIT", "RETURN", "AND", "OR", "XOR", "NOT", "MOD", "TRUE", "FALSE", "SINT", "INT", "DINT", "LINT",
        "USINT", "UINT", "UDINT", "ULINT", "BYTE", "WORD", "DWORD", "LWORD", "BOOL", "REAL", "LREAL", "TIME",
        "LTIME", "DATE", "DT", "DATE_AND_TIME", "TOD", "TIME_OF_DAY", "STRING", "WSTRING"};
    return words;
}

struct SectionInfo
{
    const char* keyword;
    int scope;
};
const SectionInfo kSections[] = {{"VAR", VS_LOCAL},        {"VAR_INPUT", VS_INPUT},   {"VAR_OUTPUT", VS_OUTPUT},
                                 {"VAR_IN_OUT", VS_INOUT}, {"VAR_GLOBAL", VS_GLOBAL}, {"VAR_TEMP", VS_TEMP},
                                 {"VAR_STAT", VS_LOCAL},   {"VAR_EXTERNAL", VS_EXTERNAL}};

int sectionScope(const std::string& upper)
{
    for (const SectionInfo& s : kSections) {
        if (upper == s.keyword)
            return s.scope;
    }
    return VS_NONE;
}

std::string describe(const Token& token)
{
    return token.kind == Token::End ? std::string() : token.text;
}
} // namespace

// Makes sure that one turn of a parsing loop consumed at least one token, so that no input
// can keep a loop turning on the same place.
class ProgressGuard
{
public:
    ProgressGuard(const size_t& pos, std::function<void()> advance) : m_pos(pos), m_before(pos), m_advance(std::move(advance)) {}
    ~ProgressGuard()
    {
        if (m_active && m_pos == m_before)
            m_advance();
    }
    // The loop ends here on purpose: leave the current token to the caller.
    void release() { m_active = false; }

private:
    const size_t& m_pos;
    size_t m_before;
    std::function<void()> m_advance;
    bool m_active = true;
};

struct DeclParser::Section
{
    int scope = VS_LOCAL;
    bool retain = false;
    bool constant = false;
    int line = 1;
    int pouKind = PK_UNKNOWN;
};

DeclParser::DeclParser(SymbolTable& table, const std::string& text, std::string objectName, int fileId,
                       std::vector<ACMessage>& messages)
    : m_table(table), m_object(std::move(objectName)), m_fileId(fileId), m_messages(messages)
{
    Lexer lexer(text);
    m_tokens = lexer.tokenize();
    m_comments = lexer.lineComments();
    if (lexer.sawPragma())
        m_pragmas = extractPragmas(m_tokens);
}

std::string DeclParser::objectKey(char kind, const std::string& name)
{
    return std::string(1, kind) + upperAscii(name);
}

std::string DeclParser::takePragmasBefore(size_t index)
{
    std::string attached;
    while (m_nextPragma < m_pragmas.size() && m_pragmas[m_nextPragma].before <= index) {
        const Token& pragma = m_pragmas[m_nextPragma++].token;
        ACMessage message;
        if (pragmaMessage(pragma, m_object, message)) {
            if (!m_fatal && m_quiet == 0)
                m_messages.push_back(message);
            continue;
        }
        if (!attached.empty())
            attached += " ";
        attached += pragma.text;
    }
    return attached;
}

void DeclParser::noteUnresolved(const std::string& name)
{
    if (m_quiet > 0)
        return;
    const std::string upper = upperAscii(name);
    for (const std::string& known : m_unresolved) {
        if (known == upper)
            return;
    }
    m_unresolved.push_back(upper);
}

bool DeclParser::isErroneousName(const std::string& name) const
{
    return (m_scope && m_scope->isErroneous(name)) || m_table.isErroneousGlobal(name);
}

DeclParser::~DeclParser() = default;

const Token& DeclParser::peekToken(size_t ahead) const
{
    const size_t index = m_pos + ahead;
    return index < m_tokens.size() ? m_tokens[index] : m_tokens.back();
}

void DeclParser::next()
{
    if (m_pos + 1 < m_tokens.size())
        ++m_pos;
}

void DeclParser::report(const ACMessage& message)
{
    if (m_reported || m_fatal || m_quiet > 0)
        return;
    m_reported = true;
    if (message.isError())
        ++m_errorCount;
    m_messages.push_back(message);
}

void DeclParser::reportUnexpected(const std::string& expected)
{
    const Token& t = cur();
    if (t.kind == Token::Error) {
        if (t.fatal) {
            report(ACMessage::unterminated(m_object, t.at, t.problem));
            m_fatal = true;
            ++m_errorCount;
            return;
        }
        if (!t.problem.empty()) {
            report(ACMessage::invalidLiteral(m_object, t.at, t.text, t.problem));
            return;
        }
    }
    report(ACMessage::unexpectedToken(m_object, t.at, describe(t), expected));
}

bool DeclParser::isSectionKeyword(const Token& token) const
{
    return token.kind == Token::Identifier && sectionKeywords().count(token.upper) != 0;
}

bool DeclParser::isReserved(const std::string& upper) const
{
    return isReservedWord(upper);
}

bool DeclParser::isReservedWord(const std::string& upper)
{
    return reservedWords().count(upper) != 0;
}

bool DeclParser::isVarSectionStart(const Token& token) const
{
    return token.kind == Token::Identifier && sectionScope(token.upper) != VS_NONE;
}

// Skips the rest of a broken declaration: up to and including the next ";", or up to the
// next section keyword or the end.
void DeclParser::recover()
{
    while (!atEnd()) {
        if (cur().kind == Token::Error && cur().fatal) {
            reportUnexpected("");
            return;
        }
        if (cur().is(";")) {
            next();
            return;
        }
        if (isSectionKeyword(cur()))
            return;
        next();
    }
}

std::string DeclParser::trailingComment(int line) const
{
    const auto it = m_comments.find(line);
    if (it == m_comments.end())
        return {};
    std::string text = it->second;
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string DeclParser::containerWhat(const VarContainer& container) const
{
    if (const auto* pou = dynamic_cast<const SymbolPOU*>(&container)) {
        const char* kind = pou->isProgram() ? "program" : pou->isFunction() ? "function" : "function block";
        return std::string(kind) + " '" + container.name() + "'";
    }
    if (dynamic_cast<const SymbolGVL*>(&container))
        return "global variable list '" + container.name() + "'";
    return "structure '" + container.name() + "'";
}

// ---------------------------------------------------------------------------------------
// POU, global list and TYPE texts

std::shared_ptr<SymbolPOU> DeclParser::parsePou(int pouKind)
{
    beginDeclaration();
    int kind = PK_UNKNOWN;
    std::string declared;
    SourceLocation headerAt = cur().at;
    const Token& head = cur();
    if (head.isWord("PROGRAM"))
        kind = PK_PROGRAM;
    else if (head.isWord("FUNCTION"))
        kind = PK_FUNCTION;
    else if (head.isWord("FUNCTION_BLOCK"))
        kind = PK_FUNCTION_BLOCK;

    std::shared_ptr<SymbolDataType> returnType;
    if (kind != PK_UNKNOWN) {
        next();
        if (cur().kind != Token::Identifier || isReserved(cur().upper)) {
            reportUnexpected("the POU name");
            recover();
        } else {
            declared = cur().text;
            headerAt = cur().at;
            next();
            if (kind == PK_FUNCTION) {
                if (!cur().is(":")) {
                    reportUnexpected("':' and the return type of the function");
                    recover();
                } else {
                    next();
                    if (!parseTypeSpec(returnType, 0))
                        recover();
                    else if (cur().is(";"))
                        next();
                }
            } else if (cur().is(";")) {
                next();
            }
        }
    } else if (pouKind == PK_PROGRAM || pouKind == PK_FUNCTION || pouKind == PK_FUNCTION_BLOCK) {
        // A declaration without its header: the caller knows the kind.
        kind = pouKind;
    } else {
        reportUnexpected("PROGRAM, FUNCTION or FUNCTION_BLOCK");
        kind = PK_PROGRAM;
        recover();
    }

    const std::string name = m_object.empty() ? declared : m_object;
    m_keyKind = 'P';
    m_keyName = name;
    if (!declared.empty() && !m_object.empty() && !sameName(declared, m_object)) {
        beginDeclaration();
        report(ACMessage::nameMismatch(m_object, headerAt, declared));
    }
    auto pou = std::make_shared<SymbolPOU>(name.empty() ? std::string("POU") : name, kind);
    pou->setFileId(m_fileId);
    pou->setLocation(headerAt);
    pou->setTypeResolver(&m_table);
    if (returnType)
        pou->setReturnType(returnType);
    m_declaring = upperAscii(pou->name());
    m_scope = pou.get();
    parseVarSections(*pou, false, kind);
    for (auto& pointer : m_selfPointers)
        pointer->setRefType(pou);
    m_selfPointers.clear();
    m_declaring.clear();
    m_scope = nullptr;

    beginDeclaration();
    static const char* const ends[] = {"", "END_PROGRAM", "END_FUNCTION", "END_FUNCTION_BLOCK"};
    if (!atEnd() && cur().kind == Token::Identifier
        && (cur().upper == "END_PROGRAM" || cur().upper == "END_FUNCTION" || cur().upper == "END_FUNCTION_BLOCK")) {
        if (cur().upper != ends[kind])
            reportUnexpected(ends[kind]);
        next();
        if (cur().is(";"))
            next();
    }
    if (!atEnd())
        reportUnexpected(std::string("a variable section or ") + ends[kind]);
    takePragmasBefore(m_tokens.size());
    return pou;
}

std::unique_ptr<SymbolGVL> DeclParser::parseGlobalVars()
{
    auto gvl = std::make_unique<SymbolGVL>(m_object);
    m_keyKind = 'G';
    m_keyName = m_object;
    gvl->setFileId(m_fileId);
    gvl->setTypeResolver(&m_table);
    m_scope = gvl.get();
    parseVarSections(*gvl, true, PK_UNKNOWN);
    m_scope = nullptr;
    beginDeclaration();
    if (!atEnd())
        reportUnexpected("VAR_GLOBAL");
    takePragmasBefore(m_tokens.size());
    return gvl;
}

void DeclParser::parseVarSections(VarContainer& container, bool globalList, int pouKind)
{
    while (!atEnd() && !m_fatal) {
        beginDeclaration();
        takePragmasBefore(m_pos); // pragmas of the list or section, not of a variable
        ProgressGuard progress(m_pos, [this] { next(); });
        const Token& t = cur();
        if (t.kind == Token::Error) {
            reportUnexpected("a variable section");
            if (t.fatal)
                return;
            next();
            continue;
        }
        if (!isVarSectionStart(t)) {
            if (t.kind == Token::Identifier
                && (t.upper == "END_PROGRAM" || t.upper == "END_FUNCTION" || t.upper == "END_FUNCTION_BLOCK")
                && !globalList) {
                progress.release();
                return;
            }
            reportUnexpected(globalList ? "VAR_GLOBAL" : "a variable section (VAR, VAR_INPUT, ...)");
            // Skip to the next section keyword so that one stray word gives one message.
            next();
            while (!atEnd() && !isSectionKeyword(cur()))
                next();
            if (cur().isWord("END_VAR"))
                next();
            continue;
        }
        Section section;
        section.pouKind = pouKind;
        section.scope = sectionScope(t.upper);
        section.line = t.at.line;
        const SourceLocation sectionAt = t.at;
        const std::string keyword = t.text;
        next();
        while (cur().isWord("RETAIN") || cur().isWord("NON_RETAIN") || cur().isWord("PERSISTENT")
               || cur().isWord("CONSTANT")) {
            if (cur().isWord("RETAIN") || cur().isWord("PERSISTENT"))
                section.retain = true;
            else if (cur().isWord("CONSTANT"))
                section.constant = true;
            next();
        }
        bool allowed = true;
        if (globalList && section.scope != VS_GLOBAL)
            allowed = false;
        if (!globalList && section.scope == VS_GLOBAL)
            allowed = false;
        if (!globalList && pouKind == PK_FUNCTION && section.scope == VS_LOCAL && section.retain)
            allowed = false;
        if (!allowed) {
            report(ACMessage::notAllowed(m_object, sectionAt,
                                         "section " + keyword + " is not allowed in " + containerWhat(container)));
        }
        parseSectionBody(container, section);
    }
}

void DeclParser::parseSectionBody(VarContainer& container, const Section& section)
{
    while (!m_fatal) {
        beginDeclaration();
        const Token& t = cur();
        if (t.isWord("END_VAR")) {
            next();
            if (cur().is(";"))
                next();
            return;
        }
        if (t.kind == Token::End || isSectionKeyword(t)) {
            report(ACMessage::missingEndVar(m_object, t.at, describe(t), section.line));
            return;
        }
        const size_t before = m_pos;
        parseVarDecl(container, section);
        if (m_pos == before)
            next();
    }
}

void DeclParser::parseVarDecl(VarContainer& container, const Section& section)
{
    const std::string pragma = takePragmasBefore(m_pos);
    struct Name
    {
        std::string text;
        SourceLocation at;
    };
    std::vector<Name> names;
    for (;;) {
        if (cur().kind != Token::Identifier || isReserved(cur().upper)) {
            reportUnexpected(names.empty() ? "a variable name or END_VAR" : "a variable name");
            recover();
            return;
        }
        names.push_back({cur().text, cur().at});
        next();
        if (!cur().is(","))
            break;
        next();
    }
    // A rejected declaration leaves its names marked, so that their uses stay quiet.
    auto rejectNames = [&] {
        for (const Name& n : names) {
            if (!container.param(n.text))
                container.markErroneous(n.text);
        }
    };

    std::string addressText;
    HeapAddress address;
    SourceLocation addressAt;
    bool rejected = false; // reported while reading; the variable is left out
    if (cur().isWord("AT")) {
        next();
        if (cur().kind != Token::Address) {
            reportUnexpected("a direct address such as %IX0.0");
            recover();
            return;
        }
        addressText = cur().text;
        addressAt = cur().at;
        DeviceMemory unchecked;
        const DeviceMemory* memory = m_table.deviceMemory() ? m_table.deviceMemory() : &unchecked;
        if (!memory->string2IecAddress(addressText, &address, true)) {
            report(ACMessage::invalidAddress(m_object, addressAt, addressText));
            rejected = true;
        } else if (names.size() > 1) {
            report(ACMessage::notAllowed(m_object, addressAt, "one address cannot locate several variables"));
            rejected = true;
        }
        next();
    }

    if (!cur().is(":")) {
        reportUnexpected("':' and a type");
        // "a INT;": the colon alone is missing when a type follows; read on as if it were there.
        const bool typeFollows = cur().kind == Token::Identifier && !isSectionKeyword(cur())
            && (peekToken(1).is(";") || peekToken(1).is(":=") || cur().upper == "ARRAY" || cur().upper == "POINTER"
                || cur().upper == "STRING" || cur().upper == "WSTRING");
        if (!typeFollows) {
            recover();
            rejectNames();
            return;
        }
    } else {
        next();
    }
    const SourceLocation typeAt = cur().at;
    std::shared_ptr<SymbolDataType> type;
    if (!parseTypeSpec(type, 0)) {
        recover();
        rejectNames();
        return;
    }
    SymbolVariable::Edge edge = SymbolVariable::NoEdge;
    const SourceLocation edgeAt = cur().at;
    if (cur().isWord("R_EDGE") || cur().isWord("F_EDGE")) {
        edge = cur().isWord("R_EDGE") ? SymbolVariable::RisingEdge : SymbolVariable::FallingEdge;
        next();
    }

    std::unique_ptr<InitValueTree> init;
    const SourceLocation initAt = cur().at;
    if (cur().is(":=")) {
        next();
        if (!parseInit(init, 0)) {
            recover();
            rejectNames();
            return;
        }
    }

    if (!cur().is(";")) {
        // A forgotten ";" before a new line: report it, keep what was read and go on with the
        // next declaration, which already starts at the current token.
        const Token& before = m_tokens[m_pos > 0 ? m_pos - 1 : 0];
        reportUnexpected("';'");
        if (!(cur().at.line > before.at.line || isSectionKeyword(cur()))) {
            recover();
            return;
        }
    } else {
        next();
    }
    const int endLine = m_tokens[m_pos > 0 ? m_pos - 1 : 0].at.line;

    if (!type) {
        rejectNames(); // unknown type: reported, the variable is left out
        return;
    }
    // Past this point a mistake is reported and the variable is still declared without
    // the broken part, so that its uses elsewhere do not give further messages.
    if (edge != SymbolVariable::NoEdge
        && (section.scope != VS_INPUT || type->dataType() != BT_BOOL || section.pouKind == PK_FUNCTION)) {
        report(ACMessage::notAllowed(m_object, edgeAt,
                                     std::string(edge == SymbolVariable::RisingEdge ? "R_EDGE" : "F_EDGE")
                                         + " needs a BOOL input (VAR_INPUT) of a function block or program"));
        edge = SymbolVariable::NoEdge;
    }
    if (section.scope == VS_EXTERNAL && init) {
        report(ACMessage::notAllowed(m_object, initAt, "a VAR_EXTERNAL variable takes the value of its global"));
        init.reset();
    }
    if (!addressText.empty() && !rejected && address.isBit() && type->dataType() != BT_BOOL) {
        report(ACMessage::notAllowed(m_object, addressAt,
                                     "bit address " + addressText + " needs type BOOL, found " + type->typeText()));
        rejected = true;
    }
    if (init) {
        std::string why;
        const InitValueTree* where = nullptr;
        const SymbolDataType* whereType = nullptr;
        if (!checkInit(*init, *type, &container, why, where, whereType)) {
            const InitValueTree* at = where ? where : init.get();
            const SymbolDataType* shownType = whereType ? whereType : type.get();
            if (why.rfind("undeclared:", 0) == 0) {
                report(ACMessage::undeclaredIdentifier(m_object, at->location(), why.substr(11)));
                noteUnresolved(why.substr(11));
            } else
                report(ACMessage::valueDoesNotFit(m_object, at->location(), at->toStContext(), shownType->typeText(),
                                                  why));
            init.reset();
        }
    }
    std::set<std::string> seen;
    const std::string comment = trailingComment(endLine);
    for (const Name& n : names) {
        if (container.param(n.text) || !seen.insert(upperAscii(n.text)).second) {
            report(ACMessage::duplicateName(m_object, n.at, n.text, containerWhat(container)));
            continue;
        }
        if (section.scope == VS_EXTERNAL)
            checkExternal(container, n.text, n.at, *type, section.constant);
        auto variable = std::make_unique<SymbolVariable>(n.text, type, section.scope);
        variable->setRetain(section.retain);
        variable->setConstant(section.constant);
        variable->setEdge(edge);
        variable->setLocation(n.at);
        variable->setFileId(m_fileId);
        variable->setPragma(pragma);
        variable->setComment(comment);
        if (!addressText.empty() && !rejected)
            variable->setFixedAddress(addressText, address);
        if (init)
            variable->setInitValue(init->clone());
        if (!container.addParam(std::move(variable), -1))
            report(ACMessage::invalidType(m_object, typeAt, "type " + type->typeText() + " cannot be used here"));
    }
}

std::vector<std::shared_ptr<SymbolDataType>> DeclParser::parseTypes()
{
    std::vector<std::shared_ptr<SymbolDataType>> types;
    beginDeclaration();
    if (!cur().isWord("TYPE")) {
        reportUnexpected("TYPE");
        return types;
    }
    next();
    m_keyKind = 'T';
    m_keyName = m_object;
    while (!m_fatal) {
        beginDeclaration();
        takePragmasBefore(m_pos);
        ProgressGuard progress(m_pos, [this] { next(); });
        if (cur().isWord("END_TYPE")) {
            next();
            if (cur().is(";"))
                next();
            break;
        }
        if (atEnd() || (isSectionKeyword(cur()) && !cur().isWord("END_STRUCT"))) {
            reportUnexpected("a type name or END_TYPE");
            if (atEnd())
                break;
            next();
            continue;
        }
        if (cur().kind != Token::Identifier || isReserved(cur().upper)) {
            reportUnexpected("a type name or END_TYPE");
            recover();
            continue;
        }
        const std::string name = cur().text;
        const SourceLocation at = cur().at;
        next();
        if (!cur().is(":")) {
            reportUnexpected("':'");
            recover();
            continue;
        }
        next();
        const std::string key = upperAscii(name);
        std::shared_ptr<SymbolDataType> existing = m_table.dataType(name);
        std::shared_ptr<SymbolDataType> type;
        bool ok = true;
        if (m_local.count(key)) {
            report(ACMessage::duplicateName(m_object, at, name, "this TYPE declaration"));
        } else if ((existing && existing->fileId() == SymbolTable::kBuiltinFileId)
                   || (m_table.pou(name) && m_table.pou(name)->fileId() == SymbolTable::kBuiltinFileId)) {
            report(ACMessage::duplicateName(m_object, at, name, "the built-in types"));
        }
        m_declaring = key;
        m_declaringText = name;
        const size_t unresolvedBefore = m_unresolved.size();
        auto noteBroken = [&](bool declared) {
            if (declared && m_unresolved.size() == unresolvedBefore)
                return;
            BrokenType broken;
            broken.name = key;
            broken.declared = declared;
            broken.waitsFor.assign(m_unresolved.begin() + static_cast<long>(unresolvedBefore), m_unresolved.end());
            m_broken.push_back(std::move(broken));
        };
        if (cur().isWord("STRUCT")) {
            next();
            ok = parseStructDecl(name, at, type);
        } else if (cur().is("(")) {
            ok = parseEnumDecl(name, BT_INT, type);
        } else if (cur().kind == Token::Identifier && peekToken(1).is("(") && !cur().isWord("STRING")
                   && !cur().isWord("WSTRING")) {
            std::shared_ptr<SymbolDataType> base = m_table.dataType(cur().text);
            // "INT (0..100)" is a subrange, "INT (A, B)" an enumeration on INT.
            bool subrange = false;
            for (size_t ahead = 2, depth = 1; ahead < 64 && depth > 0; ++ahead) {
                const Token& t = peekToken(ahead);
                if (t.kind == Token::End || t.is(";"))
                    break;
                depth += t.is("(") ? 1 : t.is(")") ? -1 : 0;
                if (depth == 1 && t.is("..")) {
                    subrange = true;
                    break;
                }
            }
            const bool integerBase = base && base->isInteger() && base->fileId() == SymbolTable::kBuiltinFileId;
            if (!integerBase) {
                report(ACMessage::invalidType(m_object, cur().at,
                                              std::string(subrange ? "a subrange" : "an enumeration")
                                                  + " needs an integer base type, found '" + cur().text + "'"));
            }
            next();
            if (subrange) {
                next(); // '('
                ok = parseSubrange(integerBase ? base->dataType() : BT_INT, name, type) && integerBase;
            } else {
                ok = parseEnumDecl(name, integerBase ? base->dataType() : BT_INT, type);
            }
        } else {
            // An array, string, pointer or other named type under a name of its own.
            std::shared_ptr<SymbolDataType> target;
            const SourceLocation targetAt = cur().at;
            ok = parseTypeSpec(target, 0);
            if (ok && target) {
                type = SymbolDataType::makeNamed(name, *target);
                if (!type)
                    report(ACMessage::invalidType(m_object, targetAt,
                                                  "function block '" + target->name() + "' is not a data type"));
            }
        }
        if (ok && cur().is(":=")) {
            // A default value: "TYPE Level : USINT (1..9) := 1;", "TYPE Buf : ... := [8(0)];"
            next();
            std::unique_ptr<InitValueTree> init;
            ok = parseInit(init, 0);
            std::string why;
            const InitValueTree* where = nullptr;
            const SymbolDataType* whereType = nullptr;
            if (ok && init && type && !checkInit(*init, *type, m_scope, why, where, whereType)) {
                const InitValueTree* shown = where ? where : init.get();
                report(ACMessage::valueDoesNotFit(m_object, shown->location(), shown->toStContext(),
                                                  (whereType ? whereType : type.get())->typeText(), why));
            }
        }
        m_declaring.clear();
        m_declaringText.clear();
        if (!ok) {
            recover();
            m_selfPointers.clear();
            noteBroken(false);
            continue;
        }
        if (cur().is(";"))
            next();
        if (!type) {
            noteBroken(false);
            continue;
        }
        for (auto& pointer : m_selfPointers)
            pointer->setRefType(type);
        m_selfPointers.clear();
        if (m_local.count(key))
            continue;
        noteBroken(true);
        type->setLocation(at);
        type->setFileId(m_fileId);
        m_local[key] = type;
        types.push_back(type);
    }
    beginDeclaration();
    if (!atEnd() && !m_fatal)
        reportUnexpected("end of text after END_TYPE");
    return types;
}

bool DeclParser::parseStructDecl(const std::string& name, SourceLocation at, std::shared_ptr<SymbolDataType>& type)
{
    auto structure = SymbolDataType::makeStruct(name);
    structure->setTypeResolver(&m_table);
    structure->setFileId(m_fileId);
    const VarContainer* outer = m_scope;
    m_scope = structure.get();
    Section members;
    members.scope = VS_LOCAL;
    members.line = at.line;
    while (!m_fatal) {
        beginDeclaration();
        const size_t before = m_pos;
        if (cur().isWord("END_STRUCT")) {
            next();
            break;
        }
        if (atEnd() || isSectionKeyword(cur())) {
            reportUnexpected("a member declaration or END_STRUCT");
            break;
        }
        parseVarDecl(*structure, members);
        if (m_pos == before)
            next();
    }
    m_scope = outer;
    type = structure;
    return true;
}

bool DeclParser::parseEnumDecl(const std::string& name, int baseType, std::shared_ptr<SymbolDataType>& type)
{
    next(); // '('
    auto enumeration = std::make_shared<SymbolEnumType>(name, baseType);
    long long nextValue = 0;
    long long low = -32768;
    unsigned long long high = 32767;
    SymbolDataType(std::string(), baseType).integerRange(low, high);
    for (;;) {
        if (cur().kind != Token::Identifier || isReserved(cur().upper)) {
            reportUnexpected("an enumeration value name");
            return false;
        }
        const std::string key = cur().text;
        const SourceLocation keyAt = cur().at;
        next();
        long long value = nextValue;
        if (cur().is(":=")) {
            next();
            bool negative = false;
            if (cur().is("-") || cur().is("+")) {
                negative = cur().is("-");
                next();
            }
            LiteralValue literal;
            if (cur().kind != Token::Integer || !parseIntegerText(cur().text, literal)) {
                reportUnexpected("an integer value");
                return false;
            }
            if (!literal.fitsInteger(negative, low, high)) {
                report(ACMessage::valueDoesNotFit(m_object, cur().at, (negative ? "-" : "") + cur().text,
                                                  SymbolDataType::basicTypeName(baseType == BT_ENUM ? BT_INT : baseType),
                                                  "out of range"));
            }
            value = literal.signedValue(negative);
            next();
        } else if ((nextValue >= 0 && static_cast<unsigned long long>(nextValue) > high) || nextValue < low) {
            report(ACMessage::valueDoesNotFit(m_object, keyAt, key, name, "the next value is out of range"));
        }
        if (!enumeration->addEnumerator(key, value))
            report(ACMessage::duplicateName(m_object, keyAt, key, "enumeration '" + name + "'"));
        nextValue = value < (1ll << 62) ? value + 1 : value;
        if (cur().is(",")) {
            next();
            continue;
        }
        if (cur().is(")")) {
            next();
            break;
        }
        reportUnexpected("',' or ')'");
        return false;
    }
    if (cur().is(":=")) {
        // A default value: "E : (A, B) := B;"
        next();
        if (cur().kind != Token::Identifier) {
            reportUnexpected("an enumeration value");
            return false;
        }
        bool found = false;
        enumeration->value(cur().text, found);
        if (!found)
            report(ACMessage::valueDoesNotFit(m_object, cur().at, cur().text, name, "no such enumeration value"));
        next();
    }
    type = enumeration;
    return true;
}

std::shared_ptr<SymbolDataType> DeclParser::parseTypeOnly()
{
    beginDeclaration();
    std::shared_ptr<SymbolDataType> type;
    if (!parseTypeSpec(type, 0))
        return nullptr;
    if (!atEnd()) {
        reportUnexpected("end of the type");
        return nullptr;
    }
    return type;
}

// ---------------------------------------------------------------------------------------
// Types

bool DeclParser::parseTypeSpec(std::shared_ptr<SymbolDataType>& type, int depth)
{
    type.reset();
    if (depth > maxDepth) {
        report(ACMessage::tooDeep(m_object, cur().at));
        return false;
    }
    const Token& t = cur();
    if (t.kind != Token::Identifier) {
        reportUnexpected("a type");
        return false;
    }
    if (t.upper == "ARRAY")
        return parseArrayType(type, depth);
    if (t.upper == "STRING" || t.upper == "WSTRING")
        return parseStringType(type, t.upper == "STRING" ? BT_STRING : BT_WSTRING);
    if (t.upper == "POINTER" || t.upper == "REFERENCE") {
        next();
        if (!cur().isWord("TO")) {
            reportUnexpected("TO");
            return false;
        }
        next();
        if (cur().kind == Token::Identifier && !m_declaring.empty() && cur().upper == m_declaring) {
            // A pointer to the type being declared: completed once that type exists.
            auto pointer = SymbolDataType::makePointer(nullptr);
            pointer = std::make_shared<SymbolDataType>("POINTER TO " + cur().text, BT_POINTER);
            m_selfPointers.push_back(pointer);
            next();
            type = pointer;
            return true;
        }
        std::shared_ptr<SymbolDataType> target;
        if (!parseTypeSpec(target, depth + 1))
            return false;
        if (target)
            type = SymbolDataType::makePointer(target);
        return true;
    }
    if (isReserved(t.upper) && !m_table.dataType(t.text)) {
        reportUnexpected("a type");
        return false;
    }
    const SourceLocation at = t.at;
    const std::string name = t.text;
    next();
    if (!m_declaring.empty() && upperAscii(name) == m_declaring) {
        report(ACMessage::invalidType(m_object, at, "'" + name + "' cannot contain itself"));
        return true;
    }
    const std::string upper = upperAscii(name);
    const auto local = m_local.find(upper);
    if (local != m_local.end()) {
        type = local->second;
        return true;
    }
    type = m_table.type(name);
    if (type) {
        if (m_table.hasBrokenTypes() && m_table.brokenType(upper, objectKey(m_keyKind, m_keyName)))
            noteUnresolved(name); // declared without some part: parse again once it is whole
        if (cur().is("(") && type->isInteger() && type->fileId() == SymbolTable::kBuiltinFileId) {
            // "level : USINT (1..9)": a subrange of its own.
            const int base = type->dataType();
            next();
            return parseSubrange(base, "", type);
        }
        return true;
    }
    if (brokenWaits(upper)) {
        // Its own declaration was refused with a message; only a cycle is this one's fault.
        if (reachesDeclaring(upper))
            report(ACMessage::typeCycle(m_object, at, m_declaringText, name));
        noteUnresolved(name);
        return true;
    }
    if (!m_declaring.empty() && declaredLaterInBlock(upper)) {
        noteUnresolved(name); // resolved when the core parses the text again
        return true;
    }
    std::shared_ptr<SymbolPOU> pou = m_table.pou(name);
    if (pou) {
        report(ACMessage::invalidType(m_object, at,
                                      std::string(pou->isProgram() ? "program" : "function") + " '" + name
                                          + "' cannot be instantiated"));
    } else {
        report(ACMessage::unknownType(m_object, at, name));
        noteUnresolved(name);
    }
    return true;
}

const std::vector<std::string>* DeclParser::brokenWaits(const std::string& upper) const
{
    for (const BrokenType& b : m_broken) {
        if (b.name == upper && !b.declared)
            return &b.waitsFor;
    }
    if (!m_table.hasBrokenTypes() || m_local.count(upper))
        return nullptr;
    const BrokenType* other = m_table.brokenType(upper, objectKey(m_keyKind, m_keyName));
    return other && !other->declared ? &other->waitsFor : nullptr;
}

bool DeclParser::reachesDeclaring(const std::string& upper) const
{
    std::vector<std::string> todo{upper};
    std::set<std::string> seen;
    while (!todo.empty() && seen.size() < 64) {
        const std::string name = todo.back();
        todo.pop_back();
        if (!seen.insert(name).second)
            continue;
        const std::vector<std::string>* waits = brokenWaits(name);
        if (!waits)
            continue;
        for (const std::string& w : *waits) {
            if (w == m_declaring)
                return true;
            todo.push_back(w);
        }
    }
    return false;
}

bool DeclParser::declaredLaterInBlock(const std::string& upper)
{
    if (!m_scannedBlock) {
        m_scannedBlock = true;
        // Type names stand at depth 0 after TYPE or ";", followed by ":".
        int depth = 0;
        for (size_t i = 0; i + 1 < m_tokens.size(); ++i) {
            const Token& t = m_tokens[i];
            if (t.isWord("STRUCT"))
                ++depth;
            else if (t.isWord("END_STRUCT") && depth > 0)
                --depth;
            if (depth == 0 && t.kind == Token::Identifier && m_tokens[i + 1].is(":") && i > 0
                && (m_tokens[i - 1].is(";") || m_tokens[i - 1].isWord("TYPE")))
                m_blockNames.emplace(t.upper, i);
        }
    }
    const auto it = m_blockNames.find(upper);
    return it != m_blockNames.end() && it->second > m_pos;
}

bool DeclParser::parseStringType(std::shared_ptr<SymbolDataType>& type, int basicType)
{
    next();
    if (!cur().is("(") && !cur().is("[")) {
        type = m_table.dataType(basicType == BT_STRING ? "STRING" : "WSTRING");
        return true;
    }
    const std::string close = cur().is("(") ? ")" : "]";
    next();
    long long length = 0;
    const SourceLocation at = cur().at;
    if (!parseBound(length))
        return false;
    if (!cur().is(close.c_str())) {
        reportUnexpected("'" + close + "'");
        return false;
    }
    next();
    const unsigned long long limit = basicType == BT_STRING ? 65535 : 32767;
    if (length < 1 || static_cast<unsigned long long>(length) > limit) {
        report(ACMessage::invalidType(m_object, at,
                                      "string length " + std::to_string(length) + " outside 1.." + std::to_string(limit)));
        return true;
    }
    type = SymbolDataType::makeString(basicType, static_cast<unsigned long long>(length));
    return true;
}

// An array bound or string length: an integer constant expression ("16", "Size - 1").
bool DeclParser::parseBound(long long& value)
{
    const SourceLocation at = cur().at;
    const std::string text = cur().text;
    if (!constSum(value, 0))
        return false;
    if (value < -(1ll << 40) || value > (1ll << 40)) {
        report(ACMessage::invalidLiteral(m_object, at, text, "bound out of range"));
        return false;
    }
    return true;
}

bool DeclParser::isArithmetic(const Token& token) const
{
    return token.is("+") || token.is("-") || token.is("*") || token.is("/") || token.isWord("MOD");
}

namespace {
constexpr long long kConstLimit = 1ll << 62;

bool withinLimit(long double v)
{
    return v >= -static_cast<long double>(kConstLimit) && v <= static_cast<long double>(kConstLimit);
}
} // namespace

bool DeclParser::constSum(long long& value, int depth)
{
    if (!constProduct(value, depth))
        return false;
    while (cur().is("+") || cur().is("-")) {
        const Token& op = cur();
        const bool minus = op.is("-");
        next();
        long long right = 0;
        if (!constProduct(right, depth))
            return false;
        const long double result = minus ? static_cast<long double>(value) - right : static_cast<long double>(value) + right;
        if (!withinLimit(result)) {
            report(ACMessage::invalidLiteral(m_object, op.at, op.text, "bound out of range"));
            return false;
        }
        value = minus ? value - right : value + right;
    }
    return true;
}

bool DeclParser::constProduct(long long& value, int depth)
{
    if (!constUnary(value, depth))
        return false;
    while (cur().is("*") || cur().is("/") || cur().isWord("MOD")) {
        const Token& op = cur();
        const char kind = op.is("*") ? '*' : op.is("/") ? '/' : '%';
        next();
        long long right = 0;
        if (!constUnary(right, depth))
            return false;
        if (kind != '*' && right == 0) {
            report(ACMessage::notAllowed(m_object, op.at, "division by zero in a constant expression"));
            return false;
        }
        if (kind == '*') {
            const long double result = static_cast<long double>(value) * right;
            if (!withinLimit(result)) {
                report(ACMessage::invalidLiteral(m_object, op.at, op.text, "bound out of range"));
                return false;
            }
            value *= right;
        } else {
            value = kind == '/' ? value / right : value % right;
        }
    }
    return true;
}

bool DeclParser::constUnary(long long& value, int depth)
{
    if (depth > maxDepth) {
        report(ACMessage::tooDeep(m_object, cur().at));
        return false;
    }
    if (cur().is("-") || cur().is("+")) {
        const bool minus = cur().is("-");
        next();
        if (!constUnary(value, depth + 1))
            return false;
        value = minus ? -value : value;
        return true;
    }
    return constPrimary(value, depth);
}

bool DeclParser::constPrimary(long long& value, int depth)
{
    const Token& t = cur();
    if (t.kind == Token::Integer || t.kind == Token::TypedLiteral) {
        LiteralValue literal;
        bool negative = false;
        bool parsed = false;
        if (t.kind == Token::Integer) {
            parsed = parseIntegerText(t.text, literal);
        } else {
            // INT#5, DINT#-3
            std::string body = t.text.substr(t.text.find('#') + 1);
            if (!body.empty() && (body[0] == '-' || body[0] == '+')) {
                negative = body[0] == '-';
                body.erase(0, 1);
            }
            parsed = parseIntegerText(body, literal);
        }
        if (!parsed) {
            reportUnexpected("an integer bound");
            return false;
        }
        if (!literal.fitsInteger(negative, -kConstLimit, static_cast<unsigned long long>(kConstLimit))) {
            report(ACMessage::invalidLiteral(m_object, t.at, t.text, "bound out of range"));
            next();
            return false;
        }
        value = literal.signedValue(negative);
        next();
        return true;
    }
    if (t.kind == Token::Identifier && !isReserved(t.upper)) {
        if (!resolveConstant(t, value))
            return false;
        next();
        return true;
    }
    if (t.is("(")) {
        next();
        if (!constSum(value, depth + 1))
            return false;
        if (!cur().is(")")) {
            reportUnexpected("')'");
            return false;
        }
        next();
        return true;
    }
    reportUnexpected("an integer bound");
    return false;
}

bool DeclParser::resolveConstant(const Token& name, long long& value)
{
    if (m_table.constantValue(name.text, m_scope, value) || laterConstant(name.upper, value))
        return true;
    if (isErroneousName(name.text))
        return false; // refused where it was declared, with a message there
    const bool declared = (m_scope && m_scope->param(name.text)) || m_table.globalVariable(name.text)
        || m_laterConstants.count(name.upper);
    if (declared) {
        report(ACMessage::notConstant(m_object, name.at, name.text));
    } else {
        report(ACMessage::undeclaredIdentifier(m_object, name.at, name.text));
        noteUnresolved(name.text);
    }
    return false;
}

bool DeclParser::laterConstant(const std::string& upper, long long& value)
{
    if (!m_scannedConstants) {
        m_scannedConstants = true;
        // "name : type := value;" inside the CONSTANT sections of this text.
        bool constant = false;
        for (size_t i = 0; i + 1 < m_tokens.size(); ++i) {
            const Token& t = m_tokens[i];
            if (t.kind != Token::Identifier)
                continue;
            if (sectionScope(t.upper) != VS_NONE) {
                constant = false;
                for (size_t j = i + 1; j < m_tokens.size() && m_tokens[j].kind == Token::Identifier; ++j) {
                    const std::string& flag = m_tokens[j].upper;
                    if (flag == "CONSTANT")
                        constant = true;
                    else if (flag != "RETAIN" && flag != "NON_RETAIN" && flag != "PERSISTENT")
                        break;
                }
            } else if (t.upper == "END_VAR") {
                constant = false;
            } else if (constant && m_tokens[i + 1].is(":")) {
                for (size_t j = i + 2; j < m_tokens.size() && !m_tokens[j].is(";"); ++j) {
                    if (m_tokens[j].is(":=")) {
                        m_laterConstants.emplace(t.upper, j + 1);
                        break;
                    }
                }
            }
        }
    }
    const auto it = m_laterConstants.find(upper);
    if (it == m_laterConstants.end() || m_lookAhead >= 8)
        return false;
    // Evaluate its value where it stands, quietly: its own messages come when it is read.
    const size_t saved = m_pos;
    m_pos = it->second;
    ++m_quiet;
    ++m_lookAhead;
    const bool ok = constSum(value, 0) && cur().is(";");
    --m_lookAhead;
    --m_quiet;
    m_pos = saved;
    return ok;
}

bool DeclParser::parseSubrange(int baseType, const std::string& name, std::shared_ptr<SymbolDataType>& type)
{
    const SourceLocation at = cur().at;
    long long low = 0;
    long long high = 0;
    if (!constSum(low, 0))
        return false;
    if (!cur().is("..")) {
        reportUnexpected("'..'");
        return false;
    }
    next();
    if (!constSum(high, 0))
        return false;
    if (!cur().is(")")) {
        reportUnexpected("')'");
        return false;
    }
    next();
    long long baseLow = 0;
    unsigned long long baseHigh = 0;
    SymbolDataType(std::string(), baseType).integerRange(baseLow, baseHigh);
    const std::string range = std::to_string(low) + ".." + std::to_string(high);
    const std::string baseName = SymbolDataType::basicTypeName(baseType);
    if (low > high) {
        report(ACMessage::invalidType(m_object, at, "subrange " + range + " is empty"));
        return true;
    }
    if (low < baseLow || (high >= 0 && static_cast<unsigned long long>(high) > baseHigh)) {
        report(ACMessage::invalidType(m_object, at, "subrange " + range + " exceeds " + baseName));
        return true;
    }
    type = std::make_shared<SymbolSubrangeType>(name.empty() ? baseName + "(" + range + ")" : name, baseType, low,
                                                high);
    return true;
}

bool DeclParser::parseArrayType(std::shared_ptr<SymbolDataType>& type, int depth)
{
    next(); // ARRAY
    if (!cur().is("[")) {
        reportUnexpected("'['");
        return false;
    }
    next();
    std::vector<SymbolDataType::Bound> bounds;
    bool boundsValid = true;
    for (;;) {
        const SourceLocation at = cur().at;
        SymbolDataType::Bound bound;
        if (!parseBound(bound.lower))
            return false;
        if (!cur().is("..")) {
            reportUnexpected("'..'");
            return false;
        }
        next();
        if (!parseBound(bound.upper))
            return false;
        if (bound.lower > bound.upper) {
            report(ACMessage::invalidType(m_object, at,
                                          "array lower bound " + std::to_string(bound.lower) + " is above upper bound "
                                              + std::to_string(bound.upper)));
            boundsValid = false;
        }
        bounds.push_back(bound);
        if (bounds.size() > 8) {
            report(ACMessage::invalidType(m_object, at, "more than 8 array dimensions"));
            boundsValid = false;
        }
        if (cur().is(",")) {
            next();
            continue;
        }
        if (cur().is("]")) {
            next();
            break;
        }
        reportUnexpected("',' or ']'");
        return false;
    }
    if (!cur().isWord("OF")) {
        reportUnexpected("OF");
        return false;
    }
    next();
    const SourceLocation elementAt = cur().at;
    std::shared_ptr<SymbolDataType> element;
    if (!parseTypeSpec(element, depth + 1))
        return false;
    if (!element || !boundsValid)
        return true;
    auto array = SymbolDataType::makeArray(std::move(bounds), element);
    if (array->byteSize() > SymbolDataType::maxByteSize()) {
        report(ACMessage::invalidType(m_object, elementAt, "array of " + std::to_string(array->elementCount())
                                                               + " elements is larger than 4 GiB"));
        return true;
    }
    type = array;
    return true;
}

// ---------------------------------------------------------------------------------------
// Initial values

bool DeclParser::parseInit(std::unique_ptr<InitValueTree>& init, int depth)
{
    if (depth > maxDepth) {
        report(ACMessage::tooDeep(m_object, cur().at));
        return false;
    }
    const Token& t = cur();
    const SourceLocation at = t.at;
    if (t.is("[")) {
        next();
        init = InitValueTree::array(at);
        if (cur().is("]")) {
            next();
            return true;
        }
        for (;;) {
            unsigned long long repeat = 1;
            const bool namedCount = cur().kind == Token::Identifier && !isReserved(cur().upper);
            if ((cur().kind == Token::Integer || namedCount) && peekToken(1).is("(")) {
                // "4(0)", or a constant as the count: "[MAX_STEPS(5)]"
                const Token& countToken = cur();
                long long count = 0;
                if (namedCount) {
                    if (!resolveConstant(countToken, count))
                        return false;
                } else {
                    LiteralValue literal;
                    if (parseIntegerText(countToken.text, literal) && literal.fitsInteger(false, 0, 1ull << 40))
                        count = static_cast<long long>(literal.magnitude);
                    else
                        count = -1;
                }
                if (count < 0 || count > (1ll << 40)) {
                    report(ACMessage::invalidLiteral(m_object, countToken.at, countToken.text, "repetition count out of range"));
                    return false;
                }
                repeat = static_cast<unsigned long long>(count);
                next();
                next();
                std::unique_ptr<InitValueTree> value;
                if (cur().is(")")) {
                    value = nullptr; // n() repeats the default value
                } else if (!parseInit(value, depth + 1)) {
                    return false;
                }
                if (!cur().is(")")) {
                    reportUnexpected("')'");
                    return false;
                }
                next();
                init->addElement(repeat, std::move(value));
            } else {
                std::unique_ptr<InitValueTree> value;
                if (!parseInit(value, depth + 1))
                    return false;
                init->addElement(1, std::move(value));
            }
            if (cur().is(",")) {
                next();
                continue;
            }
            if (cur().is("]")) {
                next();
                return true;
            }
            reportUnexpected("',' or ']'");
            return false;
        }
    }
    // "(member := value, ...)"; any other parenthesis opens a constant expression.
    if (t.is("(") && (peekToken(1).is(")") || (peekToken(1).kind == Token::Identifier && peekToken(2).is(":=")))) {
        next();
        init = InitValueTree::structure(at);
        if (cur().is(")")) {
            next();
            return true;
        }
        for (;;) {
            if (cur().kind != Token::Identifier || !peekToken(1).is(":=")) {
                reportUnexpected("a member name and ':='");
                return false;
            }
            std::string member = cur().text;
            next();
            next();
            std::unique_ptr<InitValueTree> value;
            if (!parseInit(value, depth + 1))
                return false;
            init->addMember(std::move(member), std::move(value));
            if (cur().is(",")) {
                next();
                continue;
            }
            if (cur().is(")")) {
                next();
                return true;
            }
            reportUnexpected("',' or ')'");
            return false;
        }
    }
    // "MaxItems - 1", "2 * N", "-N", "(N + 1) * 2": an integer constant expression, kept as
    // its value.
    const size_t signed_ = t.is("-") || t.is("+") ? 1 : 0;
    const Token& first = peekToken(signed_);
    const bool parenthesised = first.is("(") && !(peekToken(signed_ + 1).kind == Token::Identifier
                                                  && peekToken(signed_ + 2).is(":="));
    if (((first.kind == Token::Integer || (first.kind == Token::Identifier && !isReserved(first.upper)))
         && (isArithmetic(peekToken(signed_ + 1)) || (signed_ && first.kind == Token::Identifier)))
        || (parenthesised && !peekToken(signed_ + 1).is(")"))) {
        long long value = 0;
        if (!constSum(value, depth))
            return false;
        init = InitValueTree::literal(std::to_string(value), at);
        return true;
    }
    std::string sign;
    if (t.is("-") || t.is("+")) {
        sign = t.text;
        next();
        if (cur().kind != Token::Integer && cur().kind != Token::Real) {
            reportUnexpected("a number");
            return false;
        }
    }
    switch (cur().kind) {
    case Token::Integer:
    case Token::Real:
    case Token::TypedLiteral:
    case Token::String:
    case Token::WString:
        init = InitValueTree::literal(sign + cur().text, at);
        next();
        return true;
    case Token::Identifier:
        if (isReserved(cur().upper) && cur().upper != "TRUE" && cur().upper != "FALSE")
            break;
        init = InitValueTree::literal(cur().text, at);
        next();
        return true;
    default:
        break;
    }
    reportUnexpected("an initial value");
    return false;
}

// A VAR_EXTERNAL variable names a global variable of the same name and type.
void DeclParser::checkExternal(VarContainer& container, const std::string& name, SourceLocation at,
                               const SymbolDataType& type, bool constant)
{
    const SymbolVariable* global = m_table.globalVariable(name);
    if (!global) {
        if (m_table.isErroneousGlobal(name))
            return;
        report(ACMessage::notAllowed(m_object, at, "no global variable '" + name + "' for VAR_EXTERNAL in "
                                                       + containerWhat(container)));
        noteUnresolved(name);
        return;
    }
    const SymbolDataType* globalType = global->dataType();
    if (globalType && globalType != &type && upperAscii(globalType->typeText()) != upperAscii(type.typeText())) {
        report(ACMessage::notAllowed(m_object, at, "VAR_EXTERNAL '" + name + "' is " + type.typeText()
                                                       + ", the global variable is " + globalType->typeText()));
        return;
    }
    if (global->isConstant() && !constant)
        report(ACMessage::notAllowed(m_object, at, "global variable '" + name
                                                       + "' is CONSTANT: declare it in VAR_EXTERNAL CONSTANT"));
}

bool DeclParser::checkInit(const InitValueTree& init, const SymbolDataType& type, const VarContainer* scope,
                           std::string& why, const InitValueTree*& where, const SymbolDataType*& whereType) const
{
    where = &init;
    whereType = &type;
    switch (init.kind()) {
    case InitValueTree::Array: {
        if (!type.isArray()) {
            why = "an array value needs an array type";
            return false;
        }
        if (init.elementCount() > type.elementCount()) {
            why = std::to_string(init.elementCount()) + " values for " + std::to_string(type.elementCount())
                + " elements";
            return false;
        }
        for (const auto& e : init.elements()) {
            if (e.value && !checkInit(*e.value, *type.elementType(), scope, why, where, whereType))
                return false;
        }
        return true;
    }
    case InitValueTree::Struct: {
        if (!type.isStruct() && !type.isFunctionBlock()) {
            why = "a structure value needs a structure or function block type";
            return false;
        }
        std::set<std::string> seen;
        for (const auto& m : init.members()) {
            const SymbolVariable* member = interfaceMember(type, m.name);
            if (!member || !member->dataType() || !seen.insert(upperAscii(m.name)).second) {
                why = member ? "member '" + m.name + "' given twice" : "no member '" + m.name + "'";
                where = &init;
                whereType = &type;
                return false;
            }
            if (m.value && !checkInit(*m.value, *member->dataType(), scope, why, where, whereType))
                return false;
        }
        return true;
    }
    case InitValueTree::Literal:
        return checkLiteral(init.text(), type, scope, why);
    }
    return false;
}

bool DeclParser::checkLiteral(const std::string& text, const SymbolDataType& type, const VarContainer* scope,
                              std::string& why) const
{
    LiteralValue value;
    const LiteralValue::Kind kind = classifyLiteral(text, value);
    const std::string upper = upperAscii(text);

    if (kind == LiteralValue::Name) {
        if (type.dataType() == BT_BOOL && (upper == "TRUE" || upper == "FALSE"))
            return true;
        if (const auto* e = dynamic_cast<const SymbolEnumType*>(&type)) {
            bool ok = false;
            e->value(text, ok);
            if (ok)
                return true;
            why = "no such value of enumeration " + e->name();
            return false;
        }
        long long constant = 0;
        if (m_table.constantValue(text, scope, constant)) {
            if (!type.isInteger() && !type.isReal()) {
                why = "an integer constant does not fit";
                return false;
            }
            LiteralValue number;
            number.kind = LiteralValue::Integer;
            number.magnitude = constant < 0 ? 0ull - static_cast<unsigned long long>(constant)
                                            : static_cast<unsigned long long>(constant);
            long long low = 0;
            unsigned long long high = 0;
            if (type.integerRange(low, high) && !number.fitsInteger(constant < 0, low, high)) {
                why = "out of range " + std::to_string(low) + ".." + std::to_string(high);
                return false;
            }
            return true;
        }
        const SymbolVariable* global = m_table.globalVariable(text);
        const SymbolVariable* local = scope ? scope->param(text) : nullptr;
        if ((global && global->isConstant()) || (local && local->isConstant()))
            return true;
        if ((scope && scope->isErroneous(text)) || m_table.isErroneousGlobal(text))
            return true; // its own declaration was refused, with a message there
        if (upper == "TRUE" || upper == "FALSE") {
            why = "a BOOL value";
            return false;
        }
        why = "undeclared:" + text;
        return false;
    }
    return literalFitsType(kind, value, text, type, why);
}

} // namespace ac
