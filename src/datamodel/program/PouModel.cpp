#include "datamodel/program/PouModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/StoredProperty_p.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/program/ProgramRules_p.h"
#include "datamodel/program/TaskModel.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

using Column = ObjectData;
const QString LANGUAGETYPE = QStringLiteral("LANGUAGETYPE");
const QString VARDECLARATION = QStringLiteral("VARDECLARATION");
const QString LOGICCONTEXT = QStringLiteral("LOGICCONTEXT");
const QString GRAPHDATA = QStringLiteral("GRAPHDATA");
// The task calls of a POU, kept in the object data of its removal.
const QString CALLS = QStringLiteral("CALLS");

// The columns the model reads; the texts arrive as UTF-8 bytes.
const QString selectPous = QStringLiteral("SELECT ID, TYPE, LANGUAGETYPE, ") + ObjectData::textColumn(Column::Name) + ", "
                           + ObjectData::textColumn(VARDECLARATION) + ", " + ObjectData::textColumn(LOGICCONTEXT)
                           + ", MODIFYTIME, FOLDERID, " + ObjectData::textColumn(Column::Properties) + ", GRAPHDATA FROM POU";

unsigned int nowSeconds()
{
    return static_cast<unsigned int>(QDateTime::currentSecsSinceEpoch());
}

std::vector<char> toVector(const QByteArray& bytes)
{
    return std::vector<char>(bytes.constData(), bytes.constData() + bytes.size());
}

// The columns of one POU row, found once per query.
struct PouColumns
{
    explicit PouColumns(const QSqlRecord& record)
        : id(record.indexOf(Column::Id)), type(record.indexOf(Column::Type)), language(record.indexOf(LANGUAGETYPE)),
          name(record.indexOf(Column::Name)), declaration(record.indexOf(VARDECLARATION)),
          logic(record.indexOf(LOGICCONTEXT)), modifyTime(record.indexOf(Column::ModifyTime)),
          folder(record.indexOf(Column::FolderId)), properties(record.indexOf(Column::Properties)), graph(record.indexOf(GRAPHDATA))
    {
    }
    // The content columns of the current row.
    PouModel::PouUnit::Content content(const QSqlQuery& query) const
    {
        return {ObjectData::utf8(query.value(declaration)), ObjectData::utf8(query.value(logic)),
                query.value(modifyTime).toUInt(), query.value(properties).toByteArray(),
                toVector(query.value(graph).toByteArray())};
    }
    int id, type, language, name, declaration, logic, modifyTime, folder, properties, graph;
};

} // namespace

PouModel::PouModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("POU"),
                    {Column::Type, LANGUAGETYPE, Column::Name, VARDECLARATION, LOGICCONTEXT, Column::ModifyTime, Column::FolderId, Column::Properties, GRAPHDATA},
                    "POU")
{
}

PouModel::~PouModel() = default;

PouModel::PouUnit* PouModel::addPou(const std::string& name, PouType type, PouLanguageType language,
                                    unsigned int folderId)
{
    if (!allowAdd(name, folderId))
        return nullptr;
    const unsigned int id = newObjectId(name);
    if (id == IDDistributor::INVALID_ID)
        return nullptr;
    auto pou = std::make_unique<PouUnit>(id, name, type, language, this);
    pou->m_folderId = folderId;
    return insertNew(std::move(pou));
}

PouModel::PouUnit* PouModel::pou(unsigned int id) const
{
    return objects().find(id);
}

PouModel::PouUnit* PouModel::pou(const QString& name) const
{
    return findByName(name);
}

void PouModel::allPous(std::vector<PouUnit*>& out, int typeMask) const
{
    objects().forEach([&out, typeMask](PouUnit* pou) {
        if ((pou->type() & typeMask) != 0)
            out.push_back(pou);
    });
}

QStringList PouModel::interruptPous() const
{
    QStringList names;
    objects().forEach([&names](PouUnit* pou) {
        if (pou->property("ChildProgramType") == "ChildIntProgram")
            names << QString::fromStdString(pou->name());
    });
    return names;
}

bool PouModel::removePou(PouUnit* pou)
{
    if (!objects().contains(pou) || !allowRemove(*pou))
        return false;
    if (auto* tasks = projectModel() ? projectModel()->subModel<TaskModel>() : nullptr)
        tasks->removeCallsOf(pou->id());
    return eraseObject(pou);
}

DisplayRowStore::Result PouModel::storeDisplayRow(unsigned int id, int row, QString* error)
{
    PouUnit* unit = pou(id);
    if (!unit)
        return NoObject;
    const std::string text = std::to_string(row);
    const StoredProperty::Outcome outcome = StoredProperty::write(
        database(), QStringLiteral("POU"), ObjectData::Id, id, QStringLiteral("Row"), QString::fromStdString(text), error);
    if (outcome == StoredProperty::Written) {
        unit->setStoredRow(text);
        return Stored;
    }
    // Not in the file (yet): the POU carries the row, marked modified, to the next save.
    unit->setProperty("Row", text);
    return outcome == StoredProperty::NoRow ? Pending : Failed;
}

QString PouModel::nameRule(const std::string& name) const
{
    return ProgramRules::identifierRule(name);
}

QString PouModel::nameTaken(const std::string& name, const PouUnit* self) const
{
    return ProgramRules::declaredNameTaken(projectModel(), name, self);
}

QString PouModel::removalRefusal(const PouUnit& pou) const
{
    return ProgramRules::referrers(projectModel(), pou);
}

QString PouModel::folderRefusal(const PouUnit*, unsigned int folderId) const
{
    return ProgramRules::folderRefusal(projectModel(), folderId, FolderModel::PouForder);
}

void PouModel::inserted(PouUnit& pou, const QJsonObject& data)
{
    if (auto* tasks = projectModel() ? projectModel()->subModel<TaskModel>() : nullptr)
        tasks->restoreCalls(pou.id(), ObjectData::text(data, CALLS));
}

QString PouModel::selectStatement() const
{
    return selectPous;
}

bool PouModel::readRows(QSqlQuery& query)
{
    const PouColumns column(query.record());
    while (query.next()) {
        auto pou = std::make_unique<PouUnit>(query.value(column.id).toUInt(),
                                             ObjectData::utf8(query.value(column.name)),
                                             static_cast<PouType>(query.value(column.type).toInt()),
                                             static_cast<PouLanguageType>(query.value(column.language).toInt()),
                                             this);
        pou->m_folderId = query.value(column.folder).toUInt();
        pou->setContent(column.content(query), false);
        insertLoaded(std::move(pou));
    }
    return true;
}

QVector<QVariant> PouModel::rowValues(const PouUnit& pou) const
{
    const std::vector<char>& graph = pou.graphData();
    return {static_cast<int>(pou.type()), static_cast<int>(pou.languageType()), QString::fromStdString(pou.name()),
            QString::fromStdString(pou.varDeclaration()), QString::fromStdString(pou.logicContext()),
            pou.varModifiedTime(), pou.folderId(), pou.propertiesJson(),
            QByteArray(graph.data(), static_cast<int>(graph.size()))};
}

QString PouModel::reloadStatement() const
{
    return selectPous + QStringLiteral(" WHERE ID = ?");
}

void PouModel::reloadRow(PouUnit& pou, const QSqlQuery& query)
{
    const PouColumns column(query.record());
    pou.setName(ObjectData::utf8(query.value(column.name)));
    pou.setContent(column.content(query), true);
    writeLog(HostServices::LogInfo, "重载数据");
}

std::unique_ptr<PouModel::PouUnit> PouModel::fromData(unsigned int id, const QJsonObject& data)
{
    unsigned int folderId = 0;
    int type = 0, language = 0;
    QByteArray graph;
    if (!ObjectData::toInt(data, Column::Type, type) || !ObjectData::toInt(data, LANGUAGETYPE, language)
        || !ObjectData::toUnsigned(data, Column::FolderId, folderId) || !ObjectData::toBytes(data, GRAPHDATA, graph))
        return nullptr;
    auto pou = std::make_unique<PouUnit>(id, ObjectData::utf8(data, Column::Name), static_cast<PouType>(type),
                                         static_cast<PouLanguageType>(language), this);
    pou->m_folderId = folderId;
    pou->setContent({ObjectData::utf8(data, VARDECLARATION), ObjectData::utf8(data, LOGICCONTEXT), nowSeconds(),
                     ObjectData::text(data, Column::Properties).toUtf8(), toVector(graph)},
                    false);
    return pou;
}

QJsonObject PouModel::toData(const PouUnit& pou) const
{
    const std::vector<char>& graph = pou.graphData();
    auto* tasks = projectModel() ? projectModel()->subModel<TaskModel>() : nullptr;
    return {{Column::Id, QString::number(pou.id())},
            {CALLS, tasks ? tasks->callPositions(pou.id()) : QString()},
            {Column::Type, QString::number(pou.type())},
            {LANGUAGETYPE, QString::number(pou.languageType())},
            {Column::Name, QString::fromStdString(pou.name())},
            {VARDECLARATION, QString::fromStdString(pou.varDeclaration())},
            {LOGICCONTEXT, QString::fromStdString(pou.logicContext())},
            {Column::FolderId, QString::number(pou.folderId())},
            {Column::ModifyTime, QString::number(pou.varModifiedTime())},
            {Column::Properties, pou.propertiesJson()},
            {GRAPHDATA, QString::fromLatin1(QByteArray(graph.data(), static_cast<int>(graph.size())).toBase64())}};
}

bool PouModel::restoreFrom(PouUnit& pou, const QString& data)
{
    QJsonObject object;
    unsigned int modifyTime = 0;
    QByteArray graph;
    if (!ObjectData::parse(data, object) || !ObjectData::toUnsigned(object, Column::ModifyTime, modifyTime)
        || !ObjectData::toBytes(object, GRAPHDATA, graph))
        return false;
    pou.setContent({ObjectData::utf8(object, VARDECLARATION), ObjectData::utf8(object, LOGICCONTEXT), modifyTime,
                    ObjectData::text(object, Column::Properties).toUtf8(), toVector(graph)},
                   true);
    // The restored content differs from what the file may hold by now: without the flag the
    // next save would keep the undone text in the file.
    pou.setModified(true);
    markModified();
    return true;
}

template class TableSubModel<PouModel>;

// ---- PouUnit ----

PouModel::PouUnit::PouUnit(unsigned int id, const std::string& name, PouType type, PouLanguageType language,
                           SubModel* owner)
    : DeclaredObject(PouKind, id, name, 0, owner), m_type(type), m_language(language)
{
}

int PouModel::PouUnit::coreParseKind() const
{
    switch (m_type) {
    case PRGPOU: return ac::PK_PROGRAM;
    case FCPOU: return ac::PK_FUNCTION;
    case FBPOU: return ac::PK_FUNCTION_BLOCK;
    }
    return ac::PK_UNKNOWN;
}

void PouModel::PouUnit::setContent(Content content, bool mergeProperties)
{
    m_logicContext = std::move(content.logicContext);
    assignDeclaration(std::move(content.varDeclaration));
    m_modifiedTime = content.modifyTime;
    if (!mergeProperties)
        m_properties.clear();
    m_properties.merge(content.properties);
    m_graphData = std::move(content.graphData);
    setFbInstancesStr(QString::fromStdString(property("FbInstances")));
}

std::string PouModel::PouUnit::tempProperty(const std::string& key, const std::string& defaultValue) const
{
    auto it = m_tempProperties.find(key);
    return it == m_tempProperties.end() ? defaultValue : it->second;
}

bool PouModel::PouUnit::rename(const std::string& name)
{
    auto* model = qobject_cast<PouModel*>(subModel());
    if (model && !model->allowRename(*this, name))
        return false;
    setName(name);
    touch();
    logThroughOwner("程序修改名称:" + name);
    return true;
}

void PouModel::PouUnit::setType(PouType type)
{
    m_type = type;
    touch();
    logThroughOwner("程序修改类型:" + std::to_string(static_cast<int>(type)));
}

void PouModel::PouUnit::setLogicContext(const std::string& text)
{
    m_logicContext = text;
    textsChanged();
    touch();
    logThroughOwner("程序修改逻辑文本");
}

void PouModel::PouUnit::setGraphData(const std::vector<char>& data)
{
    m_graphData = data;
    touch();
}

bool PouModel::PouUnit::setTempProperty(const std::string& key, const std::string& value)
{
    m_tempProperties[key] = value;
    return true;
}

void PouModel::PouUnit::setFbInstances(const QStringList& instances)
{
    m_fbInstances = instances;
    QString text;
    for (const QString& instance : instances)
        text += instance + QLatin1Char(';');
    setProperty("FbInstances", text.toStdString());
}

void PouModel::PouUnit::setFbInstancesStr(const QString& instances)
{
    if (instances.isEmpty())
        return;
    m_fbInstances = instances.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

void PouModel::PouUnit::addVarDeclarationErr(ac::ACMessage& message)
{
    std::vector<ac::ACMessage> one{message};
    addVarDeclarationErr(one);
}

void PouModel::PouUnit::addPouLogicErr(std::vector<ac::ACMessage>& messages)
{
    m_pouLogicErr.insert(m_pouLogicErr.end(), messages.begin(), messages.end());
}
