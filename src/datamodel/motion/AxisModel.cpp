#include "datamodel/motion/AxisModel.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/motion/AxisDeviceInfo_p.h"
#include "datamodel/motion/MotionSupport_p.h"

#include "accore/ACCore.h"
#include "accore/SafeAccore.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <set>

template class TableSubModel<AxisModel>;

namespace {

const HiddenVariables axisVariables("HiddenAxisVar", "AXIS_REF");
const QString ViewInfos = QStringLiteral("VIEWINFOS");
const int CurrentVersion = 3;

const QStringList& encoderCompareKeys()
{
    static const QStringList keys = {
        "AxisErrorDec", "AxisType", "CompareOutEnable", "CompareOutputPin", "CompareOutputWidth",
        "CompareOutputWidthUnit", "EncoderMode", "ErrorStopEnable", "FollowErrorThreshold", "GearRatioMolecule",
        "GearRatioParent", "HardLimitNeg", "HardLimitPos", "HomeMode", "InputDevice", "InputSignal",
        "InputSignalFilterTime", "JogMaxVel", "LimitDec", "MaxAcc", "MaxVel", "ModeSet", "NegTorqueMaxValue",
        "OutputMethod", "OutputPin", "PosTorqueMaxValue", "Preset", "PresetEnable", "Probe1", "Probe1Enable",
        "Probe2", "Probe2Enable", "PulseCountDecOrHex", "PulseCountPerCircle", "PulseOutputMethod",
        "ReverseEnable", "RotationPeriod", "SoftLimitEnable", "SoftLimitNeg", "SoftLimitPos", "UnUseGearValue",
        "UseGearEnable", "UseGearValue", "VelocityThreshold"};
    return keys;
}

QStringList virtualCompareKeys()
{
    QStringList keys = encoderCompareKeys();
    keys.removeAll(QStringLiteral("InputDevice"));
    return keys;
}

QStringList pulseCompareKeys()
{
    QStringList keys = virtualCompareKeys();
    keys << "HomeAcc" << "HomeCloseSpeed" << "HomeSpeed" << "HomeTimeOut" << "NegLimitLogic" << "NegLimitPin"
         << "NegsLimitEnable" << "OrgSignalEnable" << "OrgSignalLogic" << "OrgSignalPin" << "OutputDevice"
         << "PosLimitEnable" << "PosLimitLogic" << "PosLimitPin";
    keys.sort();
    return keys;
}

// Preset and probe inputs of version 2 and before named the input ("X17", octal, or "IN5");
// from version 3 on they hold the input's number in decimal.
QString migratedInput(const QString& value)
{
    const QRegularExpressionMatch digits = QRegularExpression(QStringLiteral("\\d+")).match(value);
    if (!digits.hasMatch())
        return value;
    if (value.contains(QLatin1String("IN"), Qt::CaseInsensitive))
        return digits.captured();
    if (!value.contains(QLatin1Char('X')))
        return value;
    bool ok = false;
    const qulonglong number = digits.captured().toULongLong(&ok, 8);
    return ok ? QString::number(number) : value;
}

bool isOldVersion(const QString& version)
{
    bool ok = false;
    const int number = version.toInt(&ok);
    return version.contains(QLatin1Char('.')) || !ok || number < CurrentVersion;
}

} // namespace

class AxisModelPrivate
{
public:
    AxisDeviceInfo info;
    AxisDeviceInfo previous;
    QString infoDevice;
    bool infoRead = false;
    QMap<int, QString> states;
    int storedVersion = 0;
    QString lastError;
};

// --- AxisTable ---------------------------------------------------------------------------

AxisModel::AxisTable::AxisTable(unsigned int id, const std::string& name, SubModel* owner)
    : MotionObject(id, name, owner)
{
}

AxisModel* AxisModel::AxisTable::owner() const
{
    return dynamic_cast<AxisModel*>(subModel());
}

bool AxisModel::AxisTable::setProperty(const QString& key, const QString& value)
{
    storeProperty(key, value);
    setModified(true);
    if (AxisModel* model = owner()) {
        model->setProjectModify(this);
        model->writeLog(HostServices::LogInfo, "设置属性:" + name() + " " + key.toStdString());
    }
    emit dataChanged(this, QStringLiteral("AxisView"), key);
    return true;
}

QMap<QString, QString> AxisModel::AxisTable::getCompareData() const
{
    QMap<QString, QString> data;
    for (const QString& key : AxisModel::compareKeys(property(QStringLiteral("AxisType"))))
        data.insert(key, property(key));
    return data;
}

bool AxisModel::AxisTable::rename(const std::string& name)
{
    setName(name);
    setModified(true);
    logThroughOwner("重命名:" + name);
    return true;
}

void AxisModel::AxisTable::loadProperties(const QString& json)
{
    storeProperties(json);
    if (!isOldVersion(property(QStringLiteral("Version"), QStringLiteral("0"))))
        return;
    storeProperty(QStringLiteral("Version"), QString::number(CurrentVersion));
    for (const char* key : {"Preset", "Probe1", "Probe2"}) {
        const QString k = QLatin1String(key);
        if (propertys().count(k))
            storeProperty(k, migratedInput(property(k)));
    }
}

// --- AxisModel -----------------------------------------------------------------------------

AxisModel::AxisModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("AXISTABLE"), motion::columns(), "axis"),
      d(std::make_unique<AxisModelPrivate>())
{
    const char* states[] = {"PowerOff", "ErrorStop", "Stopping", "StandStill", "DiscreteMotion",
                            "ContinuousMotion", "SynchronizedMotion", "Homing"};
    for (int state = PowerOff; state <= Homing; ++state)
        d->states.insert(state, tr(states[state]));
}

AxisModel::~AxisModel() = default;

const std::map<QString, QString>& AxisModel::defaultParameters()
{
    static const std::map<QString, QString> defaults = {
        // base
        {"Version", "3"}, {"AxisID", "0"}, {"AxisNo", "0"}, {"AxisType", "Axis_Virtual"}, {"InputDevice", "0"},
        {"OutputDevice", "0"}, {"VirtualAxis", "FALSE"}, {"AxisAutoMap", "FALSE"},
        // scaling
        {"ReverseEnable", "FALSE"}, {"PulseCountDecOrHex", "TRUE"}, {"PulseCountPerCircle", "10000"},
        {"UseGearEnable", "FALSE"}, {"UseGearValue", "1"}, {"UnUseGearValue", "1"}, {"GearRatioMolecule", "1"},
        {"GearRatioParent", "1"},
        // limits and I/O
        {"EncoderMode", "FALSE"}, {"ModeSet", "FALSE"}, {"SoftLimitEnable", "FALSE"}, {"SoftLimitNeg", "0"},
        {"SoftLimitPos", "1000"}, {"RotationPeriod", "360"}, {"LimitDec", "1000"}, {"AxisErrorDec", "10000"},
        {"FollowErrorThreshold", "0.0"}, {"VelocityThreshold", "5"}, {"MaxVel", "10"}, {"MaxAcc", "500000"},
        {"JogMaxVel", "500"}, {"NegTorqueMaxValue", "0"}, {"PosTorqueMaxValue", "0"}, {"ErrorStopEnable", "TRUE"},
        {"HardLimitPos", "FALSE"}, {"HardLimitNeg", "FALSE"}, {"OutputMethod", "0"}, {"InputSignal", "0"},
        {"InputSignalFilterTime", "0"}, {"PresetEnable", "FALSE"}, {"Preset", "0"}, {"Probe1Enable", "FALSE"},
        {"Probe1", "0"}, {"Probe2Enable", "FALSE"}, {"Probe2", "0"}, {"CompareOutEnable", "FALSE"},
        {"CompareOutputPin", "0"}, {"PulseOutputMethod", "0"}, {"OutputPin", "0"}, {"CompareOutputWidth", "0.0"},
        {"CompareOutputWidthUnit", "FALSE"},
        // homing
        {"HomeSpeed", "10"}, {"HomeAcc", "100"}, {"HomeCloseSpeed", "1"}, {"HomeTimeOut", "50000"},
        {"HomeMode", "Homing_1"}, {"PosLimitEnable", "FALSE"}, {"PosLimitPin", "%IX100.0"},
        {"PosLimitLogic", "TRUE"}, {"NegsLimitEnable", "FALSE"}, {"NegLimitPin", "%IX100.1"},
        {"NegLimitLogic", "TRUE"}, {"OrgSignalEnable", "FALSE"}, {"OrgSignalPin", "%IX0.0"},
        {"OrgSignalLogic", "TRUE"}};
    return defaults;
}

QStringList AxisModel::compareKeys(const QString& axisType)
{
    if (axisType == QLatin1String("Axis_Encoder"))
        return encoderCompareKeys();
    if (axisType == QLatin1String("Axis_Virtual"))
        return virtualCompareKeys();
    if (axisType == QLatin1String("Axis_Pulse"))
        return pulseCompareKeys();
    return {};
}

QString AxisModel::lastError() const
{
    return d->lastError;
}

void AxisModel::refuse(const QString& why)
{
    d->lastError = why;
    writeLog(HostServices::LogInfo, "添加轴 refused: " + why.toStdString());
}

AxisModel::AxisTable* AxisModel::addAxisTable(const QString& name)
{
    d->lastError.clear();
    refreshDeviceInfo();
    const int limit = d->info.maxAxis.value(QStringLiteral("MaxAxis"), 0);
    if (static_cast<int>(objects().size()) >= limit) {
        refuse(limit > 0 ? tr("the controller allows %1 axes").arg(limit) : tr("the controller offers no axes"));
        return nullptr;
    }
    if (findByName(name)) {
        refuse(tr("an axis named '%1' exists").arg(name));
        return nullptr;
    }
    const unsigned int id = newObjectId(name.toStdString());
    QString why;
    if (id == IDDistributor::INVALID_ID || !axisVariables.declare(projectModel(), name.toStdString(), &why)) {
        refuse(id == IDDistributor::INVALID_ID ? tr("no axis id is left") : why);
        return nullptr;
    }
    writeLog(HostServices::LogInfo, "添加轴:" + name.toStdString());
    AxisTable* axis = insertNew(std::make_unique<AxisTable>(id, name.toStdString(), this));
    initAxisTableData(axis);
    axis->setModified(true);
    return axis;
}

void AxisModel::initAxisTableData(AxisTable* axis)
{
    for (const auto& [key, value] : defaultParameters())
        axis->storeProperty(key, value);
    if (const unsigned int deviceId = motion::takeDeviceId(projectModel())) {
        axis->storeProperty(QStringLiteral("AxisID"), QString::number(deviceId));
        std::map<QString, int> typeCount;
        std::set<int> numbers;
        objects().forEach([&](AxisTable* other) {
            if (other == axis)
                return;
            ++typeCount[other->property(QStringLiteral("AxisType"))];
            bool ok = false;
            const int number = other->property(QStringLiteral("AxisNo")).toInt(&ok);
            if (ok)
                numbers.insert(number);
        });
        const QStringList offered = d->info.roles.value(QStringLiteral("AxisType"));
        for (const char* type : {"Axis_Pulse", "Axis_Encoder", "Axis_EtherCAT", "Axis_Virtual"}) {
            const QString name = d->info.typeNames.value(QLatin1String(type));
            if (name.isEmpty() || !offered.contains(name))
                continue;
            if (d->info.maxAxis.value(name, 0) - typeCount[QLatin1String(type)] > 0) {
                axis->storeProperty(QStringLiteral("AxisType"), QLatin1String(type));
                break;
            }
        }
        axis->storeProperty(QStringLiteral("AxisNo"), QString::number(motion::smallestFree(numbers)));
    }
    ac::SafeAccore core(projectModel() ? projectModel()->name() : std::string());
    const bool japaneseStyle = core.getAccore() && core.getAccore()->getProgramStyle() == 1;
    if (japaneseStyle) {
        axis->storeProperty(QStringLiteral("PosLimitPin"), QStringLiteral("X1000"));
        axis->storeProperty(QStringLiteral("NegLimitPin"), QStringLiteral("X1001"));
        axis->storeProperty(QStringLiteral("OrgSignalPin"), QStringLiteral("X0"));
    }
}

bool AxisModel::removeAxisTable(AxisTable* axis)
{
    if (!objects().contains(axis))
        return false;
    const std::string name = axis->name();
    QString why;
    // An axis whose variable is gone already is still removed.
    if (!axisVariables.remove(projectModel(), name, &why))
        writeLog(HostServices::LogInfo, "删除轴:" + name + ": " + why.toStdString());
    motion::backDeviceId(projectModel(), axis->property(QStringLiteral("AxisID")).toUInt());
    eraseObject(axis);
    emit changeAxisName(QString::fromStdString(name), QString());
    writeLog(HostServices::LogInfo, "删除轴:" + name);
    return true;
}

bool AxisModel::renameAxisTable(unsigned int id, const QString& name)
{
    AxisTable* axis = axisTable(id);
    if (!axis)
        return false;
    const QString old = QString::fromStdString(axis->name());
    if (old == name)
        return true;
    AxisTable* other = findByName(name);
    QString why;
    if ((other && other != axis)
        || !axisVariables.rename(projectModel(), axis->name(), name.toStdString(), &why)) {
        d->lastError = other && other != axis ? tr("an axis named '%1' exists").arg(name) : why;
        writeLog(HostServices::LogInfo, "重命名轴:" + old.toStdString() + " refused: " + d->lastError.toStdString());
        return false;
    }
    axis->rename(name.toStdString());
    emit changeAxisName(old, name);
    setProjectModify(axis);
    writeLog(HostServices::LogInfo, "重命名轴:" + name.toStdString());
    return true;
}

void AxisModel::allAxisTables(std::vector<AxisTable*>& out) const
{
    appendAll(out);
}

AxisModel::AxisTable* AxisModel::axisTable(unsigned int id) const
{
    return objects().find(id);
}

AxisModel::AxisTable* AxisModel::axisTable(const QString& name) const
{
    return findByName(name);
}

void AxisModel::markModified() const
{
    if (motion::isUserProject(projectModel()))
        markProjectModified(true);
}

void AxisModel::setProjectModify(const AxisTable* axis) const
{
    if (axis && !axis->status())
        markModified();
}

QString AxisModel::getDeviceName() const
{
    return motion::deviceName(projectModel());
}

void AxisModel::refreshDeviceInfo()
{
    if (!d->infoRead || d->infoDevice != getDeviceName())
        updateDeviceAxisInfo();
}

void AxisModel::updateDeviceAxisInfo()
{
    d->previous = d->info;
    d->infoDevice = getDeviceName();
    d->info.build(d->infoDevice, *DevDescription::instance());
    d->infoRead = true;
}

int AxisModel::pinBase() const { return d->info.pinBase; }
QMap<int, QString> AxisModel::getAxisStateMap() const { return d->states; }
QMap<QString, QString> AxisModel::getAxisTypeNameMap() const { return d->info.typeNames; }
QMap<QString, quint16> AxisModel::getAxisTypeIDMap() const { return d->info.typeIds; }
QMap<QString, quint8> AxisModel::getMaxAxisNumber() const { return d->info.maxAxis; }
QMap<QString, quint32> AxisModel::getCompareOutEnable() const { return d->info.compareOutEnable; }
QMap<QString, quint32> AxisModel::getPresetEnable() const { return d->info.presetEnable; }
QMap<QString, quint32> AxisModel::getProbeEnableMap() const { return d->info.probeEnable; }
QMap<QString, quint8> AxisModel::getEncoderInputSignalMap() const { return d->info.encoderInputSignal; }
QMap<QString, quint8> AxisModel::getEncoderOutModeMap() const { return d->info.encoderOutMode; }
QMap<QString, quint8> AxisModel::getPulseOutModeMap() const { return d->info.pulseOutMode; }
QMap<QString, qint8> AxisModel::getPulseOutputPinMap() const { return d->info.pulseOutputPin; }
QMap<int, QString> AxisModel::getInputPointMap() const { return d->info.inputPoints; }
QMap<int, QString> AxisModel::getOutputPointMap() const { return d->info.outputPoints; }
QMap<QString, quint32> AxisModel::getSignalSourceMap() const { return d->info.signalSource; }
QMap<QString, quint8> AxisModel::getHomeModelMap() const { return d->info.homeModes; }

QStringList AxisModel::getAxisBaseSettingList(QString& key)
{
    return d->info.roles.value(key);
}

QStringList AxisModel::getPreAxisBaseSettingList(QString& key)
{
    return d->previous.roles.value(key);
}

QString AxisModel::getMotionTaskCfgCycleTime() const
{
    auto* info = projectModel() ? projectModel()->subModel<PrjInfoModel>() : nullptr;
    return info && info->projectInfo()
               ? QString::fromStdString(info->projectInfo()->property("MotionTaskCfgCycleTime"))
               : QString();
}

void AxisModel::setMotionTaskCfgCycleTime(QString& time)
{
    auto* info = projectModel() ? projectModel()->subModel<PrjInfoModel>() : nullptr;
    if (!info || !info->projectInfo())
        return;
    info->projectInfo()->setProperty("MotionTaskCfgCycleTime", time.toStdString());
    markModified();
}

int AxisModel::storedVersion() const
{
    return d->storedVersion;
}

bool AxisModel::create(const std::map<std::string, std::string>&)
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("INSERT INTO ModelVersion (TableName, VersionCreated, VersionModified) VALUES(?, ?, ?)"));
    query.addBindValue(QStringLiteral("AxisModel"));
    query.addBindValue(CurrentVersion);
    query.addBindValue(CurrentVersion);
    if (!query.exec())
        writeLog(HostServices::LogInfo, "writing the version row of the axes failed: "
                                            + query.lastError().text().toStdString());
    return open();
}

bool AxisModel::open()
{
    d->lastError.clear();
    d->infoRead = false;
    if (!TableSubModel::open())
        return false;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT VersionModified FROM ModelVersion WHERE TableName is ?"));
    query.addBindValue(QStringLiteral("AxisModel"));
    d->storedVersion = query.exec() && query.next() ? query.value(0).toInt() : 0;
    // The core of a project being opened is set up after its sub-models: then the variables
    // reach it with the project's first check or edit.
    loadVariables();
    return true;
}

QString AxisModel::selectStatement() const
{
    return motion::selectAll(QStringLiteral("AxisTable"));
}

bool AxisModel::readRows(QSqlQuery& query)
{
    while (query.next()) {
        const motion::Row row = motion::read(query);
        auto axis = std::make_unique<AxisTable>(row.id, row.name, this);
        axis->loadProperties(row.properties);
        insertLoaded(std::move(axis));
    }
    return true;
}

QVector<QVariant> AxisModel::rowValues(const AxisTable& axis) const
{
    return motion::values(axis);
}

QJsonObject AxisModel::toData(const AxisTable& axis) const
{
    QJsonObject data = motion::data(axis);
    data.insert(ViewInfos, axis.m_viewInfos.toJson());
    return data;
}

std::unique_ptr<AxisModel::AxisTable> AxisModel::fromData(unsigned int id, const QJsonObject& data)
{
    const std::string name = ObjectData::utf8(data, ObjectData::Name);
    QString why;
    if (findByName(QString::fromStdString(name)) || !axisVariables.declare(projectModel(), name, &why)) {
        writeLog(HostServices::LogInfo, "添加轴:" + name + " refused: " + why.toStdString());
        return nullptr;
    }
    auto axis = std::make_unique<AxisTable>(id, name, this);
    axis->loadProperties(ObjectData::text(data, ObjectData::Properties));
    axis->m_viewInfos.merge(ObjectData::text(data, ViewInfos));
    // The device id went back to the tree with the removal: the axis takes one again.
    if (axis->property(QStringLiteral("AxisID")).toUInt() != 0)
        axis->storeProperty(QStringLiteral("AxisID"), QString::number(motion::takeDeviceId(projectModel())));
    writeLog(HostServices::LogInfo, "添加轴:" + name);
    return axis;
}

QString AxisModel::reloadStatement() const
{
    return motion::selectOne(QStringLiteral("AxisTable"));
}

void AxisModel::reloadRow(AxisTable& axis, const QSqlQuery& query)
{
    const motion::Row row = motion::read(query);
    axis.setName(row.name);
    axis.loadProperties(row.properties);
}

QString AxisModel::indexOf(const AxisTable& axis) const
{
    return axis.property(QStringLiteral("Row"), QStringLiteral("0"));
}

bool AxisModel::moveTo(AxisTable& axis, const QString& index)
{
    return !index.isEmpty() && axis.setProperty(QStringLiteral("Row"), index);
}

bool AxisModel::renameObject(const QString& path, const QString& name)
{
    AxisTable* axis = objects().find(path);
    return axis && renameAxisTable(axis->id(), name);
}

bool AxisModel::changeProperty(const QString& path, const QString& key, const QString&, const QString& to)
{
    AxisTable* axis = objects().find(path);
    return axis && !key.isEmpty() && axis->setProperty(key, to);
}

bool AxisModel::loadVariables()
{
    return axisVariables.load(projectModel());
}

bool AxisModel::declareVariables(AbstractProjectModel* project, const std::vector<std::string>& names, QString* error)
{
    return axisVariables.declareExactly(project, names, error);
}
