#include "ExecSession.h"

#include "Arguments.h"
#include "ProjectCheck.h"
#include "Progress.h"
#include "ProjectSession.h"

#include "datamodel/model/ProjectFiles.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"

#include <QFile>
#include <QJsonObject>

#include <map>

namespace plcproj {

namespace {

const QStringList kinds = {"folder", "pou", "gvl", "type", "task"};

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string s(const QString& text)
{
    return text.toStdString();
}

bool isHidden(const StringProperties& properties)
{
    return properties.value("Hidden", "") == "true";
}

QString joinIds(const std::vector<int>& ids)
{
    QStringList parts;
    for (int id : ids)
        parts << QString::number(id);
    return parts.join('.');
}

std::string defaultPouDeclaration(const std::string& name, PouModel::PouType type)
{
    switch (type) {
    case PouModel::FBPOU:
        return "FUNCTION_BLOCK " + name + "\nVAR_INPUT\nEND_VAR\nVAR_OUTPUT\nEND_VAR\nVAR\nEND_VAR\n";
    case PouModel::FCPOU:
        return "FUNCTION " + name + " : INT\nVAR_INPUT\nEND_VAR\nVAR\nEND_VAR\n";
    default:
        return "PROGRAM " + name + "\nVAR\nEND_VAR\n";
    }
}

// Parses the options of one command; false with `error` set for anything unknown.
bool options(const QStringList& words, int positional, const QStringList& valued, Arguments& args, QString* error)
{
    if (!args.parse(words, valued)) {
        *error = args.error();
        return false;
    }
    if (args.positional().size() != positional) {
        *error = QStringLiteral("'%1' needs %2 argument(s)").arg(words.value(0)).arg(positional - 1);
        return false;
    }
    return true;
}

bool toUInt(const QString& text, unsigned int& value, const char* what, QString* error)
{
    bool ok = false;
    value = text.toUInt(&ok);
    if (!ok)
        *error = QStringLiteral("%1 must be a number: '%2'").arg(QLatin1String(what), text);
    return ok;
}

} // namespace

ExecSession::ExecSession(ProjectSession& session, const Output& out)
    : m_session(session), m_project(session.model()), m_out(out), m_stack(std::make_unique<ProjectModelStack>())
{
}

ExecSession::~ExecSession() = default;

void ExecSession::report(const QString& text, const QJsonObject& result)
{
    if (m_out.json())
        m_results.append(result);
    else if (!text.isEmpty())
        m_out.line(text);
}

bool ExecSession::run(const QStringList& words, QString* error)
{
    const QString verb = words.value(0);
    if (isAuxiliary(words))
        return auxiliary(words, error);
    if (isMotionCommand(words))
        return motion(words, error);
    if (verb == "add")
        return add(words, error);
    if (verb == "decl")
        return setText(words, false, error);
    if (verb == "logic")
        return setText(words, true, error);
    if (verb == "rm")
        return remove(words, error);
    if (verb == "rename")
        return rename(words, error);
    if (verb == "move")
        return move(words, error);
    if (verb == "list")
        return list(words, error);
    if (verb == "show")
        return show(words, error);
    if (verb == "call")
        return call(words, true, error);
    if (verb == "uncall")
        return call(words, false, error);
    if (verb == "wdt")
        return watchdog(words, error);
    if (verb == "graph")
        return graph(words, error);
    if (verb == "dev")
        return device(words, error);
    if (verb == "save" && words.size() == 1)
        return save(error);
    if (verb == "check" && words.size() == 1)
        return check(error);
    if ((verb == "undo" || verb == "redo") && words.size() == 1) {
        const bool possible = verb == "undo" ? m_stack->canUndo() : m_stack->canRedo();
        if (!possible) {
            *error = QStringLiteral("nothing to %1").arg(verb);
            return false;
        }
        verb == "undo" ? m_stack->undo() : m_stack->redo();
        report(verb, QJsonObject{{"command", verb}});
        return true;
    }
    *error = QStringLiteral("unknown command '%1'").arg(words.join(' '));
    return false;
}

bool ExecSession::refused(const SubModel* model, QString* error, const QString& otherwise) const
{
    *error = model && !model->lastError().isEmpty() ? model->lastError() : otherwise;
    return false;
}

QStringList ExecSession::callsGoingWith(const Target& target) const
{
    QStringList calls;
    auto* pous = m_project->subModel<PouModel>();
    if (target.task) {
        for (int pouId : target.task->allPouIds()) {
            PouModel::PouUnit* pou = pous->pou(static_cast<unsigned int>(pouId));
            calls << (pou ? q(pou->name()) : QString::number(pouId));
        }
    } else if (target.declared && target.declared->kind() == DeclaredObject::PouKind) {
        auto* tasks = m_project->subModel<TaskModel>();
        std::vector<TaskModel::Task*> all;
        if (tasks)
            tasks->allTasks(all);
        for (TaskModel::Task* task : all)
            for (int pouId : task->allPouIds())
                if (static_cast<unsigned int>(pouId) == target.declared->id())
                    calls << QStringLiteral("by task %1").arg(q(task->name()));
    }
    return calls;
}

ExecSession::Target ExecSession::find(const QString& kind, const QString& name, QString* error) const
{
    Target target;
    if (kind == "folder") {
        auto* folders = m_project->subModel<FolderModel>();
        target.model = folders;
        target.object = target.folder = folders->folder(name);
    } else if (kind == "pou") {
        auto* pous = m_project->subModel<PouModel>();
        target.model = pous;
        target.object = target.declared = pous->pou(name);
    } else if (kind == "gvl") {
        auto* lists = m_project->subModel<GlobalVarModel>();
        target.model = lists;
        target.object = target.declared = lists->varTable(name);
    } else if (kind == "type") {
        auto* units = m_project->subModel<DataTypeModel>();
        target.model = units;
        target.object = target.declared = units->dataUnit(name);
    } else if (kind == "task") {
        auto* tasks = m_project->subModel<TaskModel>();
        if (!tasks) {
            *error = QStringLiteral("a library project has no tasks");
            return {};
        }
        target.model = tasks;
        target.object = target.task = tasks->task(name);
    } else {
        *error = QStringLiteral("unknown kind '%1' (kinds: %2)").arg(kind, kinds.join(", "));
        return {};
    }
    if (!target.object)
        *error = QStringLiteral("no %1 named '%2'").arg(kind, name);
    return target;
}

bool ExecSession::add(const QStringList& words, QString* error)
{
    const QString kind = words.value(1);
    Arguments args;
    if (!options(words, 3, {"kind", "parent", "type", "lang", "folder"}, args, error))
        return false;
    const std::string name = s(args.positional(2));
    unsigned int folderId = 0;
    if (args.has("folder") && !toUInt(args.value("folder"), folderId, "--folder", error))
        return false;
    ModelObject* object = nullptr;
    SubModel* model = nullptr;
    QString id;
    if (kind == "folder") {
        static const std::map<QString, FolderModel::FolderType> folderKinds = {
            {"pou", FolderModel::PouForder}, {"gvl", FolderModel::GlobleVarForder}, {"type", FolderModel::DataTypeForder}};
        auto folderKind = folderKinds.find(args.value("kind"));
        if (folderKind == folderKinds.end()) {
            *error = QStringLiteral("add folder needs --kind pou|gvl|type");
            return false;
        }
        unsigned int parent = 0;
        if (args.has("parent") && !toUInt(args.value("parent"), parent, "--parent", error))
            return false;
        auto* folders = m_project->subModel<FolderModel>();
        auto* folder = folders->addFolder(name, parent, folderKind->second);
        if (!folder)
            return refused(folders, error);
        object = folder;
        model = folders;
        id = folder ? QString::number(folder->id()) : QString();
    } else if (kind == "pou") {
        static const std::map<QString, PouModel::PouType> types = {
            {"PRG", PouModel::PRGPOU}, {"FB", PouModel::FBPOU}, {"FC", PouModel::FCPOU}};
        static const std::map<QString, PouModel::PouLanguageType> languages = {
            {"ST", PouModel::POU_ST},   {"LD", PouModel::POU_LD}, {"CFC", PouModel::POU_CFC},
            {"SFC", PouModel::POU_SFC}, {"IL", PouModel::POU_IL}, {"FBD", PouModel::POU_FBD}};
        auto type = types.find(args.value("type", "PRG"));
        auto language = languages.find(args.value("lang", "ST"));
        if (type == types.end() || language == languages.end()) {
            *error = QStringLiteral("add pou takes --type PRG|FB|FC and --lang ST|LD|CFC|SFC|IL|FBD");
            return false;
        }
        auto* pous = m_project->subModel<PouModel>();
        auto* pou = pous->addPou(name, type->second, language->second, folderId);
        if (!pou)
            return refused(pous, error);
        pou->setVarDeclaration(defaultPouDeclaration(name, type->second));
        object = pou;
        model = pous;
        id = QString::number(pou->id());
    } else if (kind == "gvl") {
        auto* lists = m_project->subModel<GlobalVarModel>();
        auto* list = lists->addVarTable(name, folderId);
        if (!list)
            return refused(lists, error);
        list->setVarDeclaration("VAR_GLOBAL\nEND_VAR\n");
        object = list;
        model = lists;
        id = QString::number(list->id());
    } else if (kind == "type") {
        const QString typeKind = args.value("kind", "struct");
        if (typeKind != "struct" && typeKind != "enum") {
            *error = QStringLiteral("add type takes --kind struct|enum");
            return false;
        }
        auto* units = m_project->subModel<DataTypeModel>();
        auto* unit = units->addDataUnit(name, typeKind == "enum" ? DataTypeModel::Enum : DataTypeModel::Struct, folderId);
        if (!unit)
            return refused(units, error);
        unit->setVarDeclaration(typeKind == "enum" ? "TYPE " + name + " :\n(\n    Value0\n);\nEND_TYPE\n"
                                                   : "TYPE " + name + " :\nSTRUCT\nEND_STRUCT;\nEND_TYPE\n");
        object = unit;
        model = units;
        id = QString::number(unit->id());
    } else if (kind == "task") {
        auto* tasks = m_project->subModel<TaskModel>();
        if (!tasks) {
            *error = QStringLiteral("a library project has no tasks");
            return false;
        }
        auto* task = tasks->addTask(name);
        if (!task)
            return refused(tasks, error);
        object = task;
        model = tasks;
        id = task ? QString::number(task->id()) : QString();
    } else {
        *error = QStringLiteral("unknown kind '%1' (kinds: %2)").arg(kind, kinds.join(", "));
        return false;
    }
    m_stack->pushCommand(new ModelInsertCommand(object, model));
    report(QStringLiteral("added %1 %2 (id %3)").arg(kind, q(name), id),
           QJsonObject{{"command", "add"}, {"kind", kind}, {"name", q(name)}, {"id", id.toInt()}});
    return true;
}

bool ExecSession::setText(const QStringList& words, bool logic, QString* error)
{
    const QString kind = logic ? QStringLiteral("pou") : words.value(1);
    const int nameIndex = logic ? 1 : 2;
    if (words.size() != nameIndex + 2) {
        *error = logic ? QStringLiteral("logic needs NAME TEXT") : QStringLiteral("decl needs pou|gvl|type NAME TEXT");
        return false;
    }
    if (!logic && kind != "pou" && kind != "gvl" && kind != "type") {
        *error = QStringLiteral("decl takes pou, gvl or type, not '%1'").arg(kind);
        return false;
    }
    Target target = find(kind, words[nameIndex], error);
    if (!target.object)
        return false;
    const std::string text = s(words[nameIndex + 1]);
    if (logic)
        static_cast<PouModel::PouUnit*>(target.declared)->setLogicContext(text); // kind "pou"
    else
        target.declared->setVarDeclaration(text);
    report(QString(), QJsonObject{{"command", logic ? "logic" : "decl"}, {"kind", kind}, {"name", words[nameIndex]}});
    return true;
}

bool ExecSession::remove(const QStringList& words, QString* error)
{
    if (words.size() != 3) {
        *error = QStringLiteral("rm needs KIND NAME");
        return false;
    }
    Target target = find(words[1], words[2], error);
    if (!target.object)
        return false;
    // What goes with the object: the calls of a task, or the task calls of a POU.
    const QStringList calls = callsGoingWith(target);
    auto command = std::make_unique<ModelRemoveCommand>(target.object, target.model);
    QString data;
    if (!target.model->removeObject(target.model->getObjPath(target.object), data))
        return refused(target.model, error);
    m_stack->pushCommand(command.release());
    QString text = QStringLiteral("removed %1 %2").arg(words[1], words[2]);
    if (!calls.isEmpty())
        text += QStringLiteral(" with its calls: %1").arg(calls.join(", "));
    report(text, QJsonObject{{"command", "rm"}, {"kind", words[1]}, {"name", words[2]}, {"calls", QJsonArray::fromStringList(calls)}});
    return true;
}

bool ExecSession::rename(const QStringList& words, QString* error)
{
    if (words.size() != 4) {
        *error = QStringLiteral("rename needs KIND OLD NEW");
        return false;
    }
    Target target = find(words[1], words[2], error);
    if (!target.object)
        return false;
    if (!target.model->renameObject(target.model->getObjPath(target.object), words[3]))
        return refused(target.model, error);
    m_stack->pushCommand(new ModelRenameCommand(target.object, target.model, words[2], words[3]));
    report(QStringLiteral("renamed %1 %2 to %3").arg(words[1], words[2], words[3]),
           QJsonObject{{"command", "rename"}, {"kind", words[1]}, {"from", words[2]}, {"to", words[3]}});
    return true;
}

bool ExecSession::move(const QStringList& words, QString* error)
{
    if (words.size() != 5) {
        *error = QStringLiteral("move needs KIND NAME FOLDER_ID ROW");
        return false;
    }
    unsigned int folder = 0, row = 0;
    if (!toUInt(words[3], folder, "FOLDER_ID", error) || !toUInt(words[4], row, "ROW", error))
        return false;
    Target target = find(words[1], words[2], error);
    if (!target.object)
        return false;
    const QString from = target.model->getObjIndex(target.object);
    const QString to = ObjectPath::index(folder, QString::number(row));
    if (!target.model->moveObject(target.model->getObjPath(target.object), to))
        return refused(target.model, error, QStringLiteral("%1 '%2' cannot be moved").arg(words[1], words[2]));
    m_stack->pushCommand(new ModelMoveCommand(target.object, target.model, from, to));
    report(QStringLiteral("moved %1 %2 to folder %3 row %4").arg(words[1], words[2], words[3], words[4]),
           QJsonObject{{"command", "move"}, {"kind", words[1]}, {"name", words[2]}, {"folder", int(folder)}, {"row", int(row)}});
    return true;
}

bool ExecSession::list(const QStringList& words, QString* error)
{
    if (words.size() != 2 || !kinds.contains(words[1])) {
        *error = QStringLiteral("list needs one of %1").arg(kinds.join(", "));
        return false;
    }
    const QString kind = words[1];
    QJsonArray items;
    auto item = [&](unsigned int id, const std::string& name, bool hidden) {
        items.append(QJsonObject{{"id", int(id)}, {"name", q(name)}, {"hidden", hidden}});
        if (!m_out.json())
            m_out.line(q(name) + (hidden ? QStringLiteral(" (hidden)") : QString()));
    };
    if (kind == "folder") {
        std::vector<FolderModel::Folder*> all;
        m_project->subModel<FolderModel>()->allFolders(all, ~0);
        for (auto* folder : all)
            item(folder->id(), folder->name(), isHidden(folder->properties()));
    } else if (kind == "pou") {
        std::vector<PouModel::PouUnit*> all;
        m_project->subModel<PouModel>()->allPous(all, PouModel::AllPouTypes);
        for (auto* pou : all)
            item(pou->id(), pou->name(), isHidden(pou->properties()));
    } else if (kind == "gvl") {
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        m_project->subModel<GlobalVarModel>()->allVarTables(all);
        for (auto* list : all)
            item(list->id(), list->name(), isHidden(list->properties()));
    } else if (kind == "type") {
        std::vector<DataTypeModel::DataUnit*> all;
        m_project->subModel<DataTypeModel>()->allDataUnits(all);
        for (auto* unit : all)
            item(unit->id(), unit->name(), isHidden(unit->properties()));
    } else if (auto* tasks = m_project->subModel<TaskModel>()) {
        std::vector<TaskModel::Task*> all;
        tasks->allTasks(all);
        for (auto* task : all)
            if (task->id() != 0) // the task configuration record is no task
                item(task->id(), task->name(), false);
    }
    if (m_out.json())
        m_results.append(QJsonObject{{"command", "list"}, {"kind", kind}, {"items", items}});
    return true;
}

bool ExecSession::show(const QStringList& words, QString* error)
{
    if (words.size() != 3) {
        *error = QStringLiteral("show needs KIND NAME");
        return false;
    }
    Target target = find(words[1], words[2], error);
    if (!target.object)
        return false;
    QJsonObject fields{{"kind", words[1]}};
    auto properties = [](const StringProperties& p) {
        QJsonObject out;
        for (const auto& [key, value] : p.map())
            out.insert(q(key), q(value));
        return out;
    };
    if (FolderModel::Folder* folder = target.folder) {
        fields.insert("id", int(folder->id()));
        fields.insert("name", q(folder->name()));
        fields.insert("parent", int(folder->parentId()));
        fields.insert("type", int(folder->type()));
        fields.insert("properties", properties(folder->properties()));
    } else if (DeclaredObject* object = target.declared) {
        fields.insert("id", int(object->id()));
        fields.insert("name", q(object->name()));
        if (object->kind() == DeclaredObject::PouKind) {
            auto* pou = static_cast<PouModel::PouUnit*>(object);
            fields.insert("type", int(pou->type()));
            fields.insert("language", int(pou->languageType()));
        } else if (object->kind() == DeclaredObject::DataTypeKind) {
            auto* unit = static_cast<DataTypeModel::DataUnit*>(object);
            fields.insert("type", unit->type() == DataTypeModel::Enum ? "enum" : "struct");
        }
        fields.insert("folder", int(object->folderId()));
        fields.insert("declaration", q(object->varDeclaration()));
        if (object->kind() == DeclaredObject::PouKind) {
            auto* pou = static_cast<PouModel::PouUnit*>(object);
            fields.insert("logic", q(pou->logicContext()));
            fields.insert("graphBytes", int(pou->graphData().size()));
        }
        fields.insert("properties", properties(object->properties()));
    } else if (TaskModel::Task* task = target.task) {
        fields.insert("id", int(task->id()));
        fields.insert("name", q(task->name()));
        fields.insert("watchdog", int(task->wdtTime()));
        QJsonArray calls;
        auto* pous = m_project->subModel<PouModel>();
        for (int pouId : task->allPouIds()) {
            PouModel::PouUnit* pou = pous->pou(static_cast<unsigned int>(pouId));
            calls.append(pou ? q(pou->name()) : QString::number(pouId));
        }
        fields.insert("calls", calls);
        fields.insert("properties", properties(task->properties()));
    }
    if (m_out.json()) {
        fields.insert("command", "show");
        m_results.append(fields);
        return true;
    }
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        QString value;
        if (it.value().isObject() || it.value().isArray()) {
            const QJsonDocument doc = it.value().isObject() ? QJsonDocument(it.value().toObject())
                                                            : QJsonDocument(it.value().toArray());
            value = QString::fromUtf8(doc.toJson(QJsonDocument::Compact));
        } else {
            value = it.value().toVariant().toString();
        }
        if (value.contains('\n'))
            m_out.line(it.key() + ":\n" + value.trimmed().replace('\n', "\n    ").prepend("    "));
        else
            m_out.line(it.key() + ": " + value);
    }
    return true;
}

bool ExecSession::call(const QStringList& words, bool add, QString* error)
{
    // call TASK POU [--at N]; uncall TASK INDEX
    Arguments args;
    if (!options(words, 3, {"at"}, args, error))
        return false;
    Target target = find("task", args.positional(1), error);
    if (!target.object)
        return false;
    auto* task = static_cast<TaskModel::Task*>(target.object);
    const QString before = joinIds(task->allPouIds());
    if (add) {
        Target pou = find("pou", args.positional(2), error);
        if (!pou.object)
            return false;
        bool ok = true;
        const int at = args.has("at") ? args.value("at").toInt(&ok) : -1;
        if (!ok || !task->addPou(static_cast<PouModel::PouUnit*>(pou.object)->id(), at))
            return refused(target.model, error,
                           QStringLiteral("no call can be put at %1 of task '%2'").arg(args.value("at"), args.positional(1)));
    } else {
        bool ok = false;
        const int index = args.positional(2).toInt(&ok);
        if (!ok || !task->removePou(index)) {
            *error = QStringLiteral("task '%1' has no call %2").arg(args.positional(1), args.positional(2));
            return false;
        }
    }
    const QString after = joinIds(task->allPouIds());
    m_stack->pushCommand(new ModelModifyCommand(task, target.model, "pouintask", before, after));
    report(QStringLiteral("task %1 calls: %2").arg(args.positional(1), after),
           QJsonObject{{"command", add ? "call" : "uncall"}, {"task", args.positional(1)}, {"calls", after}});
    return true;
}

bool ExecSession::watchdog(const QStringList& words, QString* error)
{
    if (words.size() != 3) {
        *error = QStringLiteral("wdt needs TASK MILLISECONDS");
        return false;
    }
    unsigned int ms = 0;
    if (!toUInt(words[2], ms, "the watchdog time", error))
        return false;
    Target target = find("task", words[1], error);
    if (!target.object)
        return false;
    static_cast<TaskModel::Task*>(target.object)->setwdtTime(ms);
    report(QString(), QJsonObject{{"command", "wdt"}, {"task", words[1]}, {"ms", int(ms)}});
    return true;
}

bool ExecSession::graph(const QStringList& words, QString* error)
{
    if (words.size() != 3) {
        *error = QStringLiteral("graph needs POU FILE");
        return false;
    }
    Target target = find("pou", words[1], error);
    if (!target.object)
        return false;
    const Result<QByteArray> read = ProjectFiles::readInput(words[2], MaxGraphFileSize);
    if (!read) {
        *error = read.failure().describe();
        return false;
    }
    const QByteArray& bytes = read.value();
    static_cast<PouModel::PouUnit*>(target.object)->setGraphData(std::vector<char>(bytes.begin(), bytes.end()));
    report(QString(), QJsonObject{{"command", "graph"}, {"pou", words[1]}, {"bytes", bytes.size()}});
    return true;
}

bool ExecSession::save(QString* error)
{
    if (!m_project->save()) {
        *error = m_session.saveFailure();
        return false;
    }
    report(QStringLiteral("saved %1").arg(m_session.location().databaseFile), QJsonObject{{"command", "save"}});
    return true;
}

bool ExecSession::check(QString*)
{
    std::vector<ac::ACMessage> messages;
    {
        Progress progress(QStringLiteral("check"));
        messages = ProjectCheck::run(m_session.name(), [&progress](const QString& step, int done, int total) {
            progress.update(step, done, total);
        });
    }
    QJsonArray found;
    for (const ac::ACMessage& message : messages) {
        found.append(q(message.toString()));
        if (!m_out.json())
            m_out.line(q(message.toString()));
    }
    m_checkErrors = m_checkErrors || ProjectCheck::hasErrors(messages);
    if (m_out.json())
        m_results.append(QJsonObject{{"command", "check"}, {"messages", found}});
    return true;
}

} // namespace plcproj
