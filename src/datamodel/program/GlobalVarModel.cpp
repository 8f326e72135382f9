#include "datamodel/program/GlobalVarModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/program/ProgramRules_p.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

using Column = ObjectData;
const QString TEXT = QStringLiteral("LogicContext");

unsigned int nowSeconds()
{
    return static_cast<unsigned int>(QDateTime::currentSecsSinceEpoch());
}

bool equalsIgnoringAsciiCase(const std::string& a, const QByteArray& b)
{
    if (a.size() != static_cast<std::size_t>(b.size()))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[static_cast<int>(i)];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

GlobalVarModel::GlobalVarModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("GLOBALVAR"),
                    {Column::Name, QStringLiteral("LOGICCONTEXT"), Column::ModifyTime, Column::Properties, Column::FolderId}, "global variable list")
{
}

GlobalVarModel::~GlobalVarModel() = default;

GlobalVarModel::GlobalVarTable* GlobalVarModel::addVarTable(const std::string& name, unsigned int folderId)
{
    if (!allowAdd(name, folderId))
        return nullptr;
    const unsigned int id = newObjectId(name);
    if (id == IDDistributor::INVALID_ID)
        return nullptr;
    GlobalVarTable* list = insertNew(std::make_unique<GlobalVarTable>(id, name, folderId, this));
    writeLog(HostServices::LogInfo, "添加全局变量表:" + name);
    return list;
}

GlobalVarModel::GlobalVarTable* GlobalVarModel::varTable(unsigned int id) const
{
    return objects().find(id);
}

GlobalVarModel::GlobalVarTable* GlobalVarModel::varTable(const QString& name) const
{
    const QByteArray utf8 = name.toUtf8();
    return findNamed(utf8.toStdString(),
                     [&utf8](const GlobalVarTable& list) { return equalsIgnoringAsciiCase(list.name(), utf8); });
}

GlobalVarModel::GlobalVarTable* GlobalVarModel::varTableIgnoringCase(const QString& name) const
{
    return findByName(name);
}

void GlobalVarModel::allVarTables(std::vector<GlobalVarTable*>& out) const
{
    appendAll(out);
}

bool GlobalVarModel::removeVarTable(GlobalVarTable* table)
{
    if (!objects().contains(table) || !allowRemove(*table))
        return false;
    const std::string name = table->name();
    if (!eraseObject(table))
        return false;
    writeLog(HostServices::LogInfo, "删除全局变量表:" + name);
    return true;
}

QString GlobalVarModel::nameRule(const std::string& name) const
{
    return ProgramRules::identifierRule(name);
}

QString GlobalVarModel::nameTaken(const std::string& name, const GlobalVarTable* self) const
{
    return ProgramRules::declaredNameTaken(projectModel(), name, self);
}

QString GlobalVarModel::folderRefusal(const GlobalVarTable*, unsigned int folderId) const
{
    return ProgramRules::folderRefusal(projectModel(), folderId, FolderModel::GlobleVarForder);
}

QString GlobalVarModel::selectStatement() const
{
    return QStringLiteral("SELECT ID, ") + ObjectData::textColumn(Column::Name) + ", " + ObjectData::textColumn(TEXT) + ", "
           + ObjectData::textColumn(Column::Properties) + ", FOLDERID, MODIFYTIME FROM GLOBALVAR";
}

bool GlobalVarModel::readRows(QSqlQuery& query)
{
    const QSqlRecord columns = query.record();
    const int id = columns.indexOf(Column::Id), name = columns.indexOf(Column::Name), text = columns.indexOf(TEXT),
              properties = columns.indexOf(Column::Properties), folder = columns.indexOf(Column::FolderId),
              modifyTime = columns.indexOf(Column::ModifyTime);
    while (query.next()) {
        auto list = std::make_unique<GlobalVarTable>(query.value(id).toUInt(), ObjectData::utf8(query.value(name)),
                                                     query.value(folder).toUInt(), this);
        list->assignDeclaration(ObjectData::utf8(query.value(text)));
        list->m_properties.merge(query.value(properties).toByteArray());
        list->m_modifiedTime = query.value(modifyTime).toUInt();
        insertLoaded(std::move(list));
    }
    return true;
}

QVector<QVariant> GlobalVarModel::rowValues(const GlobalVarTable& list) const
{
    return {QString::fromStdString(list.name()), QString::fromStdString(list.varDeclaration()), list.modifiedTime(),
            list.propertiesJson(), list.folderId()};
}

QString GlobalVarModel::reloadStatement() const
{
    return QStringLiteral("SELECT NAME, LogicContext FROM GLOBALVAR WHERE ID = ?");
}

void GlobalVarModel::reloadRow(GlobalVarTable& list, const QSqlQuery& query)
{
    list.setName(query.value(0).toString().toStdString());
    list.assignDeclaration(query.value(1).toString().toStdString());
}

std::unique_ptr<GlobalVarModel::GlobalVarTable> GlobalVarModel::fromData(unsigned int id, const QJsonObject& data)
{
    unsigned int folderId = 0;
    if (!ObjectData::toUnsigned(data, Column::FolderId, folderId))
        return nullptr;
    auto list = std::make_unique<GlobalVarTable>(id, ObjectData::utf8(data, Column::Name), folderId, this);
    list->assignDeclaration(ObjectData::utf8(data, TEXT));
    list->m_properties.merge(ObjectData::text(data, Column::Properties));
    list->m_modifiedTime = nowSeconds();
    return list;
}

QJsonObject GlobalVarModel::toData(const GlobalVarTable& list) const
{
    return {{Column::Id, QString::number(list.id())},
            {Column::Name, QString::fromStdString(list.name())},
            {TEXT, QString::fromStdString(list.varDeclaration())},
            {Column::FolderId, QString::number(list.folderId())},
            {Column::ModifyTime, QString::number(list.modifiedTime())},
            {Column::Properties, list.propertiesJson()}};
}

bool GlobalVarModel::restoreFrom(GlobalVarTable& list, const QString& data)
{
    QJsonObject object;
    unsigned int modifiedTime = 0;
    if (!ObjectData::parse(data, object) || !ObjectData::toUnsigned(object, Column::ModifyTime, modifiedTime))
        return false;
    list.assignDeclaration(ObjectData::utf8(object, TEXT));
    list.m_modifiedTime = modifiedTime;
    list.m_properties.merge(ObjectData::text(object, Column::Properties));
    // The restored text differs from what the file may hold by now: without the flag the next
    // save would keep the undone text in the file.
    list.setModified(true);
    markModified();
    return true;
}

template class TableSubModel<GlobalVarModel>;

// ---- GlobalVarTable ----

GlobalVarModel::GlobalVarTable::GlobalVarTable(unsigned int id, const std::string& name, unsigned int folderId,
                                               SubModel* owner)
    : DeclaredObject(GlobalVarKind, id, name, folderId, owner)
{
}

int GlobalVarModel::GlobalVarTable::coreParseKind() const
{
    return ac::PK_UNKNOWN;
}

bool GlobalVarModel::GlobalVarTable::rename(const std::string& name)
{
    auto* model = qobject_cast<GlobalVarModel*>(subModel());
    if (model && !model->allowRename(*this, name))
        return false;
    setName(name);
    stampDeclaration();
    touch();
    logThroughOwner("重命名:" + name);
    return true;
}
