#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/program/CachedProperties.h"
#include "datamodel/model/SubModel.h"

#include "accore/ACMessage.h"

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

class DATAMODEL_EXPORT GlobalVarModel::GlobalVarTable : public ModelObject
{
public:
    GlobalVarTable(unsigned int id, const std::string& name, unsigned int folderId, SubModel* owner);

    unsigned int id() const { return m_id; }
    const std::string& name() const { return m_name; }
    const std::string& varDeclaration() const { return m_varDeclaration; }
    unsigned int compileTime() const { return m_compileTime; }
    // Seconds since 1970 of the last content change.
    unsigned int modifiedTime() const { return m_modifiedTime; }
    long long synceTime() const { return m_synceTime; }
    unsigned int folderId() const { return m_folderId; }
    std::string property(const std::string& key, const std::string& defaultValue = std::string()) const;
    std::map<std::string, std::string> propertys() const { return m_properties.map(); }
    const StringProperties& properties() const { return m_properties.properties(); }
    // The Properties column's text.
    const QString& propertiesJson() const { return m_properties.toJson(); }
    std::vector<ac::ACMessage> getVarDeclarationErr() const { return m_varDeclarationErr; }

    void rename(const std::string& name);
    void setVarDeclaration(const std::string& text);
    bool setProperty(const std::string& key, const std::string& value);
    void setCompileTime(unsigned int time);
    void setFolderId(unsigned int folderId);
    void setModifiedTime(unsigned int time) { m_modifiedTime = time; }
    void setSynceTime(long long time) { m_synceTime = time; }
    void addVarDeclarationErr(std::vector<ac::ACMessage>& messages);
    void varDeclarationErrClear() { m_varDeclarationErr.clear(); }

private:
    friend class GlobalVarModel;
    void touch();
    void stampDeclaration();

    unsigned int m_id;
    std::string m_name;
    std::string m_varDeclaration;
    unsigned int m_compileTime = 0;
    unsigned int m_modifiedTime = 0;
    long long m_synceTime = 0;
    unsigned int m_folderId;
    CachedProperties m_properties;
    std::vector<ac::ACMessage> m_varDeclarationErr;
};
