#include "datamodel/exchange/ProjectExporter.h"

#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/exchange/ExchangeNames.h"
#include "datamodel/exchange/MotionAuxWriter_p.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"
#include "datamodel/program/TaskModel.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <functional>

using namespace ExchangeFormat;

namespace {

const QSet<QString> changeStampKeys = {"VarDeclModifiedTime", "ProgramModifiedTime", "CfgModifiedTime", "Compile"};

QJsonObject propertiesJson(const std::map<std::string, std::string>& properties, const ProjectExporter::Options& options)
{
    QJsonObject out;
    for (const auto& [key, value] : properties) {
        const QString name = QString::fromStdString(key);
        if (options.changeStamps || !changeStampKeys.contains(name))
            out.insert(name, QString::fromStdString(value));
    }
    return out;
}

QString folderKindName(int type)
{
    switch (type) {
    case FolderModel::PouForder: return QStringLiteral("pou");
    case FolderModel::GlobleVarForder: return QStringLiteral("gvl");
    case FolderModel::DataTypeForder: return QStringLiteral("type");
    default: return QString::number(type);
    }
}

QString pouSuffix(int type)
{
    switch (type) {
    case PouModel::FBPOU: return BlockSuffix;
    case PouModel::FCPOU: return FunctionSuffix;
    default: return ProgramSuffix;
    }
}

// The program tree: folders become directories, every object a file in its folder's directory.
class ProgramWriter
{
public:
    ProgramWriter(const AbstractProjectModel& project, const ProjectExporter::Options& options, ProjectText::Files& files)
        : m_options(options), m_files(files)
    {
        if (auto* folders = project.subModel<FolderModel>())
            folders->allFolders(m_folders, ~0);
        if (auto* pous = project.subModel<PouModel>())
            pous->allPous(m_pous, ~0);
        if (auto* lists = project.subModel<GlobalVarModel>())
            lists->allVarTables(m_lists);
        m_lists.erase(std::remove_if(m_lists.begin(), m_lists.end(),
                                     [](auto* list) { return isMotionVariableList(list->name()); }),
                      m_lists.end());
        if (auto* types = project.subModel<DataTypeModel>())
            types->allDataUnits(m_types);
    }

    void write()
    {
        QSet<unsigned int> known;
        for (auto* folder : m_folders)
            known.insert(folder->id());
        // A folder or object whose folder does not exist is filed at the top.
        auto parentOf = [&](unsigned int id) { return known.contains(id) ? id : 0u; };
        for (auto* folder : m_folders)
            m_childFolders[parentOf(folder->parentId())].push_back(folder);
        for (auto* pou : m_pous)
            m_filed[parentOf(pou->folderId())].pous.push_back(pou);
        for (auto* list : m_lists)
            m_filed[parentOf(list->folderId())].lists.push_back(list);
        for (auto* type : m_types)
            m_filed[parentOf(type->folderId())].types.push_back(type);
        QSet<unsigned int> visited{0};
        writeDirectory(0, ProgramFolder, visited);
    }

private:
    struct Filed
    {
        std::vector<PouModel::PouUnit*> pous;
        std::vector<GlobalVarModel::GlobalVarTable*> lists;
        std::vector<DataTypeModel::DataUnit*> types;
    };

    QJsonObject objectEntry(const QString& file, const DeclaredObject& object) const
    {
        QJsonObject entry{{"file", file}, {"id", qint64(object.id())}, {"name", QString::fromStdString(object.name())},
                          {"properties", propertiesJson(object.propertys(), m_options)}};
        if (m_options.changeStamps)
            entry.insert("modifyTime", qint64(object.modifiedTime()));
        return entry;
    }

    void writeDirectory(unsigned int folderId, const QString& dir, QSet<unsigned int>& visited)
    {
        const auto& folders = m_childFolders[folderId];
        const Filed& filed = m_filed[folderId];
        QStringList names;
        for (auto* folder : folders)
            names << QString::fromStdString(folder->name());
        for (auto* pou : filed.pous)
            names << QString::fromStdString(pou->name());
        for (auto* list : filed.lists)
            names << QString::fromStdString(list->name());
        for (auto* type : filed.types)
            names << QString::fromStdString(type->name());
        const QStringList stems = ExchangeNames::stems(names);
        int next = 0;
        QVector<QJsonObject> entries;
        for (auto* folder : folders) {
            const QString stem = stems[next++];
            entries << QJsonObject{{"file", stem}, {"id", qint64(folder->id())}, {"kind", folderKindName(folder->type())},
                                   {"name", QString::fromStdString(folder->name())},
                                   {"properties", propertiesJson(folder->propertys(), m_options)}};
            if (!visited.contains(folder->id())) {
                visited.insert(folder->id());
                writeDirectory(folder->id(), dir + '/' + stem, visited);
            }
        }
        for (auto* pou : filed.pous)
            entries << writePou(*pou, dir, stems[next++]);
        for (auto* list : filed.lists) {
            const QString file = stems[next++] + ListSuffix;
            m_files[dir + '/' + file] = textFile(list->varDeclaration());
            entries << objectEntry(file, *list);
        }
        for (auto* type : filed.types) {
            const QString file = stems[next++] + TypeSuffix;
            m_files[dir + '/' + file] = textFile(type->varDeclaration());
            QJsonObject entry = objectEntry(file, *type);
            entry.insert("kind", type->type() == DataTypeModel::Enum ? QStringLiteral("enum") : QStringLiteral("struct"));
            entries << entry;
        }
        std::sort(entries.begin(), entries.end(), [](const QJsonObject& a, const QJsonObject& b) {
            return a.value("file").toString() < b.value("file").toString();
        });
        QJsonArray index;
        for (const QJsonObject& entry : entries)
            index.append(entry);
        m_files[dir + '/' + IndexFile] = jsonBytes(index);
    }

    QJsonObject writePou(const PouModel::PouUnit& pou, const QString& dir, const QString& stem)
    {
        const QString suffix = pouSuffix(pou.type());
        const QString file = stem + suffix;
        m_files[dir + '/' + file] = pouFile(pou.varDeclaration(), pou.logicContext());
        QJsonObject entry = objectEntry(file, pou);
        entry.insert("language", languageName(pou.languageType()));
        const std::vector<char>& graph = pou.graphData();
        if (!graph.empty()) {
            const QString graphFile = stem + suffix.chopped(3) + GraphSuffix;
            m_files[dir + '/' + graphFile] = QByteArray(graph.data(), int(graph.size()));
            entry.insert("graph", graphFile);
        }
        return entry;
    }

    const ProjectExporter::Options& m_options;
    ProjectText::Files& m_files;
    std::vector<FolderModel::Folder*> m_folders;
    std::vector<PouModel::PouUnit*> m_pous;
    std::vector<GlobalVarModel::GlobalVarTable*> m_lists;
    std::vector<DataTypeModel::DataUnit*> m_types;
    std::map<unsigned int, std::vector<FolderModel::Folder*>> m_childFolders;
    std::map<unsigned int, Filed> m_filed;
};

QJsonObject projectInfoJson(const PrjInfoModel::PrjInfo& info, const ProjectExporter::Options& options)
{
    return {{"author", QString::fromStdString(info.author())},
            {"comments", QString::fromStdString(info.comments())},
            {"createVersion", QString::fromStdString(info.createVersion())},
            {"id", qint64(info.id())},
            {"modifyVersion", QString::fromStdString(info.modifyVersion())},
            {"name", QString::fromStdString(info.name())},
            {"properties", propertiesJson(info.propertys(), options)},
            {"type", AbstractProjectModel::typeText(info.type())},
            {"version", QString::fromStdString(info.version())}};
}

QJsonObject tasksJson(const TaskModel& model, const ProjectExporter::Options& options)
{
    std::vector<TaskModel::Task*> tasks;
    model.allTasks(tasks);
    QJsonObject out;
    QJsonArray list;
    for (TaskModel::Task* task : tasks) {
        QJsonObject entry{{"name", QString::fromStdString(task->name())},
                          {"properties", propertiesJson(task->propertys(), options)}};
        if (task->id() == 0) { // the configuration of all tasks, not a task
            out.insert("configuration", entry);
            continue;
        }
        QJsonArray calls;
        const std::vector<int> pous = task->allPouIds(), entries = task->allPouInTaskIds();
        for (std::size_t i = 0; i < pous.size(); ++i)
            calls.append(QJsonObject{{"entry", entries[i]}, {"pou", pous[i]}});
        entry.insert("calls", calls);
        entry.insert("id", qint64(task->id()));
        entry.insert("type", int(task->type()));
        entry.insert("watchdog", qint64(task->wdtTime()));
        list.append(entry);
    }
    out.insert("tasks", list);
    return out;
}

QJsonArray librariesJson(const LibraryModel& model, const ProjectExporter::Options& options)
{
    std::vector<LibraryModel::LibraryCfg*> libraries;
    model.allLibs(libraries);
    QJsonArray out;
    for (LibraryModel::LibraryCfg* library : libraries)
        out.append(QJsonObject{{"id", qint64(library->id())},
                               {"modifiedTime", qint64(library->mdfTime())},
                               {"name", QString::fromStdString(library->name())},
                               {"path", QString::fromStdString(library->path())},
                               {"properties", propertiesJson(library->propertys(), options)}});
    return out;
}

QJsonObject deviceJson(const DeviceTreeNode& node)
{
    QJsonObject properties;
    const QMap<QString, QString>& values = node.getNodePropertys();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        properties.insert(it.key(), it.value());
    QJsonArray children;
    for (const DeviceTreeNode* child : node.getChildNodes())
        children.append(deviceJson(*child));
    return {{"children", children}, {"id", qint64(node.getID())}, {"name", node.getName()},
            {"properties", properties}, {"typeId", node.getTypeID()}};
}

} // namespace

ProjectText::Files ProjectExporter::exportProject(const AbstractProjectModel& project, const Options& options)
{
    ProjectText::Files files;
    if (auto* info = project.subModel<PrjInfoModel>(); info && info->projectInfo())
        files[ProjectFile] = jsonBytes(projectInfoJson(*info->projectInfo(), options));
    ProgramWriter(project, options, files).write();
    if (auto* tasks = project.subModel<TaskModel>())
        files[TasksFile] = jsonBytes(tasksJson(*tasks, options));
    if (auto* libraries = project.subModel<LibraryModel>())
        files[LibrariesFile] = jsonBytes(librariesJson(*libraries, options));
    if (auto* devices = project.subModel<DeviceTreeModel>(); devices && devices->getRootNode())
        files[DevicesFile] = jsonBytes(deviceJson(*devices->getRootNode()));
    MotionAuxWriter::write(project, files);
    return files;
}
