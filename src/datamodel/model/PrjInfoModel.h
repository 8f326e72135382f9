#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/ObjectProperties.h"
#include "datamodel/model/SubModel.h"

#include <QMap>
#include <QStringList>

#include <memory>

class PrjInfoModelPrivate;

// The one project information record of a project or library (table ProjectInfo): name, type,
// description, author, versions, and the properties that carry the project's identity
// ("ProjectUUID"), program style, company and the times of the last program and
// configuration change.
class DATAMODEL_EXPORT PrjInfoModel : public SubModel
{
    Q_OBJECT
public:
    class PrjInfo;

    PrjInfoModel(const std::string& name, AbstractProjectModel* project);
    ~PrjInfoModel() override;

    PrjInfo* projectInfo() const;
    // A new UUID in text form without braces.
    static QString uuid();
    bool removeProjectInfo();
    bool resetModel(QSqlDatabase*);

public slots:
    bool open() override;
    bool create(const std::map<std::string, std::string>& params) override;
    bool save() override;
    bool saveAs(bool flag) override;

private slots:
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    bool readRow(const QString& statement);
    std::unique_ptr<PrjInfoModelPrivate> d;
};

class DATAMODEL_EXPORT PrjInfoModel::PrjInfo : public ModelObject
{
public:
    using FbInstanceMap = QMap<QString, QMap<int, QString>>; // type name -> address -> instance

    PrjInfo(AbstractProjectModel::ProjectType type, const std::string& name, SubModel* subModel);

    unsigned int id() const { return m_id; }
    void setId(unsigned int id) { m_id = id; }
    AbstractProjectModel::ProjectType type() const { return m_type; }
    void setType(AbstractProjectModel::ProjectType type);
    const std::string& name() const { return m_name; }
    void rename(const std::string& name);
    const std::string& comments() const { return m_comments; }
    void setComments(const std::string& comments);
    const std::string& author() const { return m_author; }
    void setAuthor(const std::string& author);
    // "0.0.0.0" while no version is set.
    std::string version() const;
    void setVersion(const std::string& version);
    const std::string& createVersion() const { return m_createVersion; }
    void setCreateVersion(const std::string& version);
    const std::string& modifyVersion() const { return m_modifyVersion; }
    void setModifyVersion(const std::string& version);
    // The Passwrod column as read; never written back (the file is re-keyed instead).
    const std::string& password() const { return m_password; }
    void setStoredPassword(const std::string& password) { m_password = password; }
    const std::string& company() const { return m_company; }
    void setCompany(const std::string& company) { m_company = company; }

    std::string property(const std::string& key, const std::string& defaultValue = std::string()) const;
    bool setProperty(const std::string& key, const std::string& value);
    std::map<std::string, std::string> propertys() const { return m_properties.map(); }
    const StringProperties& properties() const { return m_properties; }

    // Stamps "CfgModifiedTime" (cfg) or "ProgramModifiedTime" with the current time in
    // seconds, unless the project has stamping switched off.
    void setProgramOrCfgTime(bool cfg);

    void setFbInstances(const FbInstanceMap& instances) { m_fbInstances = instances; }
    QMap<int, QString> getFbInstances() const;
    QMap<int, QString> getFbInstancesByName(const QString& typeName) const;
    QStringList getAllFbInstancesByName(const QString& typeName) const;
    QString getFbInstanceByNameAndAddr(const QString& typeName, int address) const;

private:
    void touch() { setModified(true); }

    unsigned int m_id = 1;
    AbstractProjectModel::ProjectType m_type;
    std::string m_name;
    std::string m_comments;
    std::string m_author;
    std::string m_version;
    std::string m_createVersion;
    std::string m_modifyVersion;
    std::string m_password;
    std::string m_company;
    StringProperties m_properties;
    FbInstanceMap m_fbInstances;
};
