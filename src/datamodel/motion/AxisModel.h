#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/motion/MotionObject.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <string>
#include <vector>

class AxisModelPrivate;

// The motion axes of a project (table AxisTable). Each axis declares an AXIS_REF variable of
// its name in the hidden list "HiddenAxisVar", holds a device tree id ("AxisID") and a flat
// set of text parameters; the choices offered for them (axis types and their limits, pins,
// channels, modes) come from the hardware description of the project's controller. Axis
// changes of a user project mark it as needing compilation and stamp its configuration time.
class DATAMODEL_EXPORT AxisModel : public TableSubModel<AxisModel>
{
    Q_OBJECT
public:
    class AxisTable;
    using Object = AxisTable;
    enum AxisState : int {
        PowerOff = 0, ErrorStop = 1, Stopping = 2, StandStill = 3,
        DiscreteMotion = 4, ContinuousMotion = 5, SynchronizedMotion = 6, Homing = 7
    };

    AxisModel(const std::string& name, AbstractProjectModel* project);
    ~AxisModel() override;

    // Every parameter of a new axis with its default text.
    static const std::map<QString, QString>& defaultParameters();
    // The keys that getCompareData() reports for an axis type; empty for other types.
    static QStringList compareKeys(const QString& axisType);

    // A new axis with every parameter set; null, with lastError() saying why, when the
    // controller's axis limit is reached, the name is taken or its variable cannot be declared.
    AxisTable* addAxisTable(const QString& name);
    bool removeAxisTable(AxisTable* axis);
    // Renames the axis and its variable; false (nothing changed) for an unknown id or a name
    // that is taken or no identifier.
    bool renameAxisTable(unsigned int id, const QString& name);
    void allAxisTables(std::vector<AxisTable*>& out) const;
    AxisTable* axisTable(unsigned int id) const;
    AxisTable* axisTable(const QString& name) const;
    QString lastError() const;
    bool resetModel(QSqlDatabase*) { return true; }
    // Declares the variables of the stored hidden list in the project's compiler core; open()
    // does it when the core exists, the project once it has set its core up.
    bool loadVariables();
    // Makes the hidden list of `project` declare exactly the variables of `names`, in this
    // order: for axes that reach the file as rows (an imported project), not one by one.
    // False, with `error` saying why, when a name cannot be declared.
    static bool declareVariables(AbstractProjectModel* project, const std::vector<std::string>& names, QString* error);

    QString getDeviceName() const;
    // Reads the controller's description again; the maps before become the previous ones.
    void updateDeviceAxisInfo();
    int pinBase() const;
    QMap<int, QString> getAxisStateMap() const;
    QMap<QString, QString> getAxisTypeNameMap() const;
    QMap<QString, quint16> getAxisTypeIDMap() const;
    QMap<QString, quint8> getMaxAxisNumber() const;
    QMap<QString, quint32> getCompareOutEnable() const;
    QMap<QString, quint32> getPresetEnable() const;
    QMap<QString, quint32> getProbeEnableMap() const;
    QMap<QString, quint8> getEncoderInputSignalMap() const;
    QMap<QString, quint8> getEncoderOutModeMap() const;
    QMap<QString, quint8> getPulseOutModeMap() const;
    QMap<QString, qint8> getPulseOutputPinMap() const;
    QMap<int, QString> getInputPointMap() const;
    QMap<int, QString> getOutputPointMap() const;
    QMap<QString, quint32> getSignalSourceMap() const;
    QMap<QString, quint8> getHomeModelMap() const;
    // The device's list for a role key ("AxisPulseOutputDev", "HomeMode", "AxisType", ...),
    // now and before the last update.
    QStringList getAxisBaseSettingList(QString& key);
    QStringList getPreAxisBaseSettingList(QString& key);

    QString getMotionTaskCfgCycleTime() const;
    void setMotionTaskCfgCycleTime(QString& time);
    // The VersionModified of the model's ModelVersion row read by open(); 0 without one.
    int storedVersion() const;

public slots:
    bool open() override;
    // Writes the model's ModelVersion row, then reads the (empty) table.
    bool create(const std::map<std::string, std::string>& params) override;
    // Renames the variable too.
    bool renameObject(const QString& path, const QString& name) override;
    bool changeProperty(const QString& path, const QString& key, const QString& from, const QString& to) override;

signals:
    // On removal (reName empty) and on rename, for the front end.
    void changeAxisName(const QString& name, const QString& reName);

private:
    friend class AxisTable;
    DATAMODEL_TABLE_HOOKS(AxisModel, AxisTable)
    bool removeFromModel(AxisTable* axis) { return removeAxisTable(axis); }
    QString indexOf(const AxisTable& axis) const;
    bool moveTo(AxisTable& axis, const QString& index);
    void markModified() const;
    void setProjectModify(const AxisTable* axis) const;
    void refreshDeviceInfo();
    void initAxisTableData(AxisTable* axis);
    void refuse(const QString& why);

    std::unique_ptr<AxisModelPrivate> d;
};

extern template class TableSubModel<AxisModel>;

class DATAMODEL_EXPORT AxisModel::AxisTable : public MotionObject
{
public:
    AxisTable(unsigned int id, const std::string& name, SubModel* owner);

    // Stores the value, marks the axis and the project and raises dataChanged(this,
    // "AxisView", key).
    bool setProperty(const QString& key, const QString& value);
    // The axis type's compare keys with their current values.
    QMap<QString, QString> getCompareData() const;
    std::map<QString, QString> viewinfos() const { return m_viewInfos.map(); }
    QString getViewInfo(const QString& key, const QString& defaultValue = QString()) const
    {
        return m_viewInfos.value(key, defaultValue);
    }
    void setViewInfo(const QString& key, const QString& value) { m_viewInfos.set(key, value); }
    // Renames the axis alone (its variable stays): AxisModel::renameAxisTable renames both.
    bool rename(const std::string& name);

private:
    friend class AxisModel;
    AxisModel* owner() const;
    // Reads a Properties text and brings parameters of older versions up to date.
    void loadProperties(const QString& json);

    QStringProperties m_viewInfos;
};
