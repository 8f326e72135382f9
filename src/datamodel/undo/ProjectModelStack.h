#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QObject>
#include <QString>

class QUndoCommand;
class QUndoStack;

// The undo stack of a project's structural edits. The front end makes an edit, then pushes the
// matching model command; undo and redo replay the edit through the sub-model, and each step
// that took effect is announced by commandExecuted.
class DATAMODEL_EXPORT ProjectModelStack : public QObject
{
    Q_OBJECT
public:
    explicit ProjectModelStack(QObject* parent = nullptr);
    ~ProjectModelStack() override;

    // Takes ownership of a ModelCommand and pushes it (its first redo does nothing, the edit is
    // made already). Any other command is refused and stays the caller's.
    bool pushCommand(QUndoCommand* command);
    // Commands pushed between the two undo and redo as one step.
    void beginGroup();
    void endGroup();

    void undo();
    void redo();
    void clear();
    bool canUndo() const;
    bool canRedo() const;
    QUndoStack* undoStack() const { return m_stack; }

    // Used by the commands to announce a step.
    void notifyExecuted(const QString& type, const QString& subModel, const QString& path, const QString& param);

signals:
    void commandExecuted(QString type, QString subModel, QString path, QString param);
    void canUndoChanged(bool canUndo);
    void canRedoChanged(bool canRedo);

private:
    QUndoStack* m_stack = nullptr; // Qt child of this object
};
