#include "datamodel/undo/ProjectModelStack.h"

#include "datamodel/undo/ModelCommand.h"

#include <QUndoStack>

ProjectModelStack::ProjectModelStack(QObject* parent) : QObject(parent), m_stack(new QUndoStack(this))
{
    connect(m_stack, &QUndoStack::canUndoChanged, this, &ProjectModelStack::canUndoChanged);
    connect(m_stack, &QUndoStack::canRedoChanged, this, &ProjectModelStack::canRedoChanged);
}

ProjectModelStack::~ProjectModelStack() = default;

bool ProjectModelStack::pushCommand(QUndoCommand* command)
{
    auto* modelCommand = dynamic_cast<ModelCommand*>(command);
    if (!modelCommand)
        return false;
    modelCommand->setStack(this);
    m_stack->push(modelCommand);
    return true;
}

void ProjectModelStack::beginGroup() { m_stack->beginMacro(QStringLiteral("Group")); }
void ProjectModelStack::endGroup() { m_stack->endMacro(); }
void ProjectModelStack::undo() { m_stack->undo(); }
void ProjectModelStack::redo() { m_stack->redo(); }
void ProjectModelStack::clear() { m_stack->clear(); }
bool ProjectModelStack::canUndo() const { return m_stack->canUndo(); }
bool ProjectModelStack::canRedo() const { return m_stack->canRedo(); }

void ProjectModelStack::notifyExecuted(const QString& type, const QString& subModel, const QString& path,
                                       const QString& param)
{
    emit commandExecuted(type, subModel, path, param);
}
