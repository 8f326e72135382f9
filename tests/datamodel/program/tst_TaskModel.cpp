// Tasks: the default task of a new project, round trips with their call entries, the call
// list operations, the undo slots, and what task changes mark in user and library projects.
#include "ProgramTestSupport.h"

#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/TaskModel.h"

using testsupport::ModelTest;

namespace {

using Task = TaskModel::Task;

class TaskModelTest : public ModelTest
{
};

TEST_F(TaskModelTest, aNewProjectHoldsTheConfigurationAndTheMainTask)
{
    auto project = createProject("Fresh");
    auto* tasks = project->subModel<TaskModel>();
    ASSERT_TRUE(tasks);
    std::vector<Task*> all;
    tasks->allTasks(all);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]->id(), 0u);
    EXPECT_EQ(all[0]->name(), "Task Config");
    EXPECT_EQ(all[1]->name(), "Main_task");
    EXPECT_EQ(all[1]->type(), TaskModel::CyclicTask);
    EXPECT_EQ(all[1]->allPouIds(), std::vector<int>{2});
    EXPECT_EQ(all[1]->allPouInTaskIds(), std::vector<int>{1});
    EXPECT_EQ(tasks->task(0), all[0]);
    EXPECT_FALSE(all[1]->isModified());
    EXPECT_EQ(tasks->addTask("Second")->id(), 2u);
    EXPECT_EQ(tasks->getObjIndex(all[1]), "") << "tasks have no index";
}

TEST_F(TaskModelTest, tasksWithTheirCallsSurviveSaveAndReopen)
{
    auto project = createProject("Tasks");
    testsupport::makePous(*project, 40);
    auto* tasks = project->subModel<TaskModel>();
    std::vector<unsigned int> ids;
    for (const std::string& name : testsupport::awkwardNames()) {
        Task* task = tasks->addTask(name);
        task->setwdtTime(250);
        task->setProperty("Interval", "T#10ms");
        task->setProperty("Text", name);
        EXPECT_NE(task->addPou(7, -1), 0u);
        EXPECT_NE(task->addPou(3, 0), 0u);
        EXPECT_NE(task->addPou(5, 1), 0u);
        ids.push_back(task->id());
    }
    Task* configuration = tasks->task(0);
    configuration->setProperty("Single", "true");
    ASSERT_TRUE(tasks->save()) << "the call entries are written inside the model's transaction";
    const std::string file = databaseFile("Tasks");
    EXPECT_EQ(rows(file, "SELECT DISTINCT Type FROM Task WHERE Id > 1"), QStringList({"2"}));
    EXPECT_EQ(rows(file, "SELECT Properties FROM MiscProperties"), QStringList({R"({"Single":"true"})"}));
    std::map<unsigned int, std::vector<int>> entries;
    for (unsigned int id : ids)
        entries[id] = tasks->task(id)->allPouInTaskIds();
    project.reset();

    auto reopened = openProject("Tasks");
    ASSERT_TRUE(reopened);
    auto* loaded = reopened->subModel<TaskModel>();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string& name = testsupport::awkwardNames()[i];
        Task* task = loaded->task(ids[i]);
        ASSERT_TRUE(task) << name;
        EXPECT_EQ(task->name(), name);
        EXPECT_EQ(task->wdtTime(), 250u);
        EXPECT_EQ(task->type(), TaskModel::CyclicTask);
        EXPECT_EQ(task->property("Interval"), "T#10ms");
        EXPECT_EQ(task->property("Text"), name);
        EXPECT_EQ(task->allPouIds(), (std::vector<int>{3, 5, 7}));
        EXPECT_EQ(task->allPouInTaskIds(), entries[ids[i]]);
        EXPECT_FALSE(task->isModified());
    }
    EXPECT_EQ(loaded->task(0)->property("Single"), "true");
    EXPECT_FALSE(loaded->task(0)->isModified());
}

TEST_F(TaskModelTest, callListOperationsAndTheirBounds)
{
    auto project = createProject("Calls");
    testsupport::makePous(*project, 40);
    Task* task = project->subModel<TaskModel>()->addTask("T");
    const unsigned int a = task->addPou(10, -1);
    const unsigned int b = task->addPou(20, 1); // at the end: position == count
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_EQ(task->addPou(30, 3), 0u) << "one past the end";
    EXPECT_EQ(task->addPou(30, -2), 0u);
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{10, 20}));
    const unsigned int c = task->addPou(30, 0);
    EXPECT_EQ(c, b + 1) << "a refused call took no entry id";
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{30, 10, 20}));

    for (int index : {-1, 3, 100}) {
        EXPECT_EQ(task->getPouId(index), 0) << index;
        EXPECT_EQ(task->pouInTaskIds(index), 0) << index;
        EXPECT_FALSE(task->removePou(index)) << index;
    }
    EXPECT_EQ(task->pouInTaskIds(0), static_cast<int>(c));
    EXPECT_FALSE(task->exChangePou(1, 1));
    EXPECT_FALSE(task->exChangePou(0, 3));
    EXPECT_FALSE(task->exChangePou(-1, 0));
    ASSERT_TRUE(task->exChangePou(0, 2));
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{20, 10, 30}));
    EXPECT_EQ(task->allPouInTaskIds(), (std::vector<int>{static_cast<int>(b), static_cast<int>(a), static_cast<int>(c)}));

    ASSERT_TRUE(task->removePou(1));
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{20, 30}));
    EXPECT_EQ(task->addPou(40, -1), a) << "the removed entry's id is handed out again";

    // Clearing reaches the file: the flag makes the next save write the empty list.
    ASSERT_TRUE(project->subModel<TaskModel>()->save());
    ASSERT_TRUE(task->clearAllPou());
    EXPECT_TRUE(task->allPouIds().empty());
    EXPECT_TRUE(task->isModified());
    ASSERT_TRUE(task->clearProperty());
    ASSERT_TRUE(project->subModel<TaskModel>()->save());
    EXPECT_EQ(rows(databaseFile("Calls"), "SELECT count(*) FROM POUInTask WHERE TaskId = " + QString::number(task->id())),
              QStringList({"0"}));

    Task orphan(9, "no model", nullptr);
    EXPECT_EQ(orphan.addPou(1, -1), 0u);
}

TEST_F(TaskModelTest, changePropertyReplacesTheCallList)
{
    auto project = createProject("Change");
    testsupport::makePous(*project, 40);
    auto* tasks = project->subModel<TaskModel>();
    Task* task = tasks->addTask("T");
    task->addPou(1, -1);
    const QString path = tasks->getObjPath(task);
    ASSERT_TRUE(tasks->changeProperty(path, "pouintask", "", "3.5.7"));
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{3, 5, 7}));
    const std::vector<int> entries = task->allPouInTaskIds();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_NE(entries[0], entries[1]);
    EXPECT_NE(entries[1], entries[2]);

    EXPECT_FALSE(tasks->changeProperty(path, "pouintask", "", "3.x.7"));
    EXPECT_FALSE(tasks->changeProperty(path, "Properties", "", "3"));
    EXPECT_FALSE(tasks->changeProperty("99", "pouintask", "", "3"));
    EXPECT_EQ(task->allPouIds(), (std::vector<int>{3, 5, 7})) << "refused changes change nothing";
    ASSERT_TRUE(tasks->changeProperty(path, "pouintask", "", ""));
    EXPECT_TRUE(task->allPouIds().empty()) << "an empty list calls no POU 0";
}

TEST_F(TaskModelTest, removeAndInsertRestoreATaskWithItsCalls)
{
    auto project = createProject("Undo");
    testsupport::makePous(*project, 40);
    auto* tasks = project->subModel<TaskModel>();
    Task* empty = tasks->addTask("Empty");
    const QString emptyData = tasks->objToData(empty);
    EXPECT_TRUE(emptyData.contains(R"("POUIDS":"")"));
    EXPECT_TRUE(emptyData.contains(R"("POUINTASKIDS":"")"));

    Task* task = tasks->addTask(testsupport::awkward::quote);
    task->setwdtTime(9);
    task->setProperty("P", testsupport::awkward::chinese);
    task->addPou(4, -1);
    task->addPou(6, -1);
    ASSERT_TRUE(tasks->save());
    const QString path = tasks->getObjPath(task);
    const QString before = tasks->objToData(task);
    const std::string file = databaseFile("Undo");

    QString data;
    ASSERT_TRUE(tasks->removeObject(path, data));
    EXPECT_EQ(data, before);
    EXPECT_EQ(rows(file, "SELECT count(*) FROM POUInTask WHERE TaskId = " + path), QStringList({"0"}))
        << "the entries leave the file at once";
    EXPECT_EQ(rows(file, "SELECT count(*) FROM Task WHERE Id = " + path), QStringList({"0"}));

    ASSERT_TRUE(tasks->insertObject(path, data));
    Task* restored = tasks->task(path.toUInt());
    ASSERT_TRUE(restored);
    EXPECT_EQ(tasks->objToData(restored), before);
    EXPECT_FALSE(tasks->insertObject(path, data));
    ASSERT_TRUE(tasks->save());
    EXPECT_EQ(rows(file, "SELECT POUID FROM POUInTask WHERE TaskId = " + path), QStringList({"4", "6"}));

    ASSERT_TRUE(tasks->removeObject(QString::number(empty->id()), data));
    ASSERT_TRUE(tasks->insertObject(data.section('"', 3, 3), data));
    EXPECT_TRUE(tasks->task(data.section('"', 3, 3).toUInt())->allPouIds().empty());

    // Malformed data is refused.
    for (const QString& bad : {QString("{\"ID\":\"40\",\"POUIDS\":\"1.2\",\"POUINTASKIDS\":\"7\"}"),
                               QString("{\"ID\":\"40\",\"POUIDS\":\"1.x\",\"POUINTASKIDS\":\"7.8\"}"),
                               QString("{\"ID\":\"40\",\"WTDTIME\":\"-3\"}"), QString("{\"ID\":\"41\"}"),
                               QString("not json")})
        EXPECT_FALSE(tasks->insertObject("40", bad)) << bad.toStdString();
    EXPECT_FALSE(tasks->task(40));
}

TEST_F(TaskModelTest, renameWritesAtOnceAndReloadReadsTheRow)
{
    auto project = createProject("Rename");
    testsupport::makePous(*project, 40);
    auto* tasks = project->subModel<TaskModel>();
    ASSERT_TRUE(tasks->renameObject("1", QString::fromUtf8(testsupport::awkward::percent)));
    EXPECT_EQ(rows(databaseFile("Rename"), "SELECT Name FROM Task WHERE Id = 1"),
              QStringList({QString::fromUtf8(testsupport::awkward::percent)}));
    EXPECT_FALSE(tasks->task(1)->isModified());
    EXPECT_FALSE(tasks->renameObject("77", "x"));

    Task* task = tasks->task(1);
    task->setwdtTime(77);
    ASSERT_TRUE(task->load());
    EXPECT_EQ(task->wdtTime(), 0u);
    EXPECT_FALSE(task->isModified());
}

TEST_F(TaskModelTest, aTaskWhoseEntriesCannotBeDeletedIsKept)
{
    auto project = createProject("Keep");
    testsupport::makePous(*project, 40);
    auto* tasks = project->subModel<TaskModel>();
    ASSERT_TRUE(testsupport::execOn(databaseFile("Keep"), "ALTER TABLE POUInTask RENAME TO Renamed"));
    QString data;
    EXPECT_FALSE(tasks->removeObject("1", data));
    ASSERT_TRUE(tasks->task(1)) << "the task must not be lost";
    EXPECT_EQ(tasks->task(1)->allPouIds(), std::vector<int>{2});
    EXPECT_TRUE(logged("remove task 'Main_task' failed"));
    EXPECT_EQ(rows(databaseFile("Keep"), "SELECT count(*) FROM Task"), QStringList({"1"}));
}

TEST_F(TaskModelTest, userProjectChangesStampTheConfigurationTime)
{
    auto project = createProject("Stamp");
    testsupport::makePous(*project, 40);
    auto* tasks = project->subModel<TaskModel>();
    PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*project);
    Task* task = tasks->addTask("T");
    for (const auto& [text, change] : std::vector<std::pair<std::string, std::function<void()>>>{
             {"Task::addTask", [&] { tasks->addTask("U"); }},
             {"Task::addPou", [&] { task->addPou(1, -1); }},
             {"Task::exChangePou", [&] { task->addPou(2, -1), testsupport::markCompiled(*project), task->exChangePou(0, 1); }},
             {"Task::removePou", [&] { task->removePou(0); }},
             {"Task::setProperty,Interval:T#5ms", [&] { task->setProperty("Interval", "T#5ms"); }}}) {
        testsupport::markCompiled(*project);
        testsupport::defaultHost().logs()->clear();
        change();
        EXPECT_EQ(info->property("Compile"), "false") << text;
        EXPECT_NE(info->property("CfgModifiedTime"), "0") << text;
        EXPECT_EQ(info->property("ProgramModifiedTime"), "0") << text;
        EXPECT_TRUE(logged(text)) << text;
        EXPECT_TRUE(logged("TaskModel::setProjectModify")) << text;
    }
    // A task marked by its caller (status) changes nothing.
    testsupport::markCompiled(*project);
    task->setStatus(true);
    task->setProperty("k", "v");
    EXPECT_EQ(info->property("Compile"), "true");
}

TEST_F(TaskModelTest, libraryProjectChangesMarkNothing)
{
    auto library = createLibrary("Lib");
    PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*library);
    ASSERT_EQ(library->subModel<PouModel>()->addPou("LibPou", PouModel::PRGPOU, PouModel::POU_ST, 0)->id(), 1u);
    ASSERT_TRUE(library->save());
    const auto before = info->propertys();
    TaskModel tasks("TaskModel", library.get());
    testsupport::defaultHost().logs()->clear();
    Task* task = tasks.addTask("T");
    ASSERT_TRUE(task);
    task->addPou(1, -1);
    task->setProperty("k", "v");
    EXPECT_EQ(info->propertys(), before);
    EXPECT_FALSE(info->isModified());
    EXPECT_TRUE(testsupport::defaultHost().logs()->entries().empty());
}

} // namespace
