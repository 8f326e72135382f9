#include "datamodel/model/ModelObject.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/SubModel.h"

ModelObject::ModelObject(SubModel* subModel) : m_subModel(subModel) {}

ModelObject::~ModelObject() = default;

bool ModelObject::save()
{
    return m_subModel && m_subModel->saveObject(this);
}

void ModelObject::logThroughOwner(const std::string& text) const
{
    if (m_subModel)
        m_subModel->writeLog(HostServices::LogInfo, text);
}

void ModelObject::markProjectModified() const
{
    if (m_subModel)
        m_subModel->markProjectModified(false);
}

bool ModelObject::load()
{
    return m_subModel && m_subModel->loadObject(this);
}

void ModelObject::setModified(bool modified)
{
    const bool newlyModified = modified && !m_modified;
    m_modified = modified;
    if (newlyModified && m_subModel)
        m_subModel->objectModified(this);
}

void ModelObject::nameChanged(const std::string& oldName)
{
    if (m_subModel)
        m_subModel->objectRenamed(this, oldName);
}
