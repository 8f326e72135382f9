#include "datamodel/motion/MotionObject.h"

MotionObject::MotionObject(unsigned int id, const std::string& name, SubModel* owner)
    : ModelObject(owner), m_id(id), m_name(name)
{
}

MotionObject::~MotionObject() = default;

void MotionObject::storeProperties(const QString& json)
{
    QStringProperties::fromJson(json, [this](const QString& key, const QString& value) { storeProperty(key, value); });
}
