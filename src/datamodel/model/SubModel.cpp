#include "datamodel/model/SubModel.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ScopedTransaction_p.h"

#include <QSqlError>
#include <QSqlQuery>

SubModel::SubModel(const std::string& name, AbstractProjectModel* projectModel)
    : m_name(name), m_projectModel(projectModel)
{
}

SubModel::~SubModel() = default;

bool SubModel::create(const std::map<std::string, std::string>&)
{
    return open();
}

bool SubModel::insertObject(const QString&, const QString&) { return false; }
bool SubModel::removeObject(const QString&, QString&) { return false; }
bool SubModel::renameObject(const QString&, const QString&) { return false; }
bool SubModel::moveObject(const QString&, const QString&) { return false; }
bool SubModel::changeProperty(const QString&, const QString&, const QString&, const QString&) { return false; }
QString SubModel::getObjPath(ModelObject*) { return QString(); }
QString SubModel::getObjIndex(ModelObject*) { return QString(); }
QString SubModel::objToData(ModelObject*) { return QString(); }
bool SubModel::restoreObj(ModelObject*, const QString&) { return true; }
bool SubModel::refersTo(const std::string&, unsigned int) const { return false; }

bool SubModel::refuse(const QString& message) const
{
    m_lastError = message;
    writeLog(HostServices::LogInfo, message.toStdString());
    return false;
}

QSqlDatabase SubModel::database() const
{
    return m_projectModel ? m_projectModel->db() : QSqlDatabase();
}

void SubModel::writeLog(int type, const std::string& text) const
{
    HostServices::log(m_name, type, text);
}

void SubModel::logFailure(const std::string& text) const
{
    writeLog(HostServices::LogInfo, text);
    if (m_projectModel)
        m_projectModel->noteFailure(text);
}

bool SubModel::readToTheEnd(const QSqlQuery& query, const char* table) const
{
    if (!query.lastError().isValid())
        return true;
    logFailure(std::string("reading table ") + table + " of " + database().databaseName().toStdString()
               + " failed: " + query.lastError().text().toStdString());
    return false;
}

void SubModel::afterSave(std::function<void()> work) const
{
    ScopedTransaction::afterCommit(database(), std::move(work));
}

void SubModel::markProjectModified(bool cfg) const
{
    auto* infoModel = m_projectModel ? m_projectModel->subModel<PrjInfoModel>() : nullptr;
    PrjInfoModel::PrjInfo* info = infoModel ? infoModel->projectInfo() : nullptr;
    if (!info)
        return;
    info->setProperty("Compile", "false");
    info->setProgramOrCfgTime(cfg);
}
