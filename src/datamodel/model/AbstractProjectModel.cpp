#include "datamodel/model/AbstractProjectModel.h"

#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/SubModel.h"

#include <QSqlQuery>

const QString AbstractProjectModel::DefaultPassword = QStringLiteral("kv rond");

class AbstractProjectModelPrivate
{
public:
    std::string name;
    std::string filePath;
    std::string absoluteFilePath;
    std::map<std::string, SubModel*> subModels; // owned
    std::map<std::string, QObject*> extensions; // not owned
    AbstractProjectModel::ProjectType type = AbstractProjectModel::Unknown;
    int fileId = 0;
    bool updateStatus = true;
    QSqlDatabase db;
    QString password;
    QString lastError; // the first failure of the running or last save or open
    // Statements prepared on `db`; dropped before the connection changes or closes.
    std::map<QString, std::unique_ptr<QSqlQuery>> statements;
};

AbstractProjectModel::AbstractProjectModel(std::string name, std::string filePath, std::string absoluteFilePath)
    : d(std::make_unique<AbstractProjectModelPrivate>())
{
    d->name = std::move(name);
    d->filePath = std::move(filePath);
    d->absoluteFilePath = std::move(absoluteFilePath);
}

AbstractProjectModel::~AbstractProjectModel()
{
    // Sub-models may still hold statements or rows of this connection: they go first.
    deleteSubModels();
    closeDb();
}

void AbstractProjectModel::deleteSubModels()
{
    for (auto& entry : d->subModels)
        delete entry.second;
    d->subModels.clear();
}

const std::string& AbstractProjectModel::name() const { return d->name; }
void AbstractProjectModel::setName(std::string name) { d->name = std::move(name); }
const std::string& AbstractProjectModel::filePath() const { return d->filePath; }
void AbstractProjectModel::setFilePath(std::string filePath) { d->filePath = std::move(filePath); }
const std::string& AbstractProjectModel::absoultFilePath() const { return d->absoluteFilePath; }
AbstractProjectModel::ProjectType AbstractProjectModel::type() const { return d->type; }
void AbstractProjectModel::setProjectType(ProjectType type) { d->type = type; }
int AbstractProjectModel::getFileID() const { return d->fileId; }
void AbstractProjectModel::setFileId(int fileId) { d->fileId = fileId; }
bool AbstractProjectModel::isUpdateStatue() const { return d->updateStatus; }
void AbstractProjectModel::setUpdateStatue(bool update) { d->updateStatus = update; }
QSqlDatabase AbstractProjectModel::db() const { return d->db; }
QString AbstractProjectModel::password() const { return d->password; }
void AbstractProjectModel::setPassword(const QString& password) { d->password = password; }

void AbstractProjectModel::setSqlDatabase(QSqlDatabase* db)
{
    if (!db || db->connectionName() == d->db.connectionName())
        return;
    closeDb();
    d->db = *db;
}

QSqlDatabase AbstractProjectModel::exchangeDatabase(QSqlDatabase db)
{
    finishStatements();
    QSqlDatabase previous = d->db;
    d->db = std::move(db);
    return previous;
}

void AbstractProjectModel::closeDb()
{
    finishStatements();
    DatabaseConnection::remove(d->db);
}

void AbstractProjectModel::finishStatements()
{
    d->statements.clear();
}

QSqlQuery& AbstractProjectModel::preparedQuery(const QString& statement)
{
    auto& query = d->statements[statement];
    if (!query) {
        query = std::make_unique<QSqlQuery>(d->db);
        query->setForwardOnly(true);
        query->prepare(statement);
    }
    return *query;
}

QString AbstractProjectModel::lastError() const
{
    return d->lastError;
}

void AbstractProjectModel::noteFailure(const std::string& text)
{
    if (d->lastError.isEmpty())
        d->lastError = QString::fromStdString(text);
}

void AbstractProjectModel::clearLastError()
{
    d->lastError.clear();
}

QString AbstractProjectModel::typeText(ProjectType type)
{
    switch (type) {
    case Project: return QStringLiteral("Project");
    case UserLib: return QStringLiteral("UserLib");
    case FirmwareLib: return QStringLiteral("FirmwareLib");
    case CompiledLib: return QStringLiteral("CompiledLib");
    default: return QString();
    }
}

AbstractProjectModel::ProjectType AbstractProjectModel::typeFromText(const std::string& text)
{
    if (text == "Project")
        return Project;
    if (text == "UserLib")
        return UserLib;
    if (text == "FirmwareLib")
        return FirmwareLib;
    return Unknown;
}

std::unique_ptr<AbstractProjectModel> AbstractProjectModel::openLibraryFile(const std::string&,
                                                                            const std::string& filePath,
                                                                            const QString&) const
{
    HostServices::log("AbstractProjectModel", HostServices::LogInfo,
                      "project '" + name() + "' cannot read library " + filePath + ": it reads no libraries");
    return nullptr;
}

bool AbstractProjectModel::addSubModel(SubModel* model)
{
    if (!model || d->subModels.count(model->name()))
        return false;
    d->subModels[model->name()] = model;
    return true;
}

SubModel* AbstractProjectModel::subModel(const std::string& name) const
{
    auto it = d->subModels.find(name);
    return it == d->subModels.end() ? nullptr : it->second;
}

std::vector<SubModel*> AbstractProjectModel::subModels() const
{
    std::vector<SubModel*> out;
    out.reserve(d->subModels.size());
    for (const auto& entry : d->subModels)
        out.push_back(entry.second);
    return out;
}

const std::map<std::string, SubModel*>& AbstractProjectModel::subModelMap() const
{
    return d->subModels;
}

bool AbstractProjectModel::addExtension(QObject* extension)
{
    if (!extension)
        return false;
    const std::string key = extension->objectName().toStdString();
    if (d->extensions.count(key))
        return false;
    d->extensions[key] = extension;
    return true;
}

QObject* AbstractProjectModel::extension(const std::string& name) const
{
    auto it = d->extensions.find(name);
    return it == d->extensions.end() ? nullptr : it->second;
}
