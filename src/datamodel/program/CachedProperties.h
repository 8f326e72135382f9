#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ObjectProperties.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <string>

// The properties of a stored object together with their JSON text for the Properties column.
// An object is written far more often than its properties change, so the text is made once
// per change (by StringProperties) and kept; a text read from the file that is already in
// the written form is kept as it came. Every change goes through this class, so the text is
// never stale.
class DATAMODEL_EXPORT CachedProperties
{
public:
    using Map = StringProperties::Map;

    std::string value(const std::string& key, const std::string& defaultValue) const
    {
        return m_properties.value(key, defaultValue);
    }
    const Map& map() const { return m_properties.map(); }
    const StringProperties& properties() const { return m_properties; }
    bool empty() const { return m_properties.map().empty(); }

    void set(const std::string& key, const std::string& value);
    void clear();
    // Replaces the values of the keys that the JSON text holds; other keys stay. Reads as
    // StringProperties::merge does.
    void merge(const QByteArray& utf8Json);
    void merge(const QString& json) { merge(json.toUtf8()); }

    // The compact JSON text of the properties, members in key order.
    const QString& toJson() const;

private:
    StringProperties m_properties;
    mutable QString m_json;
    mutable bool m_jsonValid = false;
};
