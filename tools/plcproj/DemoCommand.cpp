// plcproj demo: a small packaging line with every kind of object the library holds, saved,
// re-keyed, reopened, checked by the compiler core and described.
#include "Command.h"
#include "DemoAuxiliary.h"
#include "Progress.h"
#include "ProjectCheck.h"
#include "ProjectSession.h"
#include "StandardLibraries.h"

#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/motion/AxisGroupModel.h"
#include "datamodel/motion/AxisModel.h"
#include "datamodel/motion/EcamModel.h"
#include "datamodel/motion/TraceModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSqlQuery>

namespace plcproj {

namespace {

const char* const demoName = "PackagingLine";
const char* const demoPassword = "line'2 demo";

std::string source(const QString& name)
{
    QFile file(":/demo/" + name);
    file.open(QIODevice::ReadOnly);
    return file.readAll().toStdString();
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Fills a new project as an engineer would through the IDE.
// The controller's local bus gets an input and an output module, the controller a serial port
// with a Modbus RTU master on it.
bool fillDevices(DeviceTreeModel* tree)
{
    DeviceTreeNode* root = tree ? tree->getRootNode() : nullptr;
    DeviceTreeNode* bus = nullptr;
    for (DeviceTreeNode* child : root ? root->getChildNodes() : std::vector<DeviceTreeNode*>())
        if (child->getTypeID() == "LocalBusProtocolNode")
            bus = child;
    DeviceTreeNode* port = bus ? tree->addNode(root, "SerialInterfaceNode", "COM1") : nullptr;
    return port && tree->addNode(bus, "VX7IOModuleNode", "VX7_16EX") && tree->addNode(bus, "VX7IOModuleNode", "VX7_16EYT")
        && tree->addNode(port, "ModbusRtuProtocolNode", "ModbusRtu");
}

QJsonArray devices(const DeviceTreeNode* node, int depth)
{
    QJsonArray out{QJsonObject{{"id", int(node->getID())}, {"type", node->getTypeID()}, {"name", node->getName()},
                               {"depth", depth}, {"displayName", node->getNodeProperty("DisplayName")}}};
    for (const DeviceTreeNode* child : node->getChildNodes())
        for (const QJsonValue& value : devices(child, depth + 1))
            out.append(value);
    return out;
}

// Two axes on the controller's pulse outputs, a group of both, a sealing cam and a trace.
bool fillMotion(AbstractPlcProjectModel* project)
{
    AxisModel::AxisTable* feeder = project->subModel<AxisModel>()->addAxisTable("Feeder");
    AxisModel::AxisTable* sealer = project->subModel<AxisModel>()->addAxisTable("Sealer");
    AxisGroupModel::AxisGroupTable* group = project->subModel<AxisGroupModel>()->addAxisGroupTable("Wrapper");
    EcamModel::EcamTable* cam = project->subModel<EcamModel>()->addEcamTable("SealCam");
    TraceModel::TraceTable* trace = project->subModel<TraceModel>()->addTraceTable("Belt speed");
    if (!feeder || !sealer || !group || !cam || !trace)
        return false;
    feeder->setProperty("MaxVel", "2000");
    group->setProperty("X-Axis", QString::number(feeder->id()));
    group->setProperty("Y-Axis", QString::number(sealer->id()));
    const double points[][4] = {{0, 0, 0, 0}, {90, 45.5, 10, 100}, {180, 90, 0, 0}, {360, 0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        EcamData p;
        p.mainAxis = points[i][0];
        p.slaveAxis = points[i][1];
        p.velocity = points[i][2];
        p.acceleration = points[i][3];
        p.camCurveType = 1;
        if (!cam->addPoint(i, p))
            return false;
    }
    trace->appendTraceVar({"recipe.beltSpeed", true, 2});
    return true;
}

bool fill(AbstractPlcProjectModel* project)
{
    auto* folders = project->subModel<FolderModel>();
    auto* units = project->subModel<DataTypeModel>();
    auto* lists = project->subModel<GlobalVarModel>();
    auto* pous = project->subModel<PouModel>();
    auto* tasks = project->subModel<TaskModel>();
    const unsigned int types = folders->addFolder("Types", 0, FolderModel::DataTypeForder)->id();
    const unsigned int globals = folders->addFolder("Globals", 0, FolderModel::GlobleVarForder)->id();
    const unsigned int programs = folders->addFolder("Programs", 0, FolderModel::PouForder)->id();
    const unsigned int blocks = folders->addFolder(u8"功能块 Function blocks", programs, FolderModel::PouForder)->id();

    units->addDataUnit("E_MachineState", DataTypeModel::Enum, types)->setVarDeclaration(source("E_MachineState.st"));
    units->addDataUnit("ST_Recipe", DataTypeModel::Struct, types)->setVarDeclaration(source("ST_Recipe.st"));
    auto* plant = lists->addVarTable("GVL_Plant", globals);
    plant->setVarDeclaration(source("GVL_Plant.st"));
    plant->setProperty("Row", "0");

    // The first POU of a new project is the one its default task calls.
    struct Pou
    {
        const char* name;
        PouModel::PouType type;
        unsigned int folder;
    };
    for (const Pou& p : {Pou{"Main", PouModel::PRGPOU, programs}, Pou{"Housekeeping", PouModel::PRGPOU, programs},
                         Pou{"FeederAxis", PouModel::PRGPOU, programs}, Pou{"FB_Conveyor", PouModel::FBPOU, blocks},
                         Pou{"FC_ScaleSpeed", PouModel::FCPOU, blocks}}) {
        PouModel::PouUnit* pou = pous->addPou(p.name, p.type, PouModel::POU_ST, p.folder);
        if (!pou)
            return false;
        pou->setVarDeclaration(source(QString(p.name) + ".st"));
        pou->setLogicContext(source(QString(p.name) + ".logic.st"));
    }
    // A ladder network as its editor stores it: opaque bytes.
    PouModel::PouUnit* lights = pous->addPou("StackLights", PouModel::PRGPOU, PouModel::POU_LD, programs);
    lights->setVarDeclaration("PROGRAM StackLights\nVAR\n    green : BOOL;\nEND_VAR\n");
    std::vector<char> graph;
    for (int i = 0; i < 256; ++i)
        graph.push_back(static_cast<char>(i));
    lights->setGraphData(graph);

    std::vector<TaskModel::Task*> all;
    tasks->allTasks(all);
    for (TaskModel::Task* task : all)
        if (task->name() == "Main_task") {
            task->setwdtTime(100);
            task->setProperty("Interval", "T#10ms");
            task->addPou(pous->pou(QStringLiteral("FeederAxis"))->id(), -1);
        }
    TaskModel::Task* slow = tasks->addTask("SlowTask");
    slow->setwdtTime(1000);
    slow->setProperty("Interval", "T#500ms");
    slow->addPou(pous->pou(QStringLiteral("Housekeeping"))->id(), -1);
    slow->addPou(lights->id(), -1);
    return fillDevices(project->subModel<DeviceTreeModel>()) && fillMotion(project) && fillAuxiliary(project);
}

bool hidden(const StringProperties& properties)
{
    return properties.value("Hidden", "") == "true";
}

// The project's tree: folders with what is filed in them, then the tasks.
QJsonObject describe(AbstractPlcProjectModel* project)
{
    auto* folderModel = project->subModel<FolderModel>();
    std::map<unsigned int, QJsonArray> filed; // folder id -> objects
    auto file = [&](unsigned int folder, const QString& kind, const std::string& name, bool isHidden, const QString& detail) {
        filed[folder].append(QJsonObject{{"kind", kind}, {"name", q(name)}, {"hidden", isHidden}, {"detail", detail}});
    };
    std::vector<DataTypeModel::DataUnit*> units;
    project->subModel<DataTypeModel>()->allDataUnits(units);
    for (auto* unit : units)
        file(unit->folderId(), "type", unit->name(), hidden(unit->properties()),
             unit->type() == DataTypeModel::Enum ? "enum" : "struct");
    std::vector<GlobalVarModel::GlobalVarTable*> lists;
    project->subModel<GlobalVarModel>()->allVarTables(lists);
    for (auto* list : lists)
        file(list->folderId(), "gvl", list->name(), hidden(list->properties()),
             QStringLiteral("%1 lines").arg(q(list->varDeclaration()).count('\n')));
    std::vector<PouModel::PouUnit*> pous;
    project->subModel<PouModel>()->allPous(pous, PouModel::AllPouTypes);
    for (auto* pou : pous) {
        const char* kind = pou->type() == PouModel::FBPOU ? "FB" : pou->type() == PouModel::FCPOU ? "FC" : "PRG";
        file(pou->folderId(), "pou", pou->name(), hidden(pou->properties()),
             QStringLiteral("%1, language %2, %3 graph bytes")
                 .arg(QLatin1String(kind)).arg(int(pou->languageType())).arg(pou->graphData().size()));
    }
    QJsonArray folders;
    folders.append(QJsonObject{{"id", 0}, {"name", "(top)"}, {"parent", 0}, {"content", filed[0]}});
    std::vector<FolderModel::Folder*> all;
    folderModel->allFolders(all, ~0);
    for (auto* folder : all)
        folders.append(QJsonObject{{"id", int(folder->id())}, {"name", q(folder->name())},
                                   {"parent", int(folder->parentId())}, {"content", filed[folder->id()]}});
    QJsonArray tasks;
    std::vector<TaskModel::Task*> taskList;
    project->subModel<TaskModel>()->allTasks(taskList);
    for (auto* task : taskList) {
        if (task->id() == 0)
            continue;
        QJsonArray calls;
        for (int id : task->allPouIds()) {
            PouModel::PouUnit* pou = project->subModel<PouModel>()->pou(static_cast<unsigned int>(id));
            calls.append(pou ? q(pou->name()) : QString::number(id));
        }
        tasks.append(QJsonObject{{"name", q(task->name())}, {"watchdog", int(task->wdtTime())},
                                 {"interval", q(task->property("Interval", ""))}, {"calls", calls}});
    }
    QJsonArray libraries;
    if (auto* libraryModel = project->subModel<LibraryModel>()) {
        for (const std::string& name : libraryModel->getAllLibName()) {
            PrjInfoModel::PrjInfo* info = libraryModel->getLibPrjInfoData(name);
            libraries.append(QJsonObject{{"name", q(name)},
                                         {"version", info ? q(info->version()) : QString()},
                                         {"pous", int(libraryModel->getLibSymbolData(name).size())},
                                         {"types", int(libraryModel->getLibDataTypes(name).size())}});
        }
    }
    QJsonArray motion;
    std::vector<AxisModel::AxisTable*> axes;
    project->subModel<AxisModel>()->allAxisTables(axes);
    for (auto* axis : axes)
        motion.append(QStringLiteral("axis %1: %2 no. %3").arg(q(axis->name()), axis->property("AxisType"), axis->property("AxisNo")));
    std::vector<AxisGroupModel::AxisGroupTable*> groups;
    project->subModel<AxisGroupModel>()->allAxisGroupTables(groups);
    for (auto* group : groups)
        motion.append(QStringLiteral("group %1: axes %2, %3").arg(q(group->name()), group->property("X-Axis"), group->property("Y-Axis")));
    std::vector<EcamModel::EcamTable*> cams;
    project->subModel<EcamModel>()->allEcamTables(cams);
    for (auto* cam : cams)
        motion.append(QStringLiteral("cam %1: %2 points").arg(q(cam->name())).arg(cam->pointCount()));
    std::vector<TraceModel::TraceTable*> traces;
    project->subModel<TraceModel>()->allTraceTables(traces);
    for (auto* trace : traces)
        motion.append(QStringLiteral("trace %1: %2 variables").arg(q(trace->name())).arg(trace->traceVarPropertys().size()));
    const DeviceTreeNode* root = project->subModel<DeviceTreeModel>()->getRootNode();
    return QJsonObject{{"folders", folders}, {"tasks", tasks}, {"libraries", libraries}, {"motion", motion},
                       {"devices", root ? devices(root, 0) : QJsonArray()}, {"auxiliary", describeAuxiliary(project)}};
}

QJsonObject tableCounts(QSqlDatabase db)
{
    QJsonObject counts;
    QSqlQuery tables(db);
    tables.exec("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name");
    while (tables.next()) {
        QSqlQuery count(db);
        count.exec(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(tables.value(0).toString()));
        counts.insert(tables.value(0).toString(), count.next() ? count.value(0).toInt() : -1);
    }
    return counts;
}

void printText(const Output& out, const QJsonObject& project, const QJsonObject& tree, const QJsonObject& counts,
               const QJsonArray& messages)
{
    out.line(QStringLiteral("project %1 (%2, %3)")
                 .arg(project["name"].toString(), project["type"].toString(), project["ProgramStyle"].toString()));
    for (const char* key : {"file", "author", "comments", "ProjectUUID"})
        out.line(QStringLiteral("  %1: %2").arg(QLatin1String(key), project[QLatin1String(key)].toString()));
    out.line("folders:");
    for (const QJsonValue& value : tree["folders"].toArray()) {
        const QJsonObject folder = value.toObject();
        out.line(QStringLiteral("  [%1] %2%3").arg(folder["id"].toInt()).arg(folder["name"].toString(),
                 folder["parent"].toInt() ? QStringLiteral(" (in %1)").arg(folder["parent"].toInt()) : QString()));
        for (const QJsonValue& item : folder["content"].toArray()) {
            const QJsonObject o = item.toObject();
            out.line(QStringLiteral("      %1 %2 (%3)%4").arg(o["kind"].toString(), o["name"].toString(),
                     o["detail"].toString(), o["hidden"].toBool() ? QStringLiteral(" hidden") : QString()));
        }
    }
    out.line("tasks:");
    for (const QJsonValue& value : tree["tasks"].toArray()) {
        const QJsonObject task = value.toObject();
        QStringList calls;
        for (const QJsonValue& call : task["calls"].toArray())
            calls << call.toString();
        out.line(QStringLiteral("  %1 every %2, watchdog %3 ms: %4")
                     .arg(task["name"].toString(), task["interval"].toString().isEmpty() ? "-" : task["interval"].toString())
                     .arg(task["watchdog"].toInt()).arg(calls.join(", ")));
    }
    out.line("devices:");
    for (const QJsonValue& value : tree["devices"].toArray()) {
        const QJsonObject device = value.toObject();
        out.line(QStringLiteral("  %1[%2] %3 %4 \"%5\"")
                     .arg(QString(device["depth"].toInt() * 2, ' '))
                     .arg(device["id"].toInt())
                     .arg(device["type"].toString(), device["name"].toString(), device["displayName"].toString()));
    }
    out.line("motion:");
    for (const QJsonValue& value : tree["motion"].toArray())
        out.line("  " + value.toString());
    out.line("libraries:");
    for (const QJsonValue& value : tree["libraries"].toArray()) {
        const QJsonObject library = value.toObject();
        out.line(QStringLiteral("  %1 %2: %3 POUs, %4 data types")
                     .arg(library["name"].toString(), library["version"].toString())
                     .arg(library["pous"].toInt()).arg(library["types"].toInt()));
    }
    printAuxiliary(out, tree["auxiliary"].toObject());
    out.line("database tables (rows):");
    QStringList line;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        line << QStringLiteral("%1 %2").arg(it.key()).arg(it.value().toInt());
    out.line("  " + line.join(", "));
    out.line(QStringLiteral("compiler check: %1").arg(messages.isEmpty() ? QStringLiteral("no messages")
                                                                          : QString::number(messages.size()) + " messages"));
    for (const QJsonValue& message : messages)
        out.line("  " + message.toString());
}

} // namespace

int runDemo(const Arguments& args, const Output& out)
{
    const QString dir = QFileInfo(args.positional(0)).absoluteFilePath();
    if (QFileInfo::exists(dir) && !QDir(dir).isEmpty()) {
        Output::error(QStringLiteral("%1 exists and is not empty; give a new folder").arg(dir));
        return Failure;
    }
    QDir().mkpath(dir);
    const QString file = QDir(dir).filePath(ProjectLocation::fileNameFor(demoName, false));
    QString error;
    Progress progress(QStringLiteral("demo"));
    {
        progress.update(QStringLiteral("creating %1").arg(file), 0, 0);
        auto session = ProjectSession::create(
            dir,
            {{"fileName", demoName}, {"filePath", file.toStdString()}, {"projectType", "Project"},
             {"programStyle", "IECStyle"}, {"deviceType", DefaultDevice}, {"author", "Norvale demo"}, {"comments", u8"包装线 demo project"},
             {"createVersion", "0.1.0"}},
            &error);
        if (!session) {
            Output::error(error);
            return Failure;
        }
        QStringList installed;
        if (!StandardLibraries::install(dir, installed, &error)) {
            Output::error(error);
            return Failure;
        }
        progress.update(QStringLiteral("filling it with types, global variables, POUs and tasks"), 0, 0);
        if (!fill(session->model()) || !session->model()->save()) {
            Output::error("filling and saving the demo project failed (see the log)");
            return Failure;
        }
        progress.update(QStringLiteral("re-keying with the password \"%1\"").arg(demoPassword), 0, 0);
        if (!AbstractPlcProjectModel::modifyDbPassword(session->model(), demoPassword)) {
            Output::error("re-keying the demo project failed");
            return Failure;
        }
    }
    progress.update(QStringLiteral("reopening with the new password"), 0, 0);
    ProjectLocation location;
    if (!ProjectLocation::resolve(dir, location, &error)) {
        Output::error(error);
        return Failure;
    }
    auto session = ProjectSession::open(location, demoPassword, ProjectSession::Access::Checking, &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    QJsonArray messages;
    const auto checked = ProjectCheck::run(session->name(), [&progress](const QString& step, int done, int total) {
        progress.update(QStringLiteral("check: ") + step, done, total);
    });
    progress.done();
    for (const ac::ACMessage& message : checked)
        messages.append(q(message.toString()));
    AbstractPlcProjectModel* model = session->model();
    auto* info = model->subModel<PrjInfoModel>()->projectInfo();
    const QJsonObject project{{"file", file},
                              {"name", q(info->name())},
                              {"type", AbstractPlcProjectModel::typeText(info->type())},
                              {"author", q(info->author())},
                              {"comments", q(info->comments())},
                              {"ProjectUUID", q(info->property("ProjectUUID"))},
                              {"ProgramStyle", q(info->property("ProgramStyle"))}};
    const QJsonObject tree = describe(model);
    const QJsonObject counts = tableCounts(model->db());
    if (out.json())
        out.document(QJsonObject{{"project", project}, {"tree", tree}, {"tables", counts}, {"check", messages}});
    else
        printText(out, project, tree, counts, messages);
    return messages.isEmpty() ? Ok : Failure;
}

} // namespace plcproj
