#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/program/CachedProperties.h"

#include "accore/ACMessage.h"

#include <map>
#include <string>
#include <vector>

class SubModel;

// An object whose text declares symbols for the compiler core: a POU (PouModel::PouUnit), a
// data type (DataTypeModel::DataUnit) or a global variable list (GlobalVarModel::GlobalVarTable).
// What they have in common lives here, so that callers (the synchroniser, the library model,
// front ends) treat them alike and tell them apart by kind() instead of by casts.
//
// Every content change marks the object modified, stamps its change time and marks the project
// as needing compilation.
class DATAMODEL_EXPORT DeclaredObject : public ModelObject
{
public:
    enum Kind : int { PouKind = 0, DataTypeKind = 1, GlobalVarKind = 2 };

    Kind kind() const { return m_kind; }
    unsigned int id() const { return m_id; }
    const std::string& name() const { return m_name; }
    unsigned int folderId() const { return m_folderId; }
    const std::string& varDeclaration() const { return m_varDeclaration; }
    unsigned int compileTime() const { return m_compileTime; }
    // Seconds since 1970 of the last content change.
    unsigned int modifiedTime() const { return m_modifiedTime; }
    // Milliseconds since 1970 of the last parse of the declaration by the synchroniser.
    long long syncTime() const { return m_syncTime; }
    // Whether the declaration was parsed after its last change ("VarDeclModifiedTime").
    bool declarationInSync() const;
    // The kind that the compiler core's parser takes for this object's declaration
    // (ac::PouKind or ac::TypeKind; -1 lets the text decide).
    virtual int coreParseKind() const = 0;

    std::string property(const std::string& key, const std::string& defaultValue = std::string()) const;
    std::map<std::string, std::string> propertys() const;
    const StringProperties& properties() const;
    // The Properties column's text.
    const QString& propertiesJson() const;

    // The compiler core's messages about the declaration.
    std::vector<ac::ACMessage> getVarDeclarationErr() const { return m_declarationErrors; }
    void addVarDeclarationErr(std::vector<ac::ACMessage>& messages);
    void varDeclarationErrClear() { m_declarationErrors.clear(); }

    void setVarDeclaration(const std::string& text);
    bool setProperty(const std::string& key, const std::string& value);
    void setCompileTime(unsigned int time);
    void setFolderId(unsigned int folderId);
    void setModifiedTime(unsigned int time) { m_modifiedTime = time; }
    void setSyncTime(long long time) { m_syncTime = time; }

    // A count that grows whenever any declared object is made or its texts change, in any
    // project: what was derived from the texts of a project (the index of the names they use)
    // stays valid while it does not move.
    static unsigned long long textGeneration();

protected:
    DeclaredObject(Kind kind, unsigned int id, const std::string& name, unsigned int folderId, SubModel* owner);
    ~DeclaredObject() override;

    // The content changed: modified flag, change time, recompilation mark.
    void touch();
    // Takes a new name and tells the owning model (its name index); no other effect.
    void setName(const std::string& name);
    // Stamps "VarDeclModifiedTime" with the current time in milliseconds.
    void stampDeclaration();
    // Takes a declaration read from the file or from object data, without touching.
    void assignDeclaration(std::string text);
    // A text of the object changed.
    static void textsChanged();

    // Read from the file or from object data by the owning model, without touching. The name
    // changes through setName() only: the owning model keeps an index of the names.
    unsigned int m_folderId;
    unsigned int m_modifiedTime = 0;
    CachedProperties m_properties;

private:
    std::string m_varDeclaration;
    std::string m_name;
    Kind m_kind;
    unsigned int m_id;
    unsigned int m_compileTime = 0;
    long long m_syncTime = 0;
    std::vector<ac::ACMessage> m_declarationErrors;
};
