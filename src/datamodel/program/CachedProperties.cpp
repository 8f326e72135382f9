#include "datamodel/program/CachedProperties.h"

namespace {

// A JSON string of plain printable ASCII without quote or backslash at `at`; moves `at`
// behind it. False for anything else, which Qt's parser then reads.
bool plainString(const char*& at, const char* end, std::string& out)
{
    if (at == end || *at != '"')
        return false;
    const char* first = ++at;
    while (at != end && *at != '"') {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c < 0x20 || c > 0x7E || c == '\\')
            return false;
        ++at;
    }
    if (at == end)
        return false;
    out.assign(first, static_cast<std::size_t>(at - first));
    ++at;
    return true;
}

// {"key":"value",...} with plain strings, no white space and no key twice: the texts that
// this library writes. `ordered` tells whether the keys came in ascending order, that is
// whether the text is exactly what StringProperties writes for them.
bool readPlainObject(const QByteArray& json, std::map<std::string, std::string>& members, bool& ordered)
{
    const char* at = json.constData();
    const char* end = at + json.size();
    ordered = true;
    if (at == end || *at++ != '{')
        return false;
    if (at != end && *at == '}')
        return at + 1 == end;
    std::string key, value;
    while (true) {
        if (!plainString(at, end, key) || at == end || *at++ != ':' || !plainString(at, end, value))
            return false;
        if (!members.empty() && !(members.rbegin()->first < key))
            ordered = false;
        if (!members.emplace(key, value).second)
            return false;
        if (at == end)
            return false;
        const char c = *at++;
        if (c == '}')
            return at == end;
        if (c != ',')
            return false;
    }
}

} // namespace

void CachedProperties::set(const std::string& key, const std::string& value)
{
    m_properties.set(key, value);
    m_jsonValid = false;
}

void CachedProperties::clear()
{
    m_properties.clear();
    m_jsonValid = false;
}

void CachedProperties::merge(const QByteArray& utf8Json)
{
    std::map<std::string, std::string> members;
    bool ordered = false;
    if (!readPlainObject(utf8Json, members, ordered)) {
        m_properties.merge(QString::fromUtf8(utf8Json));
        m_jsonValid = false;
        return;
    }
    const bool wasEmpty = m_properties.map().empty();
    for (auto& [key, value] : members)
        m_properties.set(key, value);
    m_jsonValid = wasEmpty && ordered;
    if (m_jsonValid)
        m_json = QString::fromLatin1(utf8Json); // plain ASCII
}

const QString& CachedProperties::toJson() const
{
    if (!m_jsonValid) {
        m_json = m_properties.toJson();
        m_jsonValid = true;
    }
    return m_json;
}
