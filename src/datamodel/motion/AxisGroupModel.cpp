#include "datamodel/motion/AxisGroupModel.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/motion/MotionSupport_p.h"

#include <QJsonObject>
#include <QSqlQuery>

#include <set>

template class TableSubModel<AxisGroupModel>;

namespace {
const HiddenVariables groupVariables("HiddenAxisGroupVar", "AXES_GROUP_REF");
} // namespace

class AxisGroupModelPrivate
{
public:
    QMap<int, QString> states;
    unsigned int groupTypeId = 0;
    QString lastError;
};

AxisGroupModel::AxisGroupTable::AxisGroupTable(unsigned int id, const std::string& name, SubModel* owner)
    : MotionObject(id, name, owner)
{
}

AxisGroupModel* AxisGroupModel::AxisGroupTable::owner() const
{
    return dynamic_cast<AxisGroupModel*>(subModel());
}

bool AxisGroupModel::AxisGroupTable::setProperty(const QString& key, const QString& value)
{
    storeProperty(key, value);
    setModified(true);
    if (AxisGroupModel* model = owner())
        model->setProjectModify(this);
    emit dataChanged(this, QStringLiteral("AxisGroupView"), key);
    return true;
}

bool AxisGroupModel::AxisGroupTable::rename(const std::string& name)
{
    setName(name);
    setModified(true);
    return true;
}

AxisGroupModel::AxisGroupModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("AXISGROUPTABLE"), motion::columns(), "axis group"),
      d(std::make_unique<AxisGroupModelPrivate>())
{
    const char* states[] = {"Init", "Disabled", "Single Stop", "Single Homeing", "Single Motion",
                            "Error Stop", "Stand Still", "Stopping", "Synchronous Motion"};
    for (int state = Init; state <= SynchronousMotion; ++state)
        d->states.insert(state, tr(states[state]));
}

AxisGroupModel::~AxisGroupModel() = default;

const std::vector<std::pair<QString, QString>>& AxisGroupModel::defaultParameters()
{
    static const std::vector<std::pair<QString, QString>> defaults = {
        {"Version", "0.2.0.0"}, {"AxisGroupId", "0"}, {"AxisGroupTypeID", "0"}, {"AxisGroupNo", "0"},
        {"MaxVelocity", "100.0"}, {"MaxAcc", "1000.0"}, {"StopMode", "0"}, {"X-Axis", "-1"},
        {"Y-Axis", "-1"}, {"Z-Axis", "-1"}, {"Aus-Axis", "-1"}, {"BuildQuantity", "0"}};
    return defaults;
}

QString AxisGroupModel::lastError() const
{
    return d->lastError;
}

QMap<int, QString> AxisGroupModel::getAxisGroupStateMap() const
{
    return d->states;
}

unsigned int AxisGroupModel::groupTypeId() const
{
    return d->groupTypeId;
}

void AxisGroupModel::updateDeviceAxisGroupInfo()
{
    const QString device = motion::deviceName(projectModel());
    d->groupTypeId = device.isEmpty() ? 0
                                      : DevDescription::instance()
                                            ->devProperty(device + QStringLiteral(".Motion.Axis_Group.TypeID"))
                                            .toString()
                                            .toUInt();
}

AxisGroupModel::AxisGroupTable* AxisGroupModel::addAxisGroupTable(const QString& name)
{
    d->lastError.clear();
    const unsigned int id = newObjectId(name.toStdString());
    if (id == IDDistributor::INVALID_ID)
        d->lastError = tr("no axis group id is left");
    else if (findByName(name))
        d->lastError = tr("an axis group named '%1' exists").arg(name);
    else
        groupVariables.declare(projectModel(), name.toStdString(), &d->lastError);
    if (!d->lastError.isEmpty()) {
        writeLog(HostServices::LogInfo, "添加轴组:" + name.toStdString() + " refused: " + d->lastError.toStdString());
        return nullptr;
    }
    writeLog(HostServices::LogInfo, "添加轴组:" + name.toStdString());
    AxisGroupTable* group = insertNew(std::make_unique<AxisGroupTable>(id, name.toStdString(), this));
    initAxisGroupData(group);
    return group;
}

void AxisGroupModel::initAxisGroupData(AxisGroupTable* group)
{
    updateDeviceAxisGroupInfo();
    for (const auto& [key, value] : defaultParameters())
        group->storeProperty(key, value);
    group->storeProperty(QStringLiteral("AxisGroupTypeID"), QString::number(d->groupTypeId));
    if (const unsigned int deviceId = motion::takeDeviceId(projectModel()))
        group->storeProperty(QStringLiteral("AxisGroupId"), QString::number(deviceId));
    std::set<int> numbers;
    objects().forEach([&](AxisGroupTable* other) {
        bool ok = false;
        const int number = other->property(QStringLiteral("AxisGroupNo")).toInt(&ok);
        if (other != group && ok)
            numbers.insert(number);
    });
    group->storeProperty(QStringLiteral("AxisGroupNo"), QString::number(motion::smallestFree(numbers)));
}

bool AxisGroupModel::removeAxisGroupTable(AxisGroupTable* group)
{
    if (!objects().contains(group))
        return false;
    const std::string name = group->name();
    QString why;
    if (!groupVariables.remove(projectModel(), name, &why))
        writeLog(HostServices::LogInfo, "删除轴组:" + name + ": " + why.toStdString());
    motion::backDeviceId(projectModel(), group->property(QStringLiteral("AxisGroupId")).toUInt());
    eraseObject(group);
    writeLog(HostServices::LogInfo, "删除轴组:" + name);
    return true;
}

bool AxisGroupModel::renameAxisGroupTable(unsigned int id, const QString& name)
{
    AxisGroupTable* group = axisGroupTable(id);
    if (!group)
        return false;
    if (QString::fromStdString(group->name()) == name)
        return true;
    AxisGroupTable* other = findByName(name);
    d->lastError.clear();
    if (other && other != group)
        d->lastError = tr("an axis group named '%1' exists").arg(name);
    else
        groupVariables.rename(projectModel(), group->name(), name.toStdString(), &d->lastError);
    if (!d->lastError.isEmpty()) {
        writeLog(HostServices::LogInfo, "重命名轴组:" + name.toStdString() + " refused: " + d->lastError.toStdString());
        return false;
    }
    group->rename(name.toStdString());
    setProjectModify(group);
    writeLog(HostServices::LogInfo, "重命名轴组:" + name.toStdString());
    return true;
}

AxisGroupModel::AxisGroupTable* AxisGroupModel::axisGroupTable(unsigned int id) const
{
    return objects().find(id);
}

AxisGroupModel::AxisGroupTable* AxisGroupModel::axisGroupTable(const QString& name) const
{
    return findByName(name);
}

void AxisGroupModel::allAxisGroupTables(std::vector<AxisGroupTable*>& out) const
{
    appendAll(out);
}

void AxisGroupModel::markModified() const
{
    if (motion::isUserProject(projectModel()))
        markProjectModified(true);
}

void AxisGroupModel::setProjectModify(const AxisGroupTable* group) const
{
    if (group && !group->status())
        markModified();
}

bool AxisGroupModel::open()
{
    if (!TableSubModel::open())
        return false;
    loadVariables();
    return true;
}

QString AxisGroupModel::selectStatement() const
{
    return motion::selectAll(QStringLiteral("AxisGroupTable"));
}

bool AxisGroupModel::readRows(QSqlQuery& query)
{
    while (query.next()) {
        const motion::Row row = motion::read(query);
        auto group = std::make_unique<AxisGroupTable>(row.id, row.name, this);
        group->storeProperties(row.properties);
        insertLoaded(std::move(group));
    }
    return true;
}

QVector<QVariant> AxisGroupModel::rowValues(const AxisGroupTable& group) const
{
    return motion::values(group);
}

QJsonObject AxisGroupModel::toData(const AxisGroupTable& group) const
{
    return motion::data(group);
}

std::unique_ptr<AxisGroupModel::AxisGroupTable> AxisGroupModel::fromData(unsigned int id, const QJsonObject& data)
{
    const std::string name = ObjectData::utf8(data, ObjectData::Name);
    QString why;
    if (findByName(QString::fromStdString(name)) || !groupVariables.declare(projectModel(), name, &why)) {
        writeLog(HostServices::LogInfo, "添加轴组:" + name + " refused: " + why.toStdString());
        return nullptr;
    }
    auto group = std::make_unique<AxisGroupTable>(id, name, this);
    group->storeProperties(ObjectData::text(data, ObjectData::Properties));
    if (group->property(QStringLiteral("AxisGroupId")).toUInt() != 0)
        group->storeProperty(QStringLiteral("AxisGroupId"), QString::number(motion::takeDeviceId(projectModel())));
    return group;
}

QString AxisGroupModel::reloadStatement() const
{
    return motion::selectOne(QStringLiteral("AxisGroupTable"));
}

void AxisGroupModel::reloadRow(AxisGroupTable& group, const QSqlQuery& query)
{
    const motion::Row row = motion::read(query);
    group.setName(row.name);
    group.storeProperties(row.properties);
}

QString AxisGroupModel::indexOf(const AxisGroupTable& group) const
{
    return group.property(QStringLiteral("Row"));
}

bool AxisGroupModel::moveTo(AxisGroupTable& group, const QString& index)
{
    return !index.isEmpty() && group.setProperty(QStringLiteral("Row"), index);
}

bool AxisGroupModel::renameObject(const QString& path, const QString& name)
{
    AxisGroupTable* group = objects().find(path);
    return group && renameAxisGroupTable(group->id(), name);
}

bool AxisGroupModel::changeProperty(const QString& path, const QString& key, const QString&, const QString& to)
{
    AxisGroupTable* group = objects().find(path);
    return group && !key.isEmpty() && group->setProperty(key, to);
}

bool AxisGroupModel::loadVariables()
{
    return groupVariables.load(projectModel());
}

bool AxisGroupModel::declareVariables(AbstractProjectModel* project, const std::vector<std::string>& names, QString* error)
{
    return groupVariables.declareExactly(project, names, error);
}
