#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QString>
#include <QUndoCommand>

#include <functional>

class ModelObject;
class ProjectModelStack;
class SubModel;

// Base of the model commands. A command never holds the object it was made for: it keeps the
// object's path and its sub-model's name, and on every undo and redo finds the current project
// again (host cookie "Project.Name" and the registry), then the sub-model, then calls the
// sub-model's slot. A command is created done: the caller made the edit before pushing it.
class DATAMODEL_EXPORT ModelCommand : public QUndoCommand
{
public:
    ModelCommand(ModelObject* obj, SubModel* subModel);
    ~ModelCommand() override;

    QString uid() const { return m_uid; }
    QString path() const { return m_path; }
    QString subModelName() const { return m_subModelName; }
    bool isDone() const { return m_done; }
    void setStack(ProjectModelStack* stack) { m_stack = stack; }

protected:
    // Runs `step` on the command's sub-model of the current project, holding the project;
    // announces `type` with `param` when the step took effect. `param` is read after the step,
    // so a step may fill it.
    void replay(const QString& type, const std::function<bool(SubModel*)>& step, const QString& param);
    void replay(const QString& type, const std::function<bool(SubModel*)>& step, const QString* param);

    bool m_done = true;

private:
    QString m_path;
    QString m_subModelName;
    ProjectModelStack* m_stack = nullptr;
    QString m_uid;
};

// Undoes an insertion by removing the object; redo inserts it again from its data.
class DATAMODEL_EXPORT ModelInsertCommand : public ModelCommand
{
public:
    ModelInsertCommand(ModelObject* obj, SubModel* subModel);
    void undo() override;
    void redo() override;

protected:
    void insertObj();
    void removeObj();

    QString m_data;
};

// Undoes a removal by inserting the object again. Construct it before removing the object.
class DATAMODEL_EXPORT ModelRemoveCommand : public ModelInsertCommand
{
public:
    ModelRemoveCommand(ModelObject* obj, SubModel* subModel);
    void undo() override;
    void redo() override;
};

class DATAMODEL_EXPORT ModelRenameCommand : public ModelCommand
{
public:
    ModelRenameCommand(ModelObject* obj, SubModel* subModel, const QString& from, const QString& to);
    void undo() override;
    void redo() override;

private:
    void rename(const QString& from, const QString& to);
    QString m_from;
    QString m_to;
};

class DATAMODEL_EXPORT ModelMoveCommand : public ModelCommand
{
public:
    ModelMoveCommand(ModelObject* obj, SubModel* subModel, const QString& from, const QString& to);
    void undo() override;
    void redo() override;

private:
    void move(const QString& from, const QString& to);
    QString m_from;
    QString m_to;
};

class DATAMODEL_EXPORT ModelModifyCommand : public ModelCommand
{
public:
    ModelModifyCommand(ModelObject* obj, SubModel* subModel, const QString& key, const QString& from,
                       const QString& to);
    void undo() override;
    void redo() override;

private:
    void changeModefy(const QString& key, const QString& from, const QString& to);
    QString m_key;
    QString m_from;
    QString m_to;
};
