#include "datamodel/memory/LayoutText.h"

#include "datamodel/memory/SerializeData.h"

#include "accore/Symbol.h"
#include "accore/SymbolDataType.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <set>

namespace {

// A child type inside a child type inside ...: arrays of arrays and pointers nest a few
// levels; a text nesting deeper than this was not written by us.
constexpr int kMaxChildDepth = 16;
// One damaged file should name its first mistakes, not flood the log.
constexpr size_t kMaxErrors = 50;
const int kVisitScopes[] = {0, 1, 2, 4, 8, 12, 18, 32};

void appendJsonString(std::string& out, const std::string& text)
{
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendMember(std::string& out, const char* key, const std::string& value, bool first = false)
{
    if (!first)
        out += ',';
    out += '"';
    out += key;
    out += "\":";
    appendJsonString(out, value);
}

// Whole decimal text without sign or blanks, at most `limit`.
bool readUnsigned(const std::string& text, unsigned long long limit, unsigned long long& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (limit - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

// "1..10,0..3": as many dimensions as ArraryRangeSize says, each with lower <= upper.
bool validRange(const std::string& range, int dimensions)
{
    int count = 0;
    size_t start = 0;
    while (start <= range.size()) {
        size_t end = range.find(',', start);
        if (end == std::string::npos)
            end = range.size();
        const std::string part = range.substr(start, end - start);
        const size_t dots = part.find("..");
        if (dots == std::string::npos)
            return false;
        try {
            size_t used = 0;
            const long long low = std::stoll(part.substr(0, dots), &used);
            if (used != dots)
                return false;
            const std::string upperText = part.substr(dots + 2);
            const long long high = std::stoll(upperText, &used);
            if (used != upperText.size() || low > high)
                return false;
        } catch (...) {
            return false;
        }
        ++count;
        start = end + 1;
        if (end == range.size())
            break;
    }
    return count == dimensions;
}

bool fromJson(const std::string& json, ac::MemberDataType& type, int depth, std::string& error)
{
    if (depth > kMaxChildDepth) {
        error = "member type nests deeper than " + std::to_string(kMaxChildDepth) + " child types";
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(json.data(), static_cast<int>(json.size())), &parseError);
    if (!document.isObject()) {
        error = "member type is no JSON object (" + parseError.errorString().toStdString() + ")";
        return false;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString()) {
            error = "member type key \"" + it.key().toStdString() + "\" is not a string";
            return false;
        }
    }
    auto text = [&](const char* key) { return object.value(QLatin1String(key)).toString().toStdString(); };
    auto number = [&](const char* key, unsigned long long limit, unsigned long long& value, bool required) {
        if (!object.contains(QLatin1String(key))) {
            value = 0;
            if (required)
                error = std::string("member type has no \"") + key + "\"";
            return !required;
        }
        if (readUnsigned(text(key), limit, value))
            return true;
        error = std::string("member type \"") + key + "\" is \"" + text(key) + "\", not a number up to "
            + std::to_string(limit);
        return false;
    };
    auto flag = [&](const char* key, bool& value) {
        const std::string t = object.contains(QLatin1String(key)) ? text(key) : std::string("false");
        value = t == "true";
        if (value || t == "false")
            return true;
        error = std::string("member type \"") + key + "\" is \"" + t + "\", not true or false";
        return false;
    };

    type = ac::MemberDataType();
    if (!object.contains(QLatin1String("TypeName"))) {
        error = "member type has no \"TypeName\"";
        return false;
    }
    type.typeName = text("TypeName");
    unsigned long long size = 0, code = 0, dimensions = 0, scope = 0, bit = 0;
    if (!number("ByteSize", ac::SymbolDataType::maxByteSize(), size, true)
        || !number("BasicDataType", ac::BT_FB_INSTANCE, code, true)
        || !number("ArraryRangeSize", 32, dimensions, false) || !number("VisitScope", 64, scope, false)
        || !number("BitAddr", 7, bit, false) || !flag("Retain", type.retain) || !flag("Constant", type.constant))
        return false;
    if (std::find(std::begin(kVisitScopes), std::end(kVisitScopes), static_cast<int>(scope)) == std::end(kVisitScopes)) {
        error = "member type \"VisitScope\" " + std::to_string(scope) + " is no variable section";
        return false;
    }
    type.byteSize = size;
    type.basicDataType = static_cast<int>(code);
    type.arraryRangeSize = static_cast<int>(dimensions);
    type.visitScope = static_cast<int>(scope);
    type.bitAddr = static_cast<int>(bit);
    type.fixedAddr = text("FixedAddr");
    type.arraryRange = text("ArraryRange");
    if ((dimensions != 0 || !type.arraryRange.empty()) && !validRange(type.arraryRange, type.arraryRangeSize)) {
        error = "member type \"ArraryRange\" \"" + type.arraryRange + "\" does not give "
            + std::to_string(dimensions) + " bounds low..high";
        return false;
    }
    if (object.contains(QLatin1String("child"))) {
        auto child = std::make_shared<ac::MemberDataType>();
        if (!fromJson(text("child"), *child, depth + 1, error))
            return false;
        type.child = std::move(child);
    }
    return true;
}

// Reads one layout text into symbols; see LayoutText::read.
class Reader
{
public:
    Reader(const std::string& text, std::vector<std::string>* errors) : m_text(text), m_errors(errors) {}

    bool run(SerializeData& data)
    {
        if (m_text.size() > LayoutText::MaxTextSize) {
            fail("the layout text has " + std::to_string(m_text.size()) + " bytes, more than the "
                 + std::to_string(LayoutText::MaxTextSize) + " a layout may have");
            return false;
        }
        while (m_errorCount < kMaxErrors) {
            skipBlank();
            if (atEnd())
                break;
            readBlock(data);
        }
        return m_errorCount == 0;
    }

private:
    static bool isDelimiter(char c)
    {
        return c == ' ' || c == '\n' || c == '\r' || c == ';' || c == ':' || c == '{' || c == '}';
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }

    void fail(const std::string& message)
    {
        ++m_errorCount;
        if (m_errors && m_errors->size() < kMaxErrors)
            m_errors->push_back("line " + std::to_string(m_line) + ": " + message);
    }

    void advance()
    {
        if (m_text[m_pos] == '\n')
            ++m_line;
        ++m_pos;
    }

    // Blanks and line ends between tokens.
    void skipBlank()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\n' || peek() == '\r'))
            advance();
    }

    std::string token()
    {
        skipBlank();
        const size_t start = m_pos;
        while (!atEnd() && !isDelimiter(peek()))
            advance();
        return m_text.substr(start, m_pos - start);
    }

    bool expect(char c, const char* what)
    {
        skipBlank();
        if (peek() == c) {
            advance();
            return true;
        }
        fail(std::string("expected \"") + c + "\" " + what + (atEnd() ? std::string(", found the end of the text")
                                                                          : ", found \"" + std::string(1, peek()) + "\""));
        return false;
    }

    // Recovery: the rest of the line belongs to the mistake.
    void skipLine()
    {
        while (!atEnd() && peek() != '\n')
            advance();
    }

    // After a broken head: on to the next line that starts a block.
    void skipToNextBlock()
    {
        while (!atEnd()) {
            skipLine();
            skipBlank();
            if (m_text.compare(m_pos, 8, "PRJ_MEM_") == 0)
                return;
        }
    }

    void readBlock(SerializeData& data)
    {
        const int headLine = m_line;
        const std::string keyword = token();
        const int section = SerializeData::sectionOfKeyword(keyword);
        if (section < 0) {
            fail("\"" + keyword.substr(0, 40) + "\" is no section keyword");
            skipToNextBlock();
            return;
        }
        if (!expect(':', "after the section keyword")) {
            skipToNextBlock();
            return;
        }
        ac::PrjMemSymbolInfo symbol;
        symbol.section = section;
        symbol.name = token();
        if (symbol.name.empty()) {
            fail("a " + keyword + " block without a symbol name");
            skipToNextBlock();
            return;
        }
        if (!expect('{', "after the symbol name")) {
            skipToNextBlock();
            return;
        }
        const size_t errorsBefore = m_errorCount;
        while (m_errorCount < kMaxErrors) {
            skipBlank();
            if (atEnd()) {
                fail("the block of " + symbol.name + " (line " + std::to_string(headLine) + ") has no closing \"}\"");
                return;
            }
            if (peek() == '}') {
                advance();
                break;
            }
            if (m_text.compare(m_pos, 8, "PRJ_MEM_") == 0) {
                fail("the block of " + symbol.name + " (line " + std::to_string(headLine) + ") has no closing \"}\"");
                break;
            }
            ac::SymbolMemberInfo member;
            if (readMember(member))
                symbol.members.push_back(std::move(member));
            else
                skipLine();
        }
        if (m_errorCount == errorsBefore)
            checkMembers(symbol);
        const std::string name = symbol.name;
        if (!data.addSymbol(std::move(symbol)))
            fail("the " + keyword + " symbol " + name + " is listed twice");
    }

    bool readMember(ac::SymbolMemberInfo& member)
    {
        const std::string offsetText = token();
        if (!readUnsigned(offsetText, ac::SymbolDataType::maxByteSize(), member.offset)) {
            fail("member offset \"" + offsetText.substr(0, 40) + "\" is no byte offset from 0 to "
                 + std::to_string(ac::SymbolDataType::maxByteSize()));
            return false;
        }
        if (!expect(':', "after the member offset"))
            return false;
        member.name = token();
        if (member.name.empty()) {
            fail("a member without a name");
            return false;
        }
        if (!expect(':', "after the member name"))
            return false;
        skipBlank();
        std::string json;
        if (!jsonObject(json))
            return false;
        std::string error;
        if (!fromJson(json, member.type, 0, error)) {
            fail(member.name + ": " + error);
            return false;
        }
        if (member.type.byteSize > ac::SymbolDataType::maxByteSize() - member.offset) {
            fail(member.name + ": offset " + std::to_string(member.offset) + " and size "
                 + std::to_string(member.type.byteSize) + " end beyond 4 GiB");
            return false;
        }
        return expect(';', "after the member type");
    }

    // The member JSON: from "{" to its matching "}", with braces inside strings ignored.
    bool jsonObject(std::string& json)
    {
        if (peek() != '{') {
            fail("expected the member type JSON \"{...}\"");
            return false;
        }
        const size_t start = m_pos;
        int depth = 0;
        bool inString = false;
        while (!atEnd()) {
            const char c = peek();
            advance();
            if (inString) {
                if (c == '\\' && !atEnd())
                    advance();
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth == 0) {
                json = m_text.substr(start, m_pos - start);
                return true;
            } else if (c == '\n') {
                break;
            }
        }
        fail("the member type JSON does not end on its line");
        return false;
    }

    // Names once each (fillers excepted); places in the block that do not overlap.
    void checkMembers(const ac::PrjMemSymbolInfo& symbol)
    {
        std::set<std::string> names;
        std::vector<const ac::SymbolMemberInfo*> placed;
        for (const ac::SymbolMemberInfo& member : symbol.members) {
            if (!SerializeData::isFiller(member) && !names.insert(ac::upperName(member.name)).second)
                fail(symbol.name + ": member " + member.name + " is listed twice");
            if (!member.isFixedAddress() && member.type.byteSize > 0 && symbol.section != SerializeData::EnumSection)
                placed.push_back(&member);
        }
        std::sort(placed.begin(), placed.end(), [](const ac::SymbolMemberInfo* a, const ac::SymbolMemberInfo* b) {
            return a->offset < b->offset;
        });
        for (size_t i = 1; i < placed.size(); ++i) {
            const ac::SymbolMemberInfo& before = *placed[i - 1];
            if (before.offset + before.type.byteSize > placed[i]->offset)
                fail(symbol.name + ": member " + placed[i]->name + " at " + std::to_string(placed[i]->offset)
                     + " overlaps " + before.name + " at " + std::to_string(before.offset));
        }
    }

    const std::string& m_text;
    std::vector<std::string>* m_errors;
    size_t m_pos = 0;
    int m_line = 1;
    size_t m_errorCount = 0;
};

} // namespace

std::string LayoutText::memberDataTypeToJsonStr(const ac::MemberDataType& type)
{
    std::string out = "{";
    appendMember(out, "TypeName", type.typeName, true);
    appendMember(out, "ByteSize", std::to_string(type.byteSize));
    appendMember(out, "BasicDataType", std::to_string(type.basicDataType));
    appendMember(out, "ArraryRangeSize", std::to_string(type.arraryRangeSize));
    if (!type.arraryRange.empty())
        appendMember(out, "ArraryRange", type.arraryRange);
    if (type.child)
        appendMember(out, "child", memberDataTypeToJsonStr(*type.child));
    appendMember(out, "VisitScope", std::to_string(type.visitScope));
    appendMember(out, "Retain", type.retain ? "true" : "false");
    appendMember(out, "Constant", type.constant ? "true" : "false");
    appendMember(out, "FixedAddr", type.fixedAddr);
    appendMember(out, "BitAddr", std::to_string(type.bitAddr));
    out += '}';
    return out;
}

bool LayoutText::jsonStrToMemberDataType(const std::string& json, ac::MemberDataType& type, std::string* error)
{
    std::string why;
    const bool ok = fromJson(json, type, 0, why);
    if (error)
        *error = why;
    return ok;
}

std::string LayoutText::write(const SerializeData& data)
{
    std::string out;
    for (const ac::PrjMemSymbolInfo& symbol : data.symbols()) {
        const char* keyword = SerializeData::sectionKeyword(symbol.section);
        if (!keyword)
            continue;
        out += keyword;
        out += ':';
        out += symbol.name;
        out += "{\n";
        for (const ac::SymbolMemberInfo& member : symbol.members) {
            out += "    ";
            out += std::to_string(member.offset);
            out += ':';
            out += member.name;
            out += ':';
            out += memberDataTypeToJsonStr(member.type);
            out += ";\n";
        }
        out += "}\n";
    }
    return out;
}

bool LayoutText::read(const std::string& text, SerializeData& data, std::vector<std::string>* errors)
{
    return Reader(text, errors).run(data);
}
