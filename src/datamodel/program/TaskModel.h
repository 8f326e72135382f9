#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/TableSubModel.h"
#include "datamodel/program/CachedProperties.h"

#include <QSqlDatabase>

#include <memory>
#include <string>
#include <vector>

class TaskModelPrivate;

// The controller's task configuration: the tasks that the runtime schedules (table Task), the
// programs each one calls in order (table POUInTask, one row per call entry), and the
// properties of the configuration as a whole (row "Task Config" of MiscProperties), held as
// one more task, the configuration object, whose id is 0. Task changes of a user project mark
// it as needing compilation and stamp the time of the configuration change.
//
// Task names are unique, compared without regard to case, and not empty. A task calls only
// POUs that exist: a call of an unknown POU id is refused, and removing a POU removes its
// calls (PouModel). Removing a task removes its calls with it; its object data keeps them, so
// undoing the removal puts them back.
class DATAMODEL_EXPORT TaskModel : public TableSubModel<TaskModel>
{
    Q_OBJECT
public:
    class Task;
    using Object = Task;
    // Only read from the table; a task created here is cyclic (2), as the default task of a
    // new project.
    enum TaskType : int { EventTask = 0, InterruptTask = 1, CyclicTask = 2, FreewheelingTask = 3 };

    TaskModel(const std::string& name, AbstractProjectModel* project);
    ~TaskModel() override;

    // A new cyclic task under the first free id; null, with the reason in lastError(), when
    // the name is refused or no id is left.
    Task* addTask(const std::string& name);
    Task* task(unsigned int id) const;
    // The first task in id order (the configuration object aside) whose name equals `name`
    // ignoring case.
    Task* task(const QString& name) const;
    // Every task in id order, the configuration object included.
    void allTasks(std::vector<Task*>& out) const;
    // Deletes the task with its call entries from the file at once. False, and the task stays,
    // when the file refuses; the configuration object cannot be removed.
    bool removeTask(Task* task);
    bool resetModel(QSqlDatabase*);

    // The calls of a POU as "task:position" pairs joined by ",", in task order: what removing
    // the POU takes away and restoreCalls() puts back.
    QString callPositions(unsigned int pouId) const;
    void removeCallsOf(unsigned int pouId);
    void restoreCalls(unsigned int pouId, const QString& positions);
    // A task call keeps the id of its POU.
    bool refersTo(const std::string& subModel, unsigned int id) const override;

public slots:
    bool open() override;
    bool save() override;
    // The flag is kept for the host; task writes do not depend on it.
    bool saveAs(bool flag) override;
    // The configuration object is renamed too.
    bool renameObject(const QString& path, const QString& name) override;
    // Replaces the call list of a task: `key` "pouintask", `to` the POU ids joined by ".".
    bool changeProperty(const QString& path, const QString& key, const QString& from, const QString& to) override;
    bool saveObject(ModelObject* obj) override;
    bool loadObject(ModelObject* obj) override;

private:
    friend class Task;
    DATAMODEL_TABLE_HOOKS(TaskModel, Task)
    // Task changes mark the project through setProjectModify, where they must.
    void markModified() const {}
    bool removeFromModel(Task* task) { return removeTask(task); }
    // The task's row and its call entries, together or neither.
    bool writeRow(Task* task);
    Task* objectOutsideTable(const ModelObject* object) const;
    // Tasks are not filed in folders.
    QString indexOf(const Task&) const { return QString(); }
    bool moveTo(Task&, const QString&) { return false; }

    // Why `pouId` cannot be called: no POU of the project has it. Empty when it can.
    QString callRefusal(unsigned int pouId) const;
    // Call entry ids: unique within the model, handed back when an entry goes.
    unsigned int getPouItemId();
    void setPouItemIdUnused(unsigned int id);
    // Marks a user project as needing compilation and stamps its configuration time.
    void setProjectModify(Task* task, const std::string& text);
    bool writeConfiguration(Task* configuration);
    // Clears the configuration's modified flag once what was written is in the file.
    void clearConfigurationAfterSave();

    std::unique_ptr<TaskModelPrivate> d;
};

extern template class TableSubModel<TaskModel>;

class DATAMODEL_EXPORT TaskModel::Task : public ModelObject
{
public:
    Task(unsigned int id, const std::string& name, SubModel* owner);

    unsigned int id() const { return m_id; }
    const std::string& name() const { return m_name; }
    TaskType type() const { return m_type; }
    unsigned int wdtTime() const { return m_wdtTime; }
    std::string property(const std::string& key, const std::string& defaultValue = std::string()) const;
    std::map<std::string, std::string> propertys() const { return m_properties.map(); }
    const StringProperties& properties() const { return m_properties.properties(); }
    // The Properties column's text.
    const QString& propertiesJson() const { return m_properties.toJson(); }
    std::vector<int> allPouIds() const { return m_pouIds; }
    std::vector<int> allPouInTaskIds() const { return m_pouInTaskIds; }
    // The POU id or call entry id of entry `index`; 0 when there is no such entry.
    int getPouId(int index) const;
    int pouInTaskIds(int index) const;

    // Inserts a call of `pouId` at `position` (-1 appends); the new entry's id, or 0 when the
    // position is out of range, the task belongs to no model, no POU has that id (the reason
    // in the model's lastError()) or no entry id is left.
    unsigned int addPou(unsigned int pouId, int position);
    bool removePou(int index);
    bool exChangePou(int a, int b);
    bool clearAllPou();
    bool clearProperty();
    bool setProperty(const std::string& key, const std::string& value);
    void setwdtTime(unsigned int time);
    // Renames the task and writes it at once; false, with the reason in the model's
    // lastError(), when the model refuses the name.
    bool rename(const std::string& name);

private:
    friend class TaskModel;
    TaskModel* owner() const;
    // Takes the name read from the file; the model's name index follows.
    void setName(const std::string& name);
    bool validIndex(int index) const { return index >= 0 && index < static_cast<int>(m_pouIds.size()); }

    unsigned int m_id;
    std::string m_name;
    TaskType m_type = CyclicTask;
    unsigned int m_wdtTime = 0;
    CachedProperties m_properties;
    // Parallel: entry i calls POU m_pouIds[i] and is stored under the id m_pouInTaskIds[i].
    std::vector<int> m_pouIds;
    std::vector<int> m_pouInTaskIds;
};
