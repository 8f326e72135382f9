#include "datamodel/undo/ModelCommand.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/model/SubModel.h"
#include "datamodel/undo/ProjectModelStack.h"

#include <QUuid>

namespace {
const QString insertType = QStringLiteral("PROJECT_MODEL_STACK_INSERT");
const QString removeType = QStringLiteral("PROJECT_MODEL_STACK_REMOVE");
const QString renameType = QStringLiteral("PROJECT_MODEL_STACK_RENAME");
const QString moveType = QStringLiteral("PROJECT_MODEL_STACK_MOVE");
const QString modifyType = QStringLiteral("PROJECT_MODEL_STACK_MODIFY");
} // namespace

ModelCommand::ModelCommand(ModelObject* obj, SubModel* subModel)
    : m_path(subModel ? subModel->getObjPath(obj) : QString()),
      m_subModelName(subModel ? QString::fromStdString(subModel->name()) : QString()),
      m_uid(QUuid::createUuid().toString())
{
}

ModelCommand::~ModelCommand() = default;

void ModelCommand::replay(const QString& type, const std::function<bool(SubModel*)>& step, const QString& param)
{
    replay(type, step, &param);
}

void ModelCommand::replay(const QString& type, const std::function<bool(SubModel*)>& step, const QString* param)
{
    const std::string projectName = HostServices::cookie(QStringLiteral("Project.Name")).toString().toStdString();
    SafeProjectModel project(projectName);
    if (!project.project())
        return;
    SubModel* subModel = project.project()->subModel(m_subModelName.toStdString());
    if (!subModel || !step(subModel))
        return;
    if (m_stack)
        m_stack->notifyExecuted(type, m_subModelName, m_path, *param);
}

ModelInsertCommand::ModelInsertCommand(ModelObject* obj, SubModel* subModel)
    : ModelCommand(obj, subModel), m_data(subModel ? subModel->objToData(obj) : QString())
{
}

void ModelInsertCommand::insertObj()
{
    replay(insertType, [this](SubModel* model) { return model->insertObject(path(), m_data); }, &m_data);
}

void ModelInsertCommand::removeObj()
{
    // The removal hands back the object as it is now, so that the next insertion re-creates it
    // as it was when it was removed.
    replay(removeType, [this](SubModel* model) {
        QString data;
        if (!model->removeObject(path(), data))
            return false;
        m_data = data;
        return true;
    }, &m_data);
}

void ModelInsertCommand::undo()
{
    removeObj();
    m_done = false;
}

void ModelInsertCommand::redo()
{
    if (m_done)
        return;
    insertObj();
    m_done = true;
}

ModelRemoveCommand::ModelRemoveCommand(ModelObject* obj, SubModel* subModel) : ModelInsertCommand(obj, subModel) {}

void ModelRemoveCommand::undo()
{
    insertObj();
    m_done = false;
}

void ModelRemoveCommand::redo()
{
    if (m_done)
        return;
    removeObj();
    m_done = true;
}

ModelRenameCommand::ModelRenameCommand(ModelObject* obj, SubModel* subModel, const QString& from, const QString& to)
    : ModelCommand(obj, subModel), m_from(from), m_to(to)
{
}

void ModelRenameCommand::rename(const QString& from, const QString& to)
{
    replay(renameType, [this, to](SubModel* model) { return model->renameObject(path(), to); },
           from + ObjectPath::Separator + to);
}

void ModelRenameCommand::undo()
{
    rename(m_to, m_from);
    m_done = false;
}

void ModelRenameCommand::redo()
{
    if (m_done)
        return;
    rename(m_from, m_to);
    m_done = true;
}

ModelMoveCommand::ModelMoveCommand(ModelObject* obj, SubModel* subModel, const QString& from, const QString& to)
    : ModelCommand(obj, subModel), m_from(from), m_to(to)
{
}

void ModelMoveCommand::move(const QString& from, const QString& to)
{
    replay(moveType, [this, to](SubModel* model) { return model->moveObject(path(), to); },
           from + ObjectPath::Separator + to);
}

void ModelMoveCommand::undo()
{
    move(m_to, m_from);
    m_done = false;
}

void ModelMoveCommand::redo()
{
    if (m_done)
        return;
    move(m_from, m_to);
    m_done = true;
}

ModelModifyCommand::ModelModifyCommand(ModelObject* obj, SubModel* subModel, const QString& key, const QString& from,
                                       const QString& to)
    : ModelCommand(obj, subModel), m_key(key), m_from(from), m_to(to)
{
}

void ModelModifyCommand::changeModefy(const QString& key, const QString& from, const QString& to)
{
    replay(modifyType, [this, key, from, to](SubModel* model) { return model->changeProperty(path(), key, from, to); },
           key + ObjectPath::Separator + from + ObjectPath::Separator + to);
}

void ModelModifyCommand::undo()
{
    changeModefy(m_key, m_to, m_from);
    m_done = false;
}

void ModelModifyCommand::redo()
{
    if (m_done)
        return;
    changeModefy(m_key, m_from, m_to);
    m_done = true;
}
