#include "datamodel/program/TaskModel.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/program/PouModel.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

class TaskModelPrivate
{
public:
    // The row "Task Config" of MiscProperties; its row id is marked used among the task ids.
    std::unique_ptr<TaskModel::Task> configuration;
    unsigned int configurationRow = 0;
    IDDistributor entryIds{ObjectTable<TaskModel::Task>::MaxId};
    bool saveAsFlag = true; // kept for the host; task writes do not depend on it
};

namespace {

using Column = ObjectData;
const QString WTDTIME = QStringLiteral("WTDTIME");
const QString POUIDS = QStringLiteral("POUIDS");
const QString POUINTASKIDS = QStringLiteral("POUINTASKIDS");
const QString configurationName = QStringLiteral("Task Config");

QString joined(const std::vector<int>& ids)
{
    QStringList pieces;
    for (int id : ids)
        pieces << QString::number(id);
    return pieces.join(QLatin1Char('.'));
}

// Ids joined by "."; an empty text holds none. False when a piece is no unsigned number.
bool split(const QString& text, std::vector<unsigned int>& ids)
{
    ids.clear();
    if (text.isEmpty())
        return true;
    for (const QString& piece : text.split(QLatin1Char('.'))) {
        bool ok = false;
        ids.push_back(piece.toUInt(&ok));
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

TaskModel::TaskModel(const std::string& name, AbstractProjectModel* project)
    : TableSubModel(name, project, QStringLiteral("TASK"), {Column::Name, Column::Type, WTDTIME, Column::Properties}, "task"),
      d(std::make_unique<TaskModelPrivate>())
{
    d->entryIds.setUsed(0, true);
}

TaskModel::~TaskModel() = default;

TaskModel::Task* TaskModel::addTask(const std::string& name)
{
    if (!allowAdd(name))
        return nullptr;
    const unsigned int id = newObjectId(name);
    if (id == IDDistributor::INVALID_ID)
        return nullptr;
    Task* task = insertNew(std::make_unique<Task>(id, name, this));
    setProjectModify(task, "Task::addTask");
    return task;
}

TaskModel::Task* TaskModel::task(unsigned int id) const
{
    if (d->configuration && id == d->configurationRow)
        return d->configuration.get();
    return objects().find(id);
}

TaskModel::Task* TaskModel::task(const QString& name) const
{
    return findByName(name);
}

void TaskModel::allTasks(std::vector<Task*>& out) const
{
    const std::size_t first = out.size();
    objects().forEach([&out](Task* task) { out.push_back(task); });
    if (!d->configuration)
        return;
    const unsigned int row = d->configurationRow;
    auto at = std::find_if(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                           [row](Task* task) { return task->id() > row; });
    out.insert(at, d->configuration.get());
}

bool TaskModel::removeTask(Task* task)
{
    if (!objects().contains(task) || !allowRemove(*task))
        return false;
    // The task and its call entries leave the file together or not at all: entries left
    // behind would be picked up by the next task that gets this id.
    QSqlDatabase db = database();
    ScopedTransaction transaction(db);
    QSqlQuery entries(db), row(db);
    entries.prepare(QStringLiteral("DELETE from pouintask where TaskId = ?"));
    entries.addBindValue(task->id());
    row.prepare(QStringLiteral("DELETE FROM TASK WHERE ID = ?"));
    row.addBindValue(task->id());
    if (!transaction.isActive() || !entries.exec() || !row.exec() || !transaction.commit()) {
        QString error = transaction.errorText();
        for (const QSqlQuery* query : {&entries, &row})
            if (query->lastError().isValid())
                error = query->lastError().text();
        writeLog(HostServices::LogInfo, "remove task '" + task->name() + "' failed: " + error.toStdString());
        return false;
    }
    for (int entry : task->m_pouInTaskIds)
        setPouItemIdUnused(static_cast<unsigned int>(entry));
    objects().erase(task);
    save();
    return true;
}

bool TaskModel::resetModel(QSqlDatabase*)
{
    return true;
}

QString TaskModel::callPositions(unsigned int pouId) const
{
    QStringList pairs;
    objects().forEach([&](Task* task) {
        for (std::size_t i = 0; i < task->m_pouIds.size(); ++i)
            if (static_cast<unsigned int>(task->m_pouIds[i]) == pouId)
                pairs << QStringLiteral("%1:%2").arg(task->id()).arg(i);
    });
    return pairs.join(QLatin1Char(','));
}

void TaskModel::removeCallsOf(unsigned int pouId)
{
    objects().forEach([&](Task* task) {
        for (int i = static_cast<int>(task->m_pouIds.size()) - 1; i >= 0; --i)
            if (static_cast<unsigned int>(task->m_pouIds[static_cast<std::size_t>(i)]) == pouId)
                task->removePou(i);
    });
}

void TaskModel::restoreCalls(unsigned int pouId, const QString& positions)
{
    // Ascending positions per task rebuild the calls where they were.
    std::vector<std::pair<unsigned int, int>> calls;
    for (const QString& pair : positions.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(QLatin1Char(':'));
        bool taskOk = false, positionOk = false;
        const unsigned int taskId = parts.value(0).toUInt(&taskOk);
        const int position = parts.value(1).toInt(&positionOk);
        if (parts.size() == 2 && taskOk && positionOk && position >= 0)
            calls.emplace_back(taskId, position);
    }
    std::sort(calls.begin(), calls.end());
    for (const auto& [taskId, position] : calls)
        if (Task* task = objects().find(taskId)) // a task removed since is no longer called from
            task->addPou(pouId, std::min(position, static_cast<int>(task->m_pouIds.size())));
}

bool TaskModel::refersTo(const std::string& subModel, unsigned int id) const
{
    if (subModel != PouModel::staticMetaObject.className())
        return false;
    bool called = false;
    objects().forEach([&](Task* task) {
        called = called || std::find(task->m_pouIds.begin(), task->m_pouIds.end(), static_cast<int>(id)) != task->m_pouIds.end();
    });
    return called;
}

QString TaskModel::callRefusal(unsigned int pouId) const
{
    auto* pous = projectModel() ? projectModel()->subModel<PouModel>() : nullptr;
    if (!pous || pous->pou(pouId))
        return QString();
    return QStringLiteral("no POU has id %1").arg(pouId);
}

unsigned int TaskModel::getPouItemId()
{
    return d->entryIds.takenId();
}

void TaskModel::setPouItemIdUnused(unsigned int id)
{
    d->entryIds.setUsed(id, false);
}

void TaskModel::setProjectModify(Task* task, const std::string& text)
{
    AbstractProjectModel* project = projectModel();
    if (!project || project->type() != AbstractProjectModel::Project || !task || task->status())
        return;
    auto* infoModel = project->subModel<PrjInfoModel>();
    if (!infoModel || !infoModel->projectInfo())
        return;
    writeLog(HostServices::LogInfo, text);
    writeLog(HostServices::LogInfo, "TaskModel::setProjectModify");
    markProjectModified(true);
}

bool TaskModel::open()
{
    d->configuration.reset();
    d->configurationRow = 0;
    d->entryIds.reset(ObjectTable<Task>::MaxId);
    d->entryIds.setUsed(0, true);
    return TableSubModel::open();
}

QString TaskModel::selectStatement() const
{
    return QStringLiteral("SELECT * FROM Task");
}

// The configuration row first (its id is taken among the task ids), then the tasks, then
// their call entries.
bool TaskModel::readRows(QSqlQuery& tasks)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT * FROM miscproperties where Name is ?"));
    query.addBindValue(configurationName);
    if (query.exec() && query.next()) {
        const QSqlRecord row = query.record();
        d->configuration = std::make_unique<Task>(0, row.value(QStringLiteral("Name")).toString().toStdString(), this);
        d->configuration->m_properties.merge(row.value(QStringLiteral("Properties")).toString());
        d->configurationRow = row.value(QStringLiteral("Id")).toUInt();
        objects().ids().setUsed(d->configurationRow, true);
    }
    query.finish();

    const QSqlRecord taskColumns = tasks.record();
    const int id = taskColumns.indexOf(Column::Id), name = taskColumns.indexOf(Column::Name), type = taskColumns.indexOf(Column::Type),
              wdt = taskColumns.indexOf(WTDTIME), properties = taskColumns.indexOf(Column::Properties);
    while (tasks.next()) {
        auto task = std::make_unique<Task>(tasks.value(id).toUInt(), tasks.value(name).toString().toStdString(), this);
        task->m_type = static_cast<TaskType>(tasks.value(type).toInt());
        task->m_wdtTime = tasks.value(wdt).toUInt();
        task->m_properties.merge(tasks.value(properties).toString());
        insertLoaded(std::move(task));
    }
    if (!readToTheEnd(tasks, "Task"))
        return false;

    if (!query.exec(QStringLiteral("SELECT Id, TaskId, POUID FROM pouintask"))) {
        logFailure("reading the call entries of the tasks failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    // Entries keep the order in which the table returns them; entries of unknown tasks are
    // left alone.
    while (query.next()) {
        Task* task = objects().find(query.value(1).toUInt());
        if (!task)
            continue;
        const int entry = query.value(0).toInt();
        d->entryIds.setUsed(static_cast<unsigned int>(entry), true);
        task->m_pouInTaskIds.push_back(entry);
        task->m_pouIds.push_back(query.value(2).toInt());
    }
    return readToTheEnd(query, "POUInTask");
}

bool TaskModel::writeConfiguration(Task* configuration)
{
    QSqlQuery& query =
        projectModel()->preparedQuery(QStringLiteral("UPDATE miscproperties SET Name=?, Properties=? WHERE id=?"));
    query.bindValue(0, QString::fromStdString(configuration->name()));
    query.bindValue(1, configuration->propertiesJson());
    query.bindValue(2, d->configurationRow);
    QString error;
    if (!query.exec())
        error = query.lastError().text();
    else if (query.numRowsAffected() < 1)
        error = QStringLiteral("the file holds no row %1 in MiscProperties").arg(d->configurationRow);
    if (error.isEmpty())
        return true;
    logFailure("save task configuration '" + configuration->name() + "' failed: "
                                        + error.toStdString());
    return false;
}

QVector<QVariant> TaskModel::rowValues(const Task& task) const
{
    return {QString::fromStdString(task.name()), static_cast<int>(task.type()), task.wdtTime(), task.propertiesJson()};
}

bool TaskModel::writeRow(Task* task)
{
    AbstractProjectModel* project = projectModel();
    // Nested in the transaction of save() when called from there: the row and its call
    // entries are written together, or neither. A failed row write is logged by the base.
    ScopedTransaction transaction(database());
    if (!transaction.isActive() || !TableSubModel::writeRow(task)) {
        if (!transaction.isActive())
            logFailure("save task '" + task->name() + "' failed: "
                                                + transaction.errorText().toStdString());
        return false;
    }
    QString error;
    QSqlQuery& clear = project->preparedQuery(QStringLiteral("DELETE from pouintask where TaskId = ?"));
    clear.bindValue(0, task->id());
    bool ok = clear.exec();
    if (!ok)
        error = clear.lastError().text();
    QSqlQuery& insert =
        project->preparedQuery(QStringLiteral("INSERT INTO pouintask (Id, TaskId, POUID) VALUES(?, ?, ?)"));
    for (std::size_t i = 0; ok && i < task->m_pouIds.size(); ++i) {
        insert.bindValue(0, task->m_pouInTaskIds[i]);
        insert.bindValue(1, task->id());
        insert.bindValue(2, task->m_pouIds[i]);
        ok = insert.exec();
        if (!ok)
            error = insert.lastError().text();
    }
    if (ok && !transaction.commit()) {
        ok = false;
        error = transaction.errorText();
    }
    if (!ok)
        logFailure("save task '" + task->name() + "' failed: " + error.toStdString());
    return ok;
}

bool TaskModel::save()
{
    // The configuration and the tasks are written together or not at all.
    ScopedTransaction transaction(database());
    if (d->configuration && d->configuration->isModified()) {
        if (!projectModel() || !writeConfiguration(d->configuration.get()))
            return false;
        clearConfigurationAfterSave();
    }
    if (!TableSubModel::save())
        return false;
    if (!transaction.commit()) {
        logFailure("save of the tasks failed: " + transaction.errorText().toStdString());
        return false;
    }
    return true;
}

void TaskModel::clearConfigurationAfterSave()
{
    afterSave([this, configuration = d->configuration.get()] {
        if (d->configuration.get() == configuration)
            configuration->setModified(false);
    });
}

bool TaskModel::saveAs(bool flag)
{
    d->saveAsFlag = flag;
    learnStoredRows();
    return true;
}

TaskModel::Task* TaskModel::objectOutsideTable(const ModelObject* object) const
{
    return object && object == d->configuration.get() ? d->configuration.get() : nullptr;
}

bool TaskModel::saveObject(ModelObject* obj)
{
    if (!d->configuration || obj != d->configuration.get())
        return projectModel() && TableSubModel::saveObject(obj);
    if (!projectModel() || !writeConfiguration(d->configuration.get()))
        return false;
    clearConfigurationAfterSave();
    return true;
}

QString TaskModel::reloadStatement() const
{
    return QStringLiteral("SELECT * FROM Task WHERE Id = ?");
}

void TaskModel::reloadRow(Task& task, const QSqlQuery& query)
{
    const QSqlRecord row = query.record();
    task.setName(row.value(QStringLiteral("Name")).toString().toStdString());
    task.m_type = static_cast<TaskType>(row.value(QStringLiteral("Type")).toInt());
    task.m_wdtTime = row.value(QStringLiteral("WTDTime")).toUInt();
    task.m_properties.merge(row.value(QStringLiteral("Properties")).toString());
}

bool TaskModel::loadObject(ModelObject* obj)
{
    Task* configuration = d->configuration.get();
    if (!configuration || obj != configuration)
        return TableSubModel::loadObject(obj);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT * FROM miscproperties WHERE Id = ?"));
    query.addBindValue(d->configurationRow);
    if (!query.exec()) {
        writeLog(HostServices::LogInfo, "reload task '" + configuration->name() + "' failed: "
                                            + query.lastError().text().toStdString());
        return false;
    }
    while (query.next()) {
        const QSqlRecord row = query.record();
        configuration->setName(row.value(QStringLiteral("Name")).toString().toStdString());
        configuration->m_properties.merge(row.value(QStringLiteral("Properties")).toString());
    }
    configuration->setModified(false);
    return true;
}

std::unique_ptr<TaskModel::Task> TaskModel::fromData(unsigned int id, const QJsonObject& data)
{
    unsigned int wdtTime = 0;
    int type = CyclicTask;
    std::vector<unsigned int> pouIds, entryIds;
    if (!ObjectData::toUnsigned(data, WTDTIME, wdtTime) || !split(ObjectData::text(data, POUIDS), pouIds)
        || !split(ObjectData::text(data, POUINTASKIDS), entryIds) || pouIds.size() != entryIds.size())
        return nullptr;
    if (data.contains(Column::Type) && !ObjectData::toInt(data, Column::Type, type))
        return nullptr;
    // An entry keeps its id unless another entry took it meanwhile.
    std::vector<int> entries;
    for (unsigned int entry : entryIds) {
        if (entry == 0 || entry > d->entryIds.maxId() || d->entryIds.isUsed(entry))
            entry = d->entryIds.fistUnusd();
        if (entry == IDDistributor::INVALID_ID) {
            for (int taken : entries)
                setPouItemIdUnused(static_cast<unsigned int>(taken));
            return nullptr;
        }
        d->entryIds.setUsed(entry, true);
        entries.push_back(static_cast<int>(entry));
    }
    auto task = std::make_unique<Task>(id, ObjectData::utf8(data, Column::Name), this);
    task->m_type = static_cast<TaskType>(type);
    task->m_wdtTime = wdtTime;
    task->m_properties.merge(ObjectData::text(data, Column::Properties));
    task->m_pouIds.assign(pouIds.begin(), pouIds.end());
    task->m_pouInTaskIds = std::move(entries);
    return task;
}

bool TaskModel::renameObject(const QString& path, const QString& name)
{
    unsigned int id = 0;
    Task* found = ObjectPath::toId(path, id) ? task(id) : nullptr;
    return found && found->rename(name.toStdString());
}

bool TaskModel::changeProperty(const QString& path, const QString& key, const QString&, const QString& to)
{
    Task* task = objects().find(path);
    std::vector<unsigned int> pouIds;
    if (key != QLatin1String("pouintask") || !task || !split(to, pouIds))
        return false;
    // All or nothing: a list that names a POU that is gone is refused whole.
    for (unsigned int pouId : pouIds) {
        const QString refusal = callRefusal(pouId);
        if (!refusal.isEmpty())
            return refuse(QStringLiteral("calls of task '%1' refused: %2").arg(QString::fromStdString(task->name()), refusal));
    }
    task->clearAllPou();
    for (unsigned int pouId : pouIds)
        task->addPou(pouId, -1);
    task->setModified(true);
    return true;
}

QJsonObject TaskModel::toData(const Task& task) const
{
    return {{Column::Id, QString::number(task.id())},
            {Column::Name, QString::fromStdString(task.name())},
            {Column::Type, QString::number(task.type())},
            {WTDTIME, QString::number(task.wdtTime())},
            {Column::Properties, task.propertiesJson()},
            {POUIDS, joined(task.m_pouIds)},
            {POUINTASKIDS, joined(task.m_pouInTaskIds)}};
}

template class TableSubModel<TaskModel>;

// ---- Task ----

TaskModel::Task::Task(unsigned int id, const std::string& name, SubModel* owner)
    : ModelObject(owner), m_id(id), m_name(name)
{
}

TaskModel* TaskModel::Task::owner() const
{
    // A task created outside a model has no owner; one handed another model's pointer is a fault.
    auto* model = qobject_cast<TaskModel*>(subModel());
    DATAMODEL_ASSERT(model || !subModel(), return nullptr);
    return model;
}

std::string TaskModel::Task::property(const std::string& key, const std::string& defaultValue) const
{
    return m_properties.value(key, defaultValue);
}

int TaskModel::Task::getPouId(int index) const
{
    return validIndex(index) ? m_pouIds[static_cast<std::size_t>(index)] : 0;
}

int TaskModel::Task::pouInTaskIds(int index) const
{
    return validIndex(index) ? m_pouInTaskIds[static_cast<std::size_t>(index)] : 0;
}

unsigned int TaskModel::Task::addPou(unsigned int pouId, int position)
{
    TaskModel* model = owner();
    const int count = static_cast<int>(m_pouIds.size());
    // The position is checked before an entry id is taken, so a refused call leaks none.
    if (!model || position < -1 || position > count)
        return 0;
    const QString refusal = model->callRefusal(pouId);
    if (!refusal.isEmpty()) {
        model->refuse(QStringLiteral("call of POU id %1 by task '%2' refused: %3")
                          .arg(QString::number(pouId), QString::fromStdString(m_name), refusal));
        return 0;
    }
    const unsigned int entry = model->getPouItemId();
    if (entry == IDDistributor::INVALID_ID)
        return 0;
    const std::size_t at = position == -1 ? m_pouIds.size() : static_cast<std::size_t>(position);
    m_pouIds.insert(m_pouIds.begin() + static_cast<std::ptrdiff_t>(at), static_cast<int>(pouId));
    m_pouInTaskIds.insert(m_pouInTaskIds.begin() + static_cast<std::ptrdiff_t>(at), static_cast<int>(entry));
    setModified(true);
    model->setProjectModify(this, "Task::addPou");
    return entry;
}

bool TaskModel::Task::removePou(int index)
{
    if (!validIndex(index))
        return false;
    const auto at = static_cast<std::ptrdiff_t>(index);
    const int entry = m_pouInTaskIds[static_cast<std::size_t>(index)];
    m_pouIds.erase(m_pouIds.begin() + at);
    m_pouInTaskIds.erase(m_pouInTaskIds.begin() + at);
    setModified(true);
    if (TaskModel* model = owner()) {
        model->setPouItemIdUnused(static_cast<unsigned int>(entry));
        model->setProjectModify(this, "Task::removePou");
    }
    return true;
}

bool TaskModel::Task::exChangePou(int a, int b)
{
    if (a == b || !validIndex(a) || !validIndex(b))
        return false;
    std::swap(m_pouIds[static_cast<std::size_t>(a)], m_pouIds[static_cast<std::size_t>(b)]);
    std::swap(m_pouInTaskIds[static_cast<std::size_t>(a)], m_pouInTaskIds[static_cast<std::size_t>(b)]);
    setModified(true);
    if (TaskModel* model = owner())
        model->setProjectModify(this, "Task::exChangePou");
    return true;
}

bool TaskModel::Task::clearAllPou()
{
    if (m_pouIds.empty())
        return true;
    if (TaskModel* model = owner())
        for (int entry : m_pouInTaskIds)
            model->setPouItemIdUnused(static_cast<unsigned int>(entry));
    m_pouIds.clear();
    m_pouInTaskIds.clear();
    // The stored entries differ now: without the flag a save would keep them in the file.
    setModified(true);
    return true;
}

bool TaskModel::Task::clearProperty()
{
    if (m_properties.map().empty())
        return true;
    m_properties.clear();
    setModified(true); // as above: the stored properties differ now
    return true;
}

bool TaskModel::Task::setProperty(const std::string& key, const std::string& value)
{
    m_properties.set(key, value);
    setModified(true);
    if (TaskModel* model = owner())
        model->setProjectModify(this, "Task::setProperty," + key + ":" + value);
    return true;
}

void TaskModel::Task::setwdtTime(unsigned int time)
{
    m_wdtTime = time;
    setModified(true);
}

bool TaskModel::Task::rename(const std::string& name)
{
    TaskModel* model = owner();
    if (model && !model->allowRename(*this, name))
        return false;
    setName(name);
    setModified(true);
    if (model)
        model->saveObject(this);
    return true;
}

void TaskModel::Task::setName(const std::string& name)
{
    const std::string oldName = m_name;
    m_name = name;
    nameChanged(oldName);
}
