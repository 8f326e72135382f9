#include "datamodel/motion/TraceModel.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/motion/MotionSupport_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

template class TableSubModel<TraceModel>;

namespace {
const std::string TraceVars = "TraceVars";
const std::string DownLoadNum = "DownLoadNum";
const QString TraceChange = QStringLiteral("trace");
} // namespace

TraceModel::TraceTable::TraceTable(unsigned int id, const std::string& name, SubModel* owner)
    : ModelObject(owner), m_id(id), m_name(name)
{
}

bool TraceModel::TraceTable::setProperty(const std::string& key, const std::string& value)
{
    m_properties.set(key, value);
    if (key == DownLoadNum)
        return true;
    setModified(true);
    emit dataChanged(this, TraceChange, QString::fromStdString(key));
    return true;
}

bool TraceModel::TraceTable::setTraceVarPropertys(const std::vector<TraceVarProperty>& vars)
{
    m_vars = vars;
    setModified(true);
    emit dataChanged(this, TraceChange, QString::fromStdString(TraceVars));
    return true;
}

void TraceModel::TraceTable::appendTraceVar(const TraceVarProperty& item)
{
    m_vars.push_back(item);
    setModified(true);
    emit dataChanged(this, TraceChange, QString::fromStdString(TraceVars));
}

bool TraceModel::TraceTable::rename(const std::string& name)
{
    const std::string oldName = m_name;
    m_name = name;
    setModified(true);
    nameChanged(oldName); // keeps the model's name index in step
    return true;
}

QString TraceModel::TraceTable::propertiesJson() const
{
    StringProperties all = m_properties;
    all.set(TraceVars, traceVars2JsonStr(m_vars));
    return all.toJson();
}

void TraceModel::TraceTable::load(const QString& json)
{
    StringProperties::fromJson(json, [this](const std::string& key, const std::string& value) {
        m_properties.set(key, value);
        if (key == TraceVars)
            m_vars = jsonStr2TraceVars(value);
    });
    m_properties.set(DownLoadNum, "0");
}

TraceModel::TraceModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("TRACE"), motion::columns(), "trace")
{
}

TraceModel::~TraceModel() = default;

std::string TraceModel::traceVars2JsonStr(const std::vector<TraceVarProperty>& vars)
{
    QJsonArray array;
    for (const TraceVarProperty& var : vars)
        array.append(QJsonObject{{"VarName", QString::fromStdString(var.VarName)},
                                 {"ActiveDrawing", var.ActiveDrawing},
                                 {"ColorIndex", var.ColorIndex}});
    return QJsonDocument(QJsonObject{{"TraceVars", array}}).toJson(QJsonDocument::Indented).toStdString();
}

std::vector<TraceModel::TraceVarProperty> TraceModel::jsonStr2TraceVars(const std::string& json)
{
    std::vector<TraceVarProperty> vars;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    for (const QJsonValue& value : doc.object().value("TraceVars").toArray()) {
        const QJsonObject object = value.toObject();
        vars.push_back(TraceVarProperty{object.value("VarName").toString().toStdString(),
                                        object.value("ActiveDrawing").toBool(false),
                                        object.value("ColorIndex").toInt(0)});
    }
    return vars;
}

TraceModel::TraceTable* TraceModel::addTraceTable(const std::string& name)
{
    const unsigned int id = newObjectId(name);
    if (id == IDDistributor::INVALID_ID)
        return nullptr;
    return insertNew(std::make_unique<TraceTable>(id, name, this));
}

bool TraceModel::removeTraceTable(TraceTable* trace)
{
    return eraseObject(trace);
}

void TraceModel::allTraceTables(std::vector<TraceTable*>& out) const
{
    appendAll(out);
}

TraceModel::TraceTable* TraceModel::traceTable(unsigned int id) const
{
    return objects().find(id);
}

TraceModel::TraceTable* TraceModel::traceTable(const QString& name) const
{
    return findByName(name);
}

QString TraceModel::selectStatement() const
{
    return motion::selectAll(QStringLiteral("Trace"));
}

bool TraceModel::readRows(QSqlQuery& query)
{
    while (query.next()) {
        const motion::Row row = motion::read(query);
        auto trace = std::make_unique<TraceTable>(row.id, row.name, this);
        trace->load(row.properties);
        insertLoaded(std::move(trace));
    }
    return true;
}

QVector<QVariant> TraceModel::rowValues(const TraceTable& trace) const
{
    return {QString::fromStdString(trace.name()), trace.propertiesJson()};
}

QJsonObject TraceModel::toData(const TraceTable& trace) const
{
    return QJsonObject{{ObjectData::Id, QString::number(trace.id())},
                       {ObjectData::Name, QString::fromStdString(trace.name())},
                       {ObjectData::Properties, trace.propertiesJson()}};
}

std::unique_ptr<TraceModel::TraceTable> TraceModel::fromData(unsigned int id, const QJsonObject& data)
{
    auto trace = std::make_unique<TraceTable>(id, ObjectData::utf8(data, ObjectData::Name), this);
    trace->load(ObjectData::text(data, ObjectData::Properties));
    return trace;
}

QString TraceModel::reloadStatement() const
{
    return motion::selectOne(QStringLiteral("Trace"));
}

void TraceModel::reloadRow(TraceTable& trace, const QSqlQuery& query)
{
    const motion::Row row = motion::read(query);
    trace.m_name = row.name;
    trace.load(row.properties);
}

QString TraceModel::indexOf(const TraceTable& trace) const
{
    return QString::fromStdString(trace.property("Row"));
}

bool TraceModel::moveTo(TraceTable& trace, const QString& index)
{
    return !index.isEmpty() && trace.setProperty("Row", index.toStdString());
}

bool TraceModel::changeProperty(const QString& path, const QString& key, const QString&, const QString& to)
{
    TraceTable* trace = objects().find(path);
    if (!trace || key.isEmpty())
        return false;
    if (key.toStdString() == TraceVars)
        return trace->setTraceVarPropertys(jsonStr2TraceVars(to.toStdString()));
    return trace->setProperty(key.toStdString(), to.toStdString());
}
