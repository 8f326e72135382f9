#include "datamodel/model/ModelObject.h"

#include "datamodel/model/SubModel.h"

ModelObject::ModelObject(SubModel* subModel) : m_subModel(subModel) {}

ModelObject::~ModelObject() = default;

bool ModelObject::save()
{
    return m_subModel && m_subModel->saveObject(this);
}

bool ModelObject::load()
{
    return m_subModel && m_subModel->loadObject(this);
}
