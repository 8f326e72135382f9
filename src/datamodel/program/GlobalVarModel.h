#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/program/DeclaredObject.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>


// The global variable lists of a project (table GlobalVar): each list is one block of global
// declarations, stored in the column LogicContext. Every content change marks the project as
// needing compilation.
//
// Names: a list's name is an identifier of the language, and no other list, POU or data type
// has it, compared without regard to case. A list is filed at the top (folder 0) or in a
// folder of global variable lists. The system's own lists ("IOMappingVars", "HiddenAxisVar",
// "HiddenAxisGroupVar", "EcamVars") are neither renamed nor removed, and no user list takes
// their names or the retired "DeviceVars".
class DATAMODEL_EXPORT GlobalVarModel : public TableSubModel<GlobalVarModel>
{
    Q_OBJECT
public:
    class GlobalVarTable;
    using Object = GlobalVarTable;

    GlobalVarModel(const std::string& name, AbstractProjectModel* project);
    ~GlobalVarModel() override;

    // A new list under the first free id; null, with the reason in lastError(), when the name
    // or the folder is refused or no id is left.
    GlobalVarTable* addVarTable(const std::string& name, unsigned int folderId);
    GlobalVarTable* varTable(unsigned int id) const;
    // The first list in id order whose name equals `name`, ASCII letters compared without case.
    GlobalVarTable* varTable(const QString& name) const;
    // The first list in id order whose name equals `name` ignoring case as the names of POUs
    // and data types are compared (every letter, not ASCII ones only).
    GlobalVarTable* varTableIgnoringCase(const QString& name) const;
    void allVarTables(std::vector<GlobalVarTable*>& out) const;
    bool removeVarTable(GlobalVarTable* table);

private:
    friend class HiddenObjects;
    DATAMODEL_TABLE_HOOKS(GlobalVarModel, GlobalVarTable)
    bool removeFromModel(GlobalVarTable* list) { return removeVarTable(list); }
    bool restoreFrom(GlobalVarTable& list, const QString& data);
    QString nameRule(const std::string& name) const;
    QString nameTaken(const std::string& name, const GlobalVarTable* self) const;
    QString folderRefusal(const GlobalVarTable* list, unsigned int folderId) const;
};

extern template class TableSubModel<GlobalVarModel>;

class DATAMODEL_EXPORT GlobalVarModel::GlobalVarTable : public DeclaredObject
{
public:
    GlobalVarTable(unsigned int id, const std::string& name, unsigned int folderId, SubModel* owner);

    long long synceTime() const { return syncTime(); }
    void setSynceTime(long long time) { setSyncTime(time); }
    // A list is parsed as it is: no kind.
    int coreParseKind() const override;

    // Also counts as a change of the declaration: the list's symbol is named after it. False,
    // with the reason in the model's lastError(), when the model refuses the name.
    bool rename(const std::string& name);

private:
    friend class GlobalVarModel;
};
