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

class DataTypeModelPrivate;

// The user data types of a project (table DataType): structures and enumerations, each one
// TYPE declaration text. Every content change marks the project as needing compilation.
class DATAMODEL_EXPORT DataTypeModel : public SubModel
{
    Q_OBJECT
public:
    class DataUnit;
    // Stored and handed back, never interpreted here.
    enum PrjDataType : int { Struct = 0, Enum = 1 };

    DataTypeModel(const std::string& name, AbstractProjectModel* project);
    ~DataTypeModel() override;

    // A new type under the first free id; null only when no id is left. Names are not
    // checked: two types may bear one name.
    DataUnit* addDataUnit(const std::string& name, PrjDataType type, unsigned int folderId);
    DataUnit* dataUnit(unsigned int id) const;
    // The first type in id order whose name equals `name` ignoring case.
    DataUnit* dataUnit(const QString& name) const;
    void allDataUnits(std::vector<DataUnit*>& out) const;
    bool removeDataUnit(DataUnit* unit);

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

private slots:
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    bool writeRow(DataUnit* unit);
    void markModified() const;

    std::unique_ptr<DataTypeModelPrivate> d;
};

class DATAMODEL_EXPORT DataTypeModel::DataUnit : public ModelObject
{
public:
    DataUnit(unsigned int id, const std::string& name, PrjDataType type, unsigned int folderId, SubModel* owner);

    unsigned int id() const { return m_id; }
    PrjDataType type() const { return m_type; }
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
    friend class DataTypeModel;
    void touch();

    unsigned int m_id;
    std::string m_name;
    PrjDataType m_type;
    std::string m_varDeclaration;
    unsigned int m_compileTime = 0;
    unsigned int m_modifiedTime = 0;
    long long m_synceTime = 0;
    unsigned int m_folderId;
    CachedProperties m_properties;
    std::vector<ac::ACMessage> m_varDeclarationErr;
};
