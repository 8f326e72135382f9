#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/program/CachedProperties.h"


#include <memory>
#include <string>
#include <vector>


// The folder tree under which POUs, global variable lists and data types are filed (table
// Folder). The POU, list and type rows carry the id of their folder; deleting a folder's row
// deletes them with it (trigger delete_folder_table). The model does not hold the contents.
//
// Names are unique among all folders, compared without regard to case, and not empty. A
// folder lies at the top (parent 0) or in a folder of its own type, never in itself or in a
// folder below it. A folder that holds anything (folders, POUs, lists, types) is not
// removed: the removal is refused with what it holds, since the file would delete the
// contents with the folder's row at the next save, beyond the reach of undo.
class DATAMODEL_EXPORT FolderModel : public TableSubModel<FolderModel>
{
    Q_OBJECT
public:
    class Folder;
    using Object = Folder;
    // Stored as an integer and only read as a bit mask: libraries list their folders with
    // AllFolderTypes, so each kind has one of the bits 1 to 3.
    enum FolderType : int { DataTypeForder = 2, GlobleVarForder = 4, PouForder = 8 };
    static constexpr int AllFolderTypes = DataTypeForder | GlobleVarForder | PouForder;

    FolderModel(const std::string& name, AbstractProjectModel* project);
    ~FolderModel() override;

    // A new folder under the first free id; null, with the reason in lastError(), when the
    // name or the parent is refused or no id is left.
    Folder* addFolder(const std::string& name, unsigned int parentId, FolderType type);
    Folder* folder(unsigned int id) const;
    // The first folder in id order whose name equals `name` ignoring case.
    Folder* folder(const QString& name) const;
    // Appends, in id order, every folder whose type shares a bit with `typeMask`.
    void allFolders(std::vector<Folder*>& out, int typeMask) const;
    // Deletes an empty folder; false, with the reason in lastError(), for one that holds
    // anything. Its row goes at the next save.
    bool removeFolder(Folder* folder);

private:
    DATAMODEL_TABLE_HOOKS(FolderModel, Folder)
    // Folders are no program content: their changes do not mark the project.
    void markModified() const {}
    bool removeFromModel(Folder* folder) { return removeFolder(folder); }
    // A folder is filed under its parent.
    QString indexOf(const Folder& folder) const;
    bool moveTo(Folder& folder, const QString& index);
    // What the file deleted with the folders (trigger delete_folder_table) leaves memory too.
    void saved(const std::vector<unsigned int>& deletedFolders);
    QString removalRefusal(const Folder& folder) const;
    // The parent of a folder: the top, or a folder of the same type that is not `folder`
    // itself nor below it.
    QString folderRefusal(const Folder* folder, unsigned int parentId) const;
    QString parentRefusal(FolderType type, const Folder* folder, unsigned int parentId) const;
};

extern template class TableSubModel<FolderModel>;

class DATAMODEL_EXPORT FolderModel::Folder : public ModelObject
{
public:
    Folder(unsigned int id, unsigned int parentId, FolderType type, const std::string& name, SubModel* owner);

    unsigned int id() const { return m_id; }
    unsigned int parentId() const { return m_parentId; }
    void setParentId(unsigned int parentId);
    const std::string& name() const { return m_name; }
    // False, with the reason in the model's lastError(), when the model refuses the name.
    bool rename(const std::string& name);
    FolderType type() const { return m_type; }

    std::string property(const std::string& key, const std::string& defaultValue = std::string()) const;
    bool setProperty(const std::string& key, const std::string& value);
    std::map<std::string, std::string> propertys() const { return m_properties.map(); }
    const StringProperties& properties() const { return m_properties.properties(); }
    // The Properties column's text.
    const QString& propertiesJson() const { return m_properties.toJson(); }
    // Properties read from the file: no change of the object.
    void loadProperties(const QString& json);

private:
    friend class FolderModel;
    // Takes the name read from the file; the model's name index follows.
    void setName(const std::string& name);

    unsigned int m_id;
    unsigned int m_parentId;
    FolderType m_type;
    std::string m_name;
    CachedProperties m_properties;
};
