#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/ObjectProperties.h"

#include <QString>

#include <map>
#include <string>

// Base of the objects of the motion models that declare a variable of their own name (axes,
// axis groups, cam tables): an id, a name, properties with QString keys and values stored as
// the Properties column's JSON, and a time stamp kept for the front end.
class DATAMODEL_EXPORT MotionObject : public ModelObject
{
public:
    unsigned int id() const { return m_id; }
    const std::string& name() const { return m_name; }
    QString property(const QString& key, const QString& defaultValue = QString()) const
    {
        return m_properties.value(key, defaultValue);
    }
    std::map<QString, QString> propertys() const { return m_properties.map(); }
    // The Properties column's text.
    QString propertiesJson() const { return m_properties.toJson(); }
    unsigned int modifiedTime() const { return m_modifiedTime; }
    void setModifiedTime(unsigned int time) { m_modifiedTime = time; }

protected:
    MotionObject(unsigned int id, const std::string& name, SubModel* owner);
    ~MotionObject() override;

    // Stores a value without marking anything: for values read from the file or object data.
    void storeProperty(const QString& key, const QString& value) { m_properties.set(key, value); }
    // Applies a Properties text member by member through storeProperty.
    void storeProperties(const QString& json);
    // Keeps the model's name index in step once the object is in its model.
    void setName(const std::string& name)
    {
        const std::string oldName = m_name;
        m_name = name;
        if (oldName != name)
            nameChanged(oldName);
    }

private:
    unsigned int m_id;
    std::string m_name;
    QStringProperties m_properties;
    unsigned int m_modifiedTime = 0;
};
