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

// The standard functions by name, with how many inputs they take (-1: extensible). Type
// conversions (INT_TO_REAL, TO_INT, WORD_BCD_TO_INT, TRUNC_DINT, ...) are families, told
// apart by isStandardFunction() below.
struct StandardFunction
{
    const char* name;
    int min;
    int max;
};
const StandardFunction kStandardFunctions[] = {
    // numeric and arithmetic
    {"ABS", 1, 1}, {"SQRT", 1, 1}, {"LN", 1, 1}, {"LOG", 1, 1}, {"EXP", 1, 1}, {"SIN", 1, 1}, {"COS", 1, 1},
    {"TAN", 1, 1}, {"ASIN", 1, 1}, {"ACOS", 1, 1}, {"ATAN", 1, 1}, {"ATAN2", 2, 2}, {"ADD", 2, -1},
    {"MUL", 2, -1}, {"SUB", 2, 2}, {"DIV", 2, 2}, {"MOD", 2, 2}, {"EXPT", 2, 2}, {"MOVE", 1, 1},
    {"TRUNC", 1, 1}, {"ROUND", 1, 2},
    // bit strings
    {"SHL", 2, 2}, {"SHR", 2, 2}, {"ROL", 2, 2}, {"ROR", 2, 2}, {"AND", 2, -1}, {"OR", 2, -1}, {"XOR", 2, -1},
    {"NOT", 1, 1},
    // selection and comparison
    {"SEL", 3, 3}, {"MAX", 2, -1}, {"MIN", 2, -1}, {"LIMIT", 3, 3}, {"MUX", 3, -1}, {"GT", 2, -1},
    {"GE", 2, -1}, {"EQ", 2, -1}, {"LE", 2, -1}, {"LT", 2, -1}, {"NE", 2, 2},
    // character strings
    {"LEN", 1, 1}, {"LEFT", 2, 2}, {"RIGHT", 2, 2}, {"MID", 3, 3}, {"CONCAT", 2, -1}, {"INSERT", 3, 3},
    {"DELETE", 3, 3}, {"REPLACE", 4, 4}, {"FIND", 2, 2},
    // time and date
    {"ADD_TIME", 2, 2}, {"ADD_LTIME", 2, 2}, {"ADD_TOD_TIME", 2, 2}, {"ADD_LTOD_LTIME", 2, 2},
    {"ADD_DT_TIME", 2, 2}, {"ADD_LDT_LTIME", 2, 2}, {"SUB_TIME", 2, 2}, {"SUB_LTIME", 2, 2},
    {"SUB_DATE_DATE", 2, 2}, {"SUB_LDATE_LDATE", 2, 2}, {"SUB_TOD_TIME", 2, 2}, {"SUB_LTOD_LTIME", 2, 2},
    {"SUB_TOD_TOD", 2, 2}, {"SUB_LTOD_LTOD", 2, 2}, {"SUB_DT_TIME", 2, 2}, {"SUB_LDT_LTIME", 2, 2},
    {"SUB_DT_DT", 2, 2}, {"SUB_LDT_LDT", 2, 2}, {"MUL_TIME", 2, 2}, {"MUL_LTIME", 2, 2}, {"DIV_TIME", 2, 2},
    {"DIV_LTIME", 2, 2}, {"CONCAT_DATE_TOD", 2, 2}, {"CONCAT_DATE_LTOD", 2, 2}, {"CONCAT_DATE", 3, 3},
    {"CONCAT_TOD", 4, 4}, {"CONCAT_LTOD", 4, 4}, {"CONCAT_DT", 7, 7}, {"CONCAT_LDT", 7, 7},
    {"SPLIT_DATE", 1, 1}, {"SPLIT_TOD", 1, 1}, {"SPLIT_LTOD", 1, 1}, {"SPLIT_DT", 1, 1}, {"SPLIT_LDT", 1, 1},
    {"DAY_OF_WEEK", 1, 1},
    // byte order and validity
    {"TO_BIG_ENDIAN", 1, 1}, {"TO_LITTLE_ENDIAN", 1, 1}, {"FROM_BIG_ENDIAN", 1, 1}, {"FROM_LITTLE_ENDIAN", 1, 1},
    {"IS_VALID", 1, 1}, {"IS_VALID_BCD", 1, 1},
    // of this system
    {"ADR", 1, 1}, {"SIZEOF", 1, 1}};

bool isBitString(const std::string& t)
{
    return t == "BYTE" || t == "WORD" || t == "DWORD" || t == "LWORD";
}
} // namespace

SymbolTable::SymbolTable()
{
    for (const Elementary& e : kElementary) {
        auto type = std::make_shared<SymbolDataType>(e.name, e.code);
        type->setFileId(kBuiltinFileId);
        m_types[e.name] = type;
    }
    for (const StandardFunction& f : kStandardFunctions)
        m_standardFunctions[f.name] = {f.min, f.max};
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
    if (fileId == kAllUserFiles)
        m_broken.clear();
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
    if (!v || v->scope() == VS_EXTERNAL)
        v = globalVariable(name); // an external names the global
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
    int min = 0;
    int max = 0;
    return standardFunctionInputs(name, min, max);
}

bool SymbolTable::standardFunctionInputs(const std::string& name, int& min, int& max) const
{
    const std::string upper = upperAscii(name);
    const auto known = m_standardFunctions.find(upper);
    if (known != m_standardFunctions.end()) {
        min = known->second.first;
        max = known->second.second;
        return true;
    }
    min = max = 1; // every conversion takes one input
    auto elementary = [this](const std::string& t) {
        const auto it = m_types.find(t);
        return it != m_types.end() && it->second->fileId() == kBuiltinFileId;
    };
    auto integer = [this, &elementary](const std::string& t) {
        return elementary(t) && m_types.find(t)->second->isInteger();
    };
    auto real = [](const std::string& t) { return t == "REAL" || t == "LREAL"; };
    auto splitAt = [&upper](const std::string& word, std::string& left, std::string& right) {
        const size_t at = upper.find(word);
        if (at == std::string::npos)
            return false;
        left = upper.substr(0, at);
        right = upper.substr(at + word.size());
        return true;
    };
    std::string left, right;
    // BCD: BCD_TO_INT, INT_TO_BCD, WORD_BCD_TO_UINT, UINT_TO_BCD_WORD.
    if (splitAt("BCD_TO_", left, right) && integer(right)
        && (left.empty() || (left.size() > 1 && left.back() == '_' && isBitString(left.substr(0, left.size() - 1)))))
        return true;
    if (splitAt("_TO_BCD", left, right) && integer(left)
        && (right.empty() || (right.size() > 1 && right[0] == '_' && isBitString(right.substr(1)))))
        return true;
    // Truncation: TRUNC_DINT, REAL_TRUNC_DINT.
    if (upper.rfind("TRUNC_", 0) == 0 && integer(upper.substr(6)))
        return true;
    if (splitAt("_TRUNC_", left, right) && real(left) && integer(right))
        return true;
    // Conversions: <elementary>_TO_<elementary>, and TO_<elementary>.
    if (splitAt("_TO_", left, right))
        return elementary(left) && elementary(right);
    if (upper.rfind("TO_", 0) == 0)
        return elementary(upper.substr(3));
    return false;
}

void SymbolTable::setBrokenTypes(const std::string& objectKey, const std::vector<BrokenType>& broken)
{
    if (broken.empty())
        m_broken.erase(objectKey);
    else
        m_broken[objectKey] = broken;
}

const BrokenType* SymbolTable::brokenType(const std::string& upper, const std::string& exceptKey) const
{
    for (const auto& entry : m_broken) {
        if (entry.first == exceptKey)
            continue;
        for (const BrokenType& b : entry.second) {
            if (b.name == upper)
                return &b;
        }
    }
    return nullptr;
}

bool SymbolTable::isErroneousGlobal(const std::string& name) const
{
    for (const auto& entry : m_gvls) {
        if (entry.second->isErroneous(name))
            return true;
    }
    return false;
}

std::vector<std::string> SymbolTable::typeNames() const
{
    std::vector<std::string> out;
    for (const auto& entry : m_types)
        out.push_back(entry.second->name());
    return out;
}

std::vector<std::string> SymbolTable::typesOfObject(const std::string& objectName) const
{
    const auto it = m_typesOfObject.find(upperAscii(objectName));
    return it == m_typesOfObject.end() ? std::vector<std::string>() : it->second;
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
