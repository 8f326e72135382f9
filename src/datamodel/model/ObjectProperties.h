#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <type_traits>

// The free key/value properties of a stored object and their JSON form in the Properties
// column, shared by the objects with UTF-8 keys (std::string) and those with QString keys.
//
// Written as one compact JSON object with a string member per property, members in key order;
// an empty map gives "{}". Read back member by member through the object's own setProperty,
// so that whatever the object does on a property change happens on load too.
template <typename Text>
class ObjectProperties
{
public:
    using Map = std::map<Text, Text>;

    Text value(const Text& key, const Text& defaultValue) const
    {
        auto it = m_map.find(key);
        return it == m_map.end() ? defaultValue : it->second;
    }
    void set(const Text& key, const Text& value) { m_map[key] = value; }
    bool contains(const Text& key) const { return m_map.count(key) != 0; }
    void clear() { m_map.clear(); }
    const Map& map() const { return m_map; }
    Map& map() { return m_map; }

    QString toJson() const { return toJson(m_map); }

    static QString toJson(const Map& map)
    {
        QJsonObject object;
        for (const auto& [key, value] : map)
            object.insert(toQString(key), toQString(value));
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }

    // Calls `apply(key, value)` for each member of a JSON object text, in member order. A
    // member whose value is not a string is applied as empty text; text that is not a JSON
    // object applies nothing and gives false.
    static bool fromJson(const QString& json, const std::function<void(const Text&, const Text&)>& apply)
    {
        const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8());
        if (!doc.isObject())
            return false;
        const QJsonObject object = doc.object();
        for (auto it = object.begin(); it != object.end(); ++it)
            apply(fromQString(it.key()), fromQString(it.value().isString() ? it.value().toString() : QString()));
        return true;
    }

    // Replaces the values of the keys that `json` holds; other keys stay.
    void merge(const QString& json)
    {
        fromJson(json, [this](const Text& key, const Text& value) { set(key, value); });
    }

private:
    static QString toQString(const QString& text) { return text; }
    static QString toQString(const std::string& text) { return QString::fromStdString(text); }
    static Text fromQString(const QString& text)
    {
        if constexpr (std::is_same_v<Text, std::string>)
            return text.toStdString();
        else
            return text;
    }

    Map m_map;
};

using StringProperties = ObjectProperties<std::string>;
using QStringProperties = ObjectProperties<QString>;
