#include "datamodel/model/PrjInfoModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/SoftAssert_p.h"
#include "datamodel/model/SqlText_p.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

class PrjInfoModelPrivate
{
public:
    bool clearModifiedOnSave = true; // false after an automatic save into another file
    std::unique_ptr<PrjInfoModel::PrjInfo> info;
};

namespace {

std::string param(const std::map<std::string, std::string>& params, const char* key)
{
    auto it = params.find(key);
    return it == params.end() ? std::string() : it->second;
}

std::string text(const QSqlRecord& row, const char* column)
{
    return row.value(QLatin1String(column)).toString().toStdString();
}

} // namespace

PrjInfoModel::PrjInfoModel(const std::string& name, AbstractProjectModel* project)
    : SubModel(name, project), d(std::make_unique<PrjInfoModelPrivate>())
{
}

PrjInfoModel::~PrjInfoModel() = default;

PrjInfoModel::PrjInfo* PrjInfoModel::projectInfo() const
{
    return d->info.get();
}

QString PrjInfoModel::uuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool PrjInfoModel::resetModel(QSqlDatabase*)
{
    return true;
}

bool PrjInfoModel::create(const std::map<std::string, std::string>& params)
{
    if (!readRow(QStringLiteral("SELECT * FROM ProjectInfo")))
        return false;
    PrjInfo* info = d->info.get();
    info->rename(param(params, "fileName"));
    info->setType(AbstractProjectModel::typeFromText(param(params, "projectType")));
    info->setComments(param(params, "comments"));
    info->setAuthor(param(params, "author"));
    info->setCreateVersion(param(params, "createVersion"));
    info->setProperty("ProjectUUID", uuid().toStdString());
    info->setProperty("ProgramStyle", param(params, "programStyle"));
    return saveObject(info);
}

bool PrjInfoModel::open()
{
    if (!readRow(QStringLiteral("SELECT * FROM ProjectInfo")))
        return false;
    d->info->setModified(false);
    return true;
}

// Builds the information object from the first row that `statement` selects.
bool PrjInfoModel::readRow(const QString& statement)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(statement) || !query.next()) {
        logFailure("reading the project information failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    const QSqlRecord row = query.record();
    auto info = std::make_unique<PrjInfo>(
        static_cast<AbstractProjectModel::ProjectType>(row.value(QStringLiteral("Type")).toInt()),
        text(row, "Name"), this);
    info->setId(row.value(QStringLiteral("Id")).toUInt());
    info->setComments(text(row, "Description"));
    info->setAuthor(text(row, "Author"));
    info->setVersion(text(row, "Version"));
    info->setCreateVersion(text(row, "VersionCreated"));
    info->setModifyVersion(text(row, "VersionModified"));
    info->setStoredPassword(text(row, "Passwrod"));
    StringProperties::fromJson(row.value(QStringLiteral("Properties")).toString(),
                               [&info](const std::string& key, const std::string& value) {
                                   info->setProperty(key, value);
                               });
    info->setCompany(info->property("Company", "Norvale"));
    d->info = std::move(info);
    return true;
}

bool PrjInfoModel::loadObject(ModelObject* obj)
{
    DATAMODEL_ASSERT(obj && obj == d->info.get(), return false);
    PrjInfo* info = d->info.get();
    const QString name = QString::fromStdString(info->name());
    if (!readRow(QStringLiteral("SELECT * FROM ProjectInfo where name = ") + SqlText::literal(name)))
        return false;
    d->info->setModified(false);
    return true;
}

bool PrjInfoModel::saveObject(ModelObject* obj)
{
    // The model writes its own record only.
    DATAMODEL_ASSERT(obj && obj == d->info.get(), return false);
    PrjInfo* info = d->info.get();
    QSqlQuery query(database());
    query.prepare(QStringLiteral("UPDATE ProjectInfo SET Name=?, Type=?, Description=?, Author=?, Version=?, "
                                 "VersionCreated=?, VersionModified=?, Properties=?  WHERE Id=")
                  + QString::number(info->id()));
    query.addBindValue(QString::fromStdString(info->name()));
    query.addBindValue(static_cast<int>(info->type()));
    query.addBindValue(QString::fromStdString(info->comments()));
    query.addBindValue(QString::fromStdString(info->author()));
    query.addBindValue(QString::fromStdString(info->version()));
    query.addBindValue(QString::fromStdString(info->createVersion()));
    query.addBindValue(QString::fromStdString(info->modifyVersion()));
    query.addBindValue(info->properties().toJson());
    if (!query.exec()) {
        logFailure("saving the project information of '" + info->name()
                                            + "' failed: " + query.lastError().text().toStdString());
        return false;
    }
    // An update that found no row wrote nothing: that is no success.
    if (query.numRowsAffected() < 1) {
        logFailure("saving the project information of '" + info->name()
                                            + "' failed: the file holds no information row "
                                            + std::to_string(info->id()));
        return false;
    }
    afterSave([this, info] {
        if (d->info.get() == info && d->clearModifiedOnSave)
            info->setModified(false);
    });
    return true;
}

bool PrjInfoModel::save()
{
    if (!d->info || !d->info->isModified())
        return true;
    return saveObject(d->info.get());
}

bool PrjInfoModel::saveAs(bool flag)
{
    d->clearModifiedOnSave = flag;
    return true;
}

bool PrjInfoModel::removeProjectInfo()
{
    if (!d->info)
        return false;
    QSqlQuery query(database());
    return query.exec(QStringLiteral("delete from ProjectInfo where name = ")
                      + SqlText::literal(QString::fromStdString(d->info->name())));
}

PrjInfoModel::PrjInfo::PrjInfo(AbstractProjectModel::ProjectType type, const std::string& name, SubModel* subModel)
    : ModelObject(subModel), m_type(type), m_name(name)
{
}

void PrjInfoModel::PrjInfo::setType(AbstractProjectModel::ProjectType type) { m_type = type; touch(); }
void PrjInfoModel::PrjInfo::rename(const std::string& name) { m_name = name; touch(); }
void PrjInfoModel::PrjInfo::setComments(const std::string& comments) { m_comments = comments; touch(); }
void PrjInfoModel::PrjInfo::setAuthor(const std::string& author) { m_author = author; touch(); }
void PrjInfoModel::PrjInfo::setVersion(const std::string& version) { m_version = version; touch(); }
void PrjInfoModel::PrjInfo::setCreateVersion(const std::string& version) { m_createVersion = version; touch(); }
void PrjInfoModel::PrjInfo::setModifyVersion(const std::string& version) { m_modifyVersion = version; touch(); }

std::string PrjInfoModel::PrjInfo::version() const
{
    return m_version.empty() ? std::string("0.0.0.0") : m_version;
}

std::string PrjInfoModel::PrjInfo::property(const std::string& key, const std::string& defaultValue) const
{
    return m_properties.value(key, defaultValue);
}

bool PrjInfoModel::PrjInfo::setProperty(const std::string& key, const std::string& value)
{
    m_properties.set(key, value);
    touch();
    return true;
}

void PrjInfoModel::PrjInfo::setProgramOrCfgTime(bool cfg)
{
    AbstractProjectModel* project = subModel() ? subModel()->projectModel() : nullptr;
    if (!project || !project->isUpdateStatue())
        return;
    setProperty(cfg ? "CfgModifiedTime" : "ProgramModifiedTime",
                std::to_string(QDateTime::currentSecsSinceEpoch()));
}

QMap<int, QString> PrjInfoModel::PrjInfo::getFbInstances() const
{
    QMap<int, QString> merged;
    for (const auto& byAddress : m_fbInstances)
        for (auto it = byAddress.begin(); it != byAddress.end(); ++it)
            merged.insert(it.key(), it.value());
    return merged;
}

QMap<int, QString> PrjInfoModel::PrjInfo::getFbInstancesByName(const QString& typeName) const
{
    return m_fbInstances.value(typeName);
}

QStringList PrjInfoModel::PrjInfo::getAllFbInstancesByName(const QString& typeName) const
{
    return m_fbInstances.value(typeName).values();
}

QString PrjInfoModel::PrjInfo::getFbInstanceByNameAndAddr(const QString& typeName, int address) const
{
    return m_fbInstances.value(typeName).value(address);
}
