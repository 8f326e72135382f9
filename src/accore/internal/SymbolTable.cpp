#include "accore/internal/SymbolTable.h"

#include "accore/InitValueTree.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolEnumType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"
#include "accore/internal/DeclParser.h"
#include "accore/internal/Lexer.h"
#include "accore/internal/LiteralValue.h"

#include <utility>

namespace ac {

namespace {
struct Elementary
{
    const char* name;
    int code;
};
const Elementary kElementary[] = {
    {"SINT", BT_SINT},   {"INT", BT_INT},       {"DINT", BT_DINT},         {"LINT", BT_LINT},
    {"USINT", BT_USINT}, {"UINT", BT_UINT},     {"UDINT", BT_UDINT},       {"ULINT", BT_ULINT},
    {"BYTE", BT_USINT},  {"WORD", BT_UINT},     {"DWORD", BT_UDINT},       {"LWORD", BT_ULINT},
    {"BOOL", BT_BOOL},   {"REAL", BT_REAL},     {"LREAL", BT_LREAL},       {"TIME", BT_TIME},
    {"LTIME", BT_LTIME}, {"DATE", BT_DATE},     {"DT", BT_DATE_AND_TIME},  {"DATE_AND_TIME", BT_DATE_AND_TIME},
    {"TOD", BT_TIME_OF_DAY}, {"TIME_OF_DAY", BT_TIME_OF_DAY}, {"STRING", BT_STRING}, {"WSTRING", BT_WSTRING}};

const char* const kStandardFunctions[] = {
    "ADD", "SUB", "MUL", "DIV", "MOD", "EXPT", "MOVE", "ABS", "SQRT", "LN", "LOG", "EXP", "SIN", "COS", "TAN",
    "ASIN", "ACOS", "ATAN", "ATAN2", "SEL", "MAX", "MIN", "LIMIT", "MUX", "GT", "GE", "EQ", "LE", "LT", "NE",
    "LEN", "LEFT", "RIGHT", "MID", "CONCAT", "INSERT", "DELETE", "REPLACE", "FIND", "SHL", "SHR", "ROL", "ROR",
    "AND", "OR", "XOR", "NOT", "TRUNC", "ROUND", "ADR", "SIZEOF"};
} // namespace

SymbolTable::SymbolTable()
{
    for (const Elementary& e : kElementary) {
        auto type = std::make_shared<SymbolDataType>(e.name, e.code);
        type->setFileId(kBuiltinFileId);
        m_types[e.name] = type;
    }
    for (const char* f : kStandardFunctions)
        m_standardFunctions.insert(f);
}

SymbolTable::~SymbolTable() = default;

std::shared_ptr<SymbolDataType> SymbolTable::dataType(const std::string& name) const
{
    const auto it = m_types.find(upperAscii(name));
    return it == m_types.end() ? nullptr : it->second;
}

std::shared_ptr<SymbolDataType> SymbolTable::type(const std::string& name) const
{
    if (auto t = dataType(name))
        return t;
    auto p = pou(name);
    if (p && p->isFunctionBlock())
        return p;
    return nullptr;
}

std::shared_ptr<SymbolPOU> SymbolTable::pou(const std::string& name) const
{
    const auto it = m_pous.find(upperAscii(name));
    return it == m_pous.end() ? nullptr : it->second;
}

SymbolGVL* SymbolTable::gvl(const std::string& name) const
{
    const auto it = m_gvls.find(upperAscii(name));
    return it == m_gvls.end() ? nullptr : it->second.get();
}

void SymbolTable::setObjectTypes(const std::string& objectName, int fileId,
                                 const std::vector<std::shared_ptr<SymbolDataType>>& types)
{
    const std::string object = upperAscii(objectName);
    auto& declared = m_typesOfObject[object];
    for (const std::string& key : declared) {
        const auto it = m_types.find(key);
        if (it != m_types.end() && it->second->fileId() == fileId)
            m_types.erase(it);
    }
    declared.clear();
    for (const auto& type : types) {
        const std::string key = upperAscii(type->name());
        const auto it = m_types.find(key);
        if (it != m_types.end() && it->second->fileId() == kBuiltinFileId)
            continue;
        m_types[key] = type;
        declared.push_back(key);
    }
}

void SymbolTable::setPou(const std::string& name, std::shared_ptr<SymbolPOU> pou)
{
    m_pous[upperAscii(name)] = std::move(pou);
}

void SymbolTable::setGvl(const std::string& name, std::unique_ptr<SymbolGVL> gvl)
{
    m_gvls[upperAscii(name)] = std::move(gvl);
}

void SymbolTable::removeFile(int fileId)
{
    auto drop = [fileId](int id) {
        return id != kBuiltinFileId && (fileId == kAllUserFiles || id == fileId);
    };
    for (auto it = m_types.begin(); it != m_types.end();)
        it = drop(it->second->fileId()) ? m_types.erase(it) : std::next(it);
    for (auto it = m_pous.begin(); it != m_pous.end();)
        it = drop(it->second->fileId()) ? m_pous.erase(it) : std::next(it);
    for (auto it = m_gvls.begin(); it != m_gvls.end();)
        it = drop(it->second->fileId()) ? m_gvls.erase(it) : std::next(it);
    for (auto& entry : m_typesOfObject) {
        auto& keys = entry.second;
        for (auto k = keys.begin(); k != keys.end();)
            k = m_types.count(*k) ? std::next(k) : keys.erase(k);
    }
}

SymbolVariable* SymbolTable::globalVariable(const std::string& name) const
{
    for (const auto& entry : m_gvls) {
        if (SymbolVariable* v = entry.second->param(name))
            return v;
    }
    return nullptr;
}

bool SymbolTable::constantValue(const std::string& name, const VarContainer* local, long long& value) const
{
    const SymbolVariable* v = local ? local->param(name) : nullptr;
    if (!v)
        v = globalVariable(name);
    if (!v || !v->isConstant() || !v->initValue() || v->initValue()->kind() != InitValueTree::Literal)
        return false;
    LiteralValue literal;
    std::string text = v->initValue()->text();
    const size_t hash = text.find('#');
    if (hash != std::string::npos && hash > 0 && !isDigit(text[0]))
        text = text.substr(hash + 1); // INT#10
    if (classifyLiteral(text, literal) != LiteralValue::Integer || literal.overflow
        || literal.magnitude > (1ull << 62))
        return false;
    value = literal.signedValue(literal.negative);
    return true;
}

bool SymbolTable::isEnumerator(const std::string& name) const
{
    for (const auto& entry : m_types) {
        if (const auto* e = dynamic_cast<const SymbolEnumType*>(entry.second.get())) {
            bool ok = false;
            e->value(name, ok);
            if (ok)
                return true;
        }
    }
    return false;
}

bool SymbolTable::isStandardFunction(const std::string& name) const
{
    const std::string upper = upperAscii(name);
    if (m_standardFunctions.count(upper))
        return true;
    // Type conversions: <elementary>_TO_<elementary>, and TO_<elementary>.
    const size_t to = upper.find("_TO_");
    auto elementary = [this](const std::string& t) {
        const auto it = m_types.find(t);
        return it != m_types.end() && it->second->fileId() == kBuiltinFileId;
    };
    if (to != std::string::npos)
        return elementary(upper.substr(0, to)) && elementary(upper.substr(to + 4));
    if (upper.rfind("TO_", 0) == 0)
        return elementary(upper.substr(3));
    return false;
}

std::vector<std::string> SymbolTable::typeNames() const
{
    std::vector<std::string> out;
    for (const auto& entry : m_types)
        out.push_back(entry.second->name());
    return out;
}

std::vector<std::string> SymbolTable::pouNames() const
{
    std::vector<std::string> out;
    for (const auto& entry : m_pous)
        out.push_back(entry.second->name());
    return out;
}

std::vector<std::string> SymbolTable::gvlNames() const
{
    std::vector<std::string> out;
    for (const auto& entry : m_gvls)
        out.push_back(entry.second->name());
    return out;
}

std::vector<VarContainer*> SymbolTable::containers() const
{
    std::vector<VarContainer*> out;
    for (const auto& entry : m_types)
        out.push_back(entry.second.get());
    for (const auto& entry : m_pous)
        out.push_back(entry.second.get());
    for (const auto& entry : m_gvls)
        out.push_back(entry.second.get());
    return out;
}

std::shared_ptr<SymbolDataType> SymbolTable::resolveTypeText(const std::string& typeText, std::string& error)
{
    if (auto named = type(typeText))
        return named; // the common case, and the one that keeps identity
    std::vector<ACMessage> messages;
    DeclParser parser(*this, typeText, "type", kBuiltinFileId, messages);
    std::shared_ptr<SymbolDataType> resolved = parser.parseTypeOnly();
    if (!resolved || parser.hadError()) {
        error = messages.empty() ? "invalid type '" + typeText + "'" : messages.front().message();
        return nullptr;
    }
    return resolved;
}

} // namespace ac
