#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/SubModel.h"
#include "datamodel/program/DeclaredObject.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class GlobalVarModelPrivate;

// The global variable lists of a project (table GlobalVar): each list is one block of global
// declarations, stored in the column LogicContext. Every content change marks the project as
// needing compilation.
class DATAMODEL_EXPORT GlobalVarModel : public SubModel
{
    Q_OBJECT
public:
    class GlobalVarTable;

    GlobalVarModel(const std::string& name, AbstractProjectModel* project);
    ~GlobalVarModel() override;

    // A new list under the first free id; null when a list of exactly that name exists or no
    // id is left.
    GlobalVarTable* addVarTable(const std::string& name, unsigned int folderId);
    GlobalVarTable* varTable(unsigned int id) const;
    // The first list in id order whose name equals `name`, ASCII letters compared without case.
    GlobalVarTable* varTable(const QString& name) const;
    void allVarTables(std::vector<GlobalVarTable*>& out) const;
    bool removeVarTable(GlobalVarTable* table);

public slots:
    bool open() override;
    bool save() override;
    bool saveAs(bool flag) override;
    bool insertObject(const QString& path, const QString& data) override;
    bool removeObject(const QString& path, QString& data) override;
    bool renameObject(const QString& path, const QString& name) override;
    bool moveObject(const QString& path, const QString& to) override;
    QString getObjPath(ModelObject* obj) override;
    QString getObjIndex(ModelObject* obj) override;
    QString objToData(ModelObject* obj) override;
    bool restoreObj(ModelObject* obj, const QString& data) override;

private slots:
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    bool writeRow(GlobalVarTable* table);
    void markModified() const;

    std::unique_ptr<GlobalVarModelPrivate> d;
};

class DATAMODEL_EXPORT GlobalVarModel::GlobalVarTable : public DeclaredObject
{
public:
    GlobalVarTable(unsigned int id, const std::string& name, unsigned int folderId, SubModel* owner);

    long long synceTime() const { return syncTime(); }
    void setSynceTime(long long time) { setSyncTime(time); }
    // A list is parsed as it is: no kind.
    int coreParseKind() const override;

    // Also counts as a change of the declaration: the list's symbol is named after it.
    void rename(const std::string& name);

private:
    friend class GlobalVarModel;
};
