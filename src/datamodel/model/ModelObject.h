#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QObject>
#include <QString>

#include <string>

class SubModel;

// Base of every object that a sub-model holds in memory (one row or row group of its tables).
// The sub-model owns its objects.
class DATAMODEL_EXPORT ModelObject : public QObject
{
    Q_OBJECT
public:
    explicit ModelObject(SubModel* subModel);
    ~ModelObject() override;

    SubModel* subModel() const { return m_subModel; }

    // Writes or re-reads the object through its sub-model; false without one.
    bool save();
    bool load();

    bool isModified() const { return m_modified; }
    // Setting the flag tells the sub-model, which keeps the list of objects to write.
    void setModified(bool modified);
    bool status() const { return m_status; }
    void setStatus(bool status) { m_status = status; }

protected:
    // Through the owning sub-model; nothing happens without one. One log line under the
    // sub-model's name.
    void logThroughOwner(const std::string& text) const;
    // Marks the project as needing compilation and stamps its program change time.
    void markProjectModified() const;
    // Tells the sub-model that the object's name was `oldName` until now (its name index).
    void nameChanged(const std::string& oldName);

signals:
    // Raised by the object itself after a change that views must show; `type` names the
    // change and `param` carries its detail.
    void dataChanged(ModelObject* obj, QString type, QString param);

private:
    SubModel* m_subModel = nullptr; // not owned
    bool m_modified = false;
    bool m_status = false;
};
