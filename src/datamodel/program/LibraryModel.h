#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/ObjectProperties.h"
#include "datamodel/model/SubModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/TranslationTable.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>
#include <string>
#include <vector>

class DeclarationRegistry;
class LibraryModelPrivate;

// The libraries that a project references (table LibraryManager). A library is a library
// project database ("*.nvl") stored below the project folder at
//     <project folder><path>/<version>/<name>
// The model opens each referenced library read-only, registers its file with the project's
// compiler core under a file id (table LibIdMap maps library paths to file ids) together with
// the library's data types, global lists and POU declarations, and hands the library's objects
// and comment texts to the front end.
//
// Library rows are written only by the operations that change them (add, replace, remove,
// setPath, file ids), never by save().
class DATAMODEL_EXPORT LibraryModel : public SubModel
{
    Q_OBJECT
public:
    class LibraryCfg;

    // Why addLib (or replaceLibrary) refused a library.
    enum AddLibErrorCode : int {
        LibraryLoaded = 0,     // a library of that name is loaded already
        NameInUse = 1,         // a type, POU or list name of the library is taken; the message names it
        NotCompiled = 2,       // the library's "Compile" is not "true"
        CannotOpen = 3,        // not a library file, wrong password, unusable version, no compiler core
        FileError = 4,         // a folder, the copy or a table row could not be written
        PasswordCancelled = 5, // the user cancelled the password prompt
    };

    // What the model holds of one opened library. The pointers belong to the library's project
    // model, which the library model owns until the library is removed or replaced.
    struct LibraryData
    {
        AbstractProjectModel* project = nullptr;
        std::string file;    // the database file below the project folder
        std::string version; // a version text ("1.0.0.0")
        int fileId = -1;     // under this id the compiler core knows the library
        AbstractProjectModel::ProjectType type = AbstractProjectModel::Unknown;
        PrjInfoModel::PrjInfo* info = nullptr;
        std::vector<FolderModel::Folder*> folders;
        std::vector<DataTypeModel::DataUnit*> dataTypes;
        std::vector<PouModel::PouUnit*> pous;
        std::vector<GlobalVarModel::GlobalVarTable*> globalVars;
        QVector<TranslationTable::InternationalNodeStruct> translations;
        QStringList languages; // of the library's translation table, in Id order
    };

    static const char* const BaseLibrary;      // "sys_include.nvl"
    static const char* const ExpansionLibrary; // "motion_control.nvl"

    LibraryModel(const std::string& name, AbstractProjectModel* project);
    ~LibraryModel() override;

    // Adds the library file `libFile`: reads it (asking for its password when the default one
    // does not open it), refuses it when it is not compiled or one of its names is taken,
    // copies it to "/Libraries/userlib/<name>/<version>/<name>" below `projectDir` and
    // registers it. Null on failure with `code` and `message` set; nothing is left behind then.
    LibraryCfg* addLib(const QString& projectDir, const QString& libFile, AddLibErrorCode& code, QString& message);
    // Removes the library's row, its file id and its symbols in the compiler core. The files
    // below the project folder stay.
    bool removeLib(const std::string& name);
    // Reads the library `name` again from `file`, which is installed under the library's own
    // path and version. The library stays as it was when the new file cannot be used.
    bool replaceLibrary(const std::string& name, const std::string& unused, const std::string& file);
    bool replaceLibrary(const std::string& name, const std::string& file, AddLibErrorCode& code, QString& message);

    // How the model reaches the compiler core; set by the project model that creates it.
    // Without one no library is registered with a core and addLib refuses.
    void setDeclarationRegistry(DeclarationRegistry* registry);

    // Opens every referenced library at project open. Every later registration with the
    // compiler core goes to the core named `coreName`.
    void loadLibraryData(const QString& projectDir, const QString& coreName);
    // Withdraws a loaded library from the compiler core, drops its data and its file id.
    void removeLibraryData(const std::string& name);
    void removeLibraryData(int fileId);

    LibraryCfg* library(unsigned int id) const;
    LibraryCfg* library(const std::string& name) const;
    // The project's own configuration of that name, else one referenced by a loaded library.
    LibraryCfg* getLibrary(const std::string& name) const;
    LibraryCfg* getBaseLibrary() const;
    // The file id under which the loaded library `name` is registered; -1 when not loaded.
    int getLibraryId(const std::string& name) const;
    // The configured libraries in id order, then libraries loaded because a library
    // referenced them.
    std::vector<std::string> getAllLibName() const;
    void allLibs(std::vector<LibraryCfg*>& out) const;
    // Library name -> file id of every configured library (-1 while it is not loaded).
    QMap<QString, int> allLibInfos() const;
    // Library name -> (comment key -> text in the IDE language) of every loaded library. The
    // keys are those of the library's translation table: a POU's name for its comment,
    // "POU.variable" for a variable's.
    QMap<QString, QVariant> libraryDatas() const;
    // The opened library project (a PlcLibraryModel of the project that opened it).
    AbstractProjectModel* libProjectModel(const std::string& name) const;
    AbstractProjectModel::ProjectType getLibType(const std::string& name) const;
    PrjInfoModel::PrjInfo* getLibPrjInfoData(const std::string& name) const;
    std::vector<FolderModel::Folder*> getLibFolderData(const std::string& name) const;
    std::vector<DataTypeModel::DataUnit*> getLibDataTypes(const std::string& name) const;
    std::vector<PouModel::PouUnit*> getLibSymbolData(const std::string& name) const;
    std::vector<GlobalVarModel::GlobalVarTable*> getLibGlobalVars(const std::string& name) const;
    const LibraryData* getLibData(const std::string& name) const;

    bool isBaseLib(const std::string& name) const;
    bool isExpandLib(const std::string& name) const;
    bool isBaseChildLib(const std::string& name) const;
    bool isBaseAndExpandLib(const std::string& name) const;
    bool isLibPathExit(const std::string& path) const;
    // True when a loaded library has the base name of `name` ("Motion.NVL" finds
    // "motion.nvl"), letters compared without regard to case.
    bool isLibExit(const std::string& name) const;

    // The first unused file id, marked used.
    int getFileId();
    bool resetModel(QSqlDatabase*) { return true; }

    // A version folder name: "^\d+(\.\d+)*$".
    static bool isVersionText(const QString& text);
    // Versions compared number by number ("0.10.0.0" above "0.9.0.0"); missing numbers count
    // as 0. Negative, 0 or positive as a is below, equal to or above b.
    static int compareVersions(const QString& a, const QString& b);
    // The highest version folder in `dir`; empty when there is none.
    static QString latestVersion(const QString& dir);

public slots:
    bool open() override;
    bool save() override { return true; }
    bool saveAs(bool flag) override;

private slots:
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject*) override { return true; }

private:
    friend class LibraryCfg;
    friend class LibraryChange;
    // The name index of the libraries follows a rename.
    void objectRenamed(ModelObject* object, const std::string& oldName) override;
    bool registerWithCore(LibraryData& data, const std::string& name, QString& message);
    void withdrawFromCore(int fileId);
    // The file id of a library path, a new one when the path has none; recorded in LibIdMap
    // when `record`. -1 when no id is left or the file refuses the record.
    int path2LibFileId(const std::string& path, bool record);
    // Opened only to be read: file ids live for the session.
    bool isReadOnly() const;
    void forgetFileId(int fileId);
    bool insertFileIdRow(int fileId, const std::string& path);
    bool deleteFileIdRow(int fileId);
    bool exec(const QString& statement, const std::string& what);
    // Updates the row of a configuration (one not yet in the table too).
    bool writeRow(LibraryCfg* cfg);
    void keepLoaded(const std::string& name, std::unique_ptr<AbstractProjectModel> project, const LibraryData& data);
    std::unique_ptr<AbstractProjectModel> dropLoaded(std::string name, LibraryData* data = nullptr);
    void libPouCommentData();
    QString projectDir() const;
    std::string coreName() const;
    struct WalkEntry;
    void loadOne(const WalkEntry& entry, std::vector<WalkEntry>& walk);
    bool hasCore() const;
    template <typename Field>
    Field libField(const std::string& name, Field LibraryData::*field, Field none) const;

    std::unique_ptr<LibraryModelPrivate> d;
};

class DATAMODEL_EXPORT LibraryModel::LibraryCfg : public ModelObject
{
public:
    LibraryCfg(unsigned int id, const std::string& name, SubModel* owner);

    unsigned int id() const { return m_id; }
    const std::string& name() const { return m_name; }
    const std::string& path() const { return m_path; }
    unsigned int mdfTime() const { return m_mdfTime; }
    std::string property(const std::string& key, const std::string& defaultValue = std::string()) const;
    std::map<std::string, std::string> propertys() const { return m_properties.map(); }
    const StringProperties& properties() const { return m_properties; }

    // These store only: the owner writes the row when its operation is complete.
    void rename(const std::string& name);
    void setmdfTime(unsigned int time) { m_mdfTime = time; }
    bool setProperty(const std::string& key, const std::string& value);
    // Stores the path and has the owner write the row at once.
    void setPath(const std::string& path);

private:
    friend class LibraryModel;
    friend class LibraryChange;
    unsigned int m_id;
    std::string m_name;
    std::string m_path;
    unsigned int m_mdfTime = 0;
    StringProperties m_properties;
};
