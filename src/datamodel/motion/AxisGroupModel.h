#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/motion/MotionObject.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

class AxisGroupModelPrivate;

// The axis groups of a project (table AxisGroupTable): coordinated sets of up to four axes
// (X, Y, Z and an auxiliary axis) with shared dynamics. Each group declares an AXES_GROUP_REF
// variable of its name in the hidden list "HiddenAxisGroupVar" and holds a device tree id
// ("AxisGroupId"). Group changes of a user project mark it as needing compilation.
class DATAMODEL_EXPORT AxisGroupModel : public TableSubModel<AxisGroupModel>
{
    Q_OBJECT
public:
    class AxisGroupTable;
    using Object = AxisGroupTable;
    enum AxisGroupState : int {
        Init = 0, Disabled = 1, SingleStop = 2, SingleHomeing = 3, SingleMotion = 4,
        ErrorStop = 5, StandStill = 6, Stopping = 7, SynchronousMotion = 8
    };

    AxisGroupModel(const std::string& name, AbstractProjectModel* project);
    ~AxisGroupModel() override;

    // The properties of a new group in the order they are set.
    static const std::vector<std::pair<QString, QString>>& defaultParameters();

    // A new group; null, with lastError() saying why, when the name is taken or its variable
    // cannot be declared. Groups have no upper limit.
    AxisGroupTable* addAxisGroupTable(const QString& name);
    bool removeAxisGroupTable(AxisGroupTable* group);
    bool renameAxisGroupTable(unsigned int id, const QString& name);
    AxisGroupTable* axisGroupTable(unsigned int id) const;
    AxisGroupTable* axisGroupTable(const QString& name) const;
    void allAxisGroupTables(std::vector<AxisGroupTable*>& out) const;
    QString lastError() const;
    bool resetModel(QSqlDatabase*) { return true; }
    // Declares the variables of the stored hidden list in the project's compiler core; open()
    // does it when the core exists, the project once it has set its core up.
    bool loadVariables();
    // Makes the hidden list of `project` declare exactly the variables of `names`, in this
    // order: for groups that reach the file as rows (an imported project), not one by one.
    // False, with `error` saying why, when a name cannot be declared.
    static bool declareVariables(AbstractProjectModel* project, const std::vector<std::string>& names, QString* error);

    QMap<int, QString> getAxisGroupStateMap() const;
    // Reads the device type id of groups from the controller's description.
    void updateDeviceAxisGroupInfo();
    unsigned int groupTypeId() const;

public slots:
    bool open() override;
    bool renameObject(const QString& path, const QString& name) override;
    bool changeProperty(const QString& path, const QString& key, const QString& from, const QString& to) override;

private:
    friend class AxisGroupTable;
    DATAMODEL_TABLE_HOOKS(AxisGroupModel, AxisGroupTable)
    bool removeFromModel(AxisGroupTable* group) { return removeAxisGroupTable(group); }
    QString indexOf(const AxisGroupTable& group) const;
    bool moveTo(AxisGroupTable& group, const QString& index);
    void markModified() const;
    void setProjectModify(const AxisGroupTable* group) const;
    void initAxisGroupData(AxisGroupTable* group);

    std::unique_ptr<AxisGroupModelPrivate> d;
};

extern template class TableSubModel<AxisGroupModel>;

class DATAMODEL_EXPORT AxisGroupModel::AxisGroupTable : public MotionObject
{
public:
    AxisGroupTable(unsigned int id, const std::string& name, SubModel* owner);

    // Stores the value, marks the group and the project and raises dataChanged(this,
    // "AxisGroupView", key).
    bool setProperty(const QString& key, const QString& value);
    // Renames the group alone: AxisGroupModel::renameAxisGroupTable renames its variable too.
    bool rename(const std::string& name);

private:
    friend class AxisGroupModel;
    AxisGroupModel* owner() const;
};
