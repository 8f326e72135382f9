// A TC6 document as the text of a project: our own data where the file still agrees with it,
// the TC6 content where another tool changed or added something.
#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/exchange/ExchangeNames.h"
#include "datamodel/exchange/PlcOpenDocument_p.h"
#include "datamodel/exchange/PlcOpenXml_p.h"
#include "datamodel/model/SystemObjects.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>

namespace PlcOpenFormat {

namespace {

using namespace ExchangeFormat;

QString languageOfBody(const QString& body)
{
    return body.isEmpty() ? QStringLiteral("ST") : body;
}

QString pouSuffix(const QString& pouType)
{
    return pouType == QLatin1String("functionBlock") ? BlockSuffix
         : pouType == QLatin1String("function")      ? FunctionSuffix
                                                      : ProgramSuffix;
}

qint64 firstFreeId()
{
    return qint64(SystemObjects::hiddenNames().size()) + 1;
}

bool isPouPath(const QString& path)
{
    return path.endsWith(ProgramSuffix) || path.endsWith(BlockSuffix) || path.endsWith(FunctionSuffix);
}

qint64 idOf(const QJsonObject& entry)
{
    return qint64(entry.value("id").toDouble());
}

class Assembly
{
public:
    explicit Assembly(const Document& document) : m_document(document), m_files(document.files) {}

    Result<ProjectText::Files> run()
    {
        addMissingProjectFiles();
        loadIndexes();
        const bool ok = addTypes() && addLists() && addPous() && dropVanished() && addTasks();
        if (!ok)
            return Failure{1, m_error, {}};
        writeIndexes();
        return std::move(m_files);
    }

private:
    struct Slot
    {
        QString path;
        QJsonObject entry;
    };

    bool fail(int line, const QString& message)
    {
        m_error = QStringLiteral("%1:%2: %3").arg(m_document.fileName).arg(line).arg(message);
        return false;
    }

    void addMissingProjectFiles()
    {
        if (!m_files.count(ProjectFile))
            m_files[ProjectFile] = jsonBytes(QJsonObject{
                {"author", m_document.author}, {"comments", m_document.comment}, {"createVersion", QString()},
                {"id", 0}, {"modifyVersion", QString()}, {"name", m_document.projectName},
                {"properties", QJsonObject()}, {"type", QStringLiteral("Project")}, {"version", QString()}});
        const QString top = ProgramFolder + '/' + IndexFile;
        if (!m_files.count(top))
            m_files[top] = jsonBytes(QJsonArray());
    }

    void loadIndexes()
    {
        for (const auto& [path, object] : indexedObjects(m_files)) {
            m_known[path] = object;
            const QString kind = path.mid(path.indexOf('.'));
            m_nextId[kind == ListSuffix ? 1 : kind == TypeSuffix ? 2 : 0] =
                std::max(m_nextId[kind == ListSuffix ? 1 : kind == TypeSuffix ? 2 : 0], idOf(object.entry) + 1);
        }
        for (const auto& [path, bytes] : m_files)
            if (path.endsWith('/' + IndexFile))
                m_indexes[path] = QJsonDocument::fromJson(bytes).array();
    }

    // Where an object goes: the place our data names when it is still free and of the same
    // kind, else a new file at the top of the program tree with a new id.
    bool place(const std::optional<ObjectData>& data, const QString& name, const QString& suffix, int kind, int line,
               Slot& slot)
    {
        if (SystemObjects::isReservedName(name.toStdString()))
            return fail(line, QStringLiteral("'%1' is a name the system keeps for its own objects").arg(name));
        if (data && m_known.count(data->path) && data->path.endsWith(suffix) && !m_claimed.contains(data->path)) {
            slot = Slot{data->path, m_known.at(data->path).entry};
            slot.entry.insert("name", name);
            m_claimed.insert(slot.path);
            return true;
        }
        const QString stem = ExchangeNames::encode(name);
        for (const QString& candidate : {stem, ExchangeNames::encode(name, true)}) {
            const QString path = ProgramFolder + '/' + candidate + suffix;
            const bool taken = std::any_of(m_known.begin(), m_known.end(), [&](const auto& known) {
                return known.first.compare(path, Qt::CaseInsensitive) == 0;
            });
            if (taken || m_claimed.contains(path))
                continue;
            slot = Slot{path, QJsonObject{{"file", candidate + suffix}, {"id", m_nextId[kind]++}, {"name", name},
                                          {"properties", QJsonObject()}}};
            m_claimed.insert(path);
            m_added.insert(path);
            return true;
        }
        return fail(line, QStringLiteral("'%1' is declared twice").arg(name));
    }

    // The original text when the object's TC6 content is what we wrote, else the rendered one.
    static std::string textOf(const std::optional<ObjectData>& data, const QString& rendered)
    {
        if (data && data->declaration && data->tc6 == fingerprint(rendered))
            return *data->declaration;
        return (rendered.endsWith('\n') ? rendered.chopped(1) : rendered).toStdString(); // the file adds the line end
    }

    void put(const Slot& slot)
    {
        const QString dir = slot.path.left(slot.path.lastIndexOf('/'));
        const QString index = dir + '/' + IndexFile;
        QJsonArray& entries = m_indexes[index];
        const QString file = slot.entry.value("file").toString();
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i].toObject().value("file").toString() == file) {
                if (entries[i].toObject() != slot.entry) {
                    entries[i] = slot.entry;
                    m_changedIndexes.insert(index);
                }
                return;
            }
        entries.append(slot.entry);
        m_changedIndexes.insert(index);
    }

    bool addTypes()
    {
        std::vector<std::vector<const DataTypeItem*>> units;
        std::map<QString, std::size_t> unitOfPath;
        QSet<QString> names;
        for (const DataTypeItem& item : m_document.dataTypes) {
            if (names.contains(item.decl.name.toUpper()))
                return fail(item.line, QStringLiteral("data type '%1' is declared twice").arg(item.decl.name));
            names.insert(item.decl.name.toUpper());
            const QString path = item.data ? item.data->path : QString();
            if (!path.isEmpty() && unitOfPath.count(path)) {
                units[unitOfPath[path]].push_back(&item);
                continue;
            }
            if (!path.isEmpty())
                unitOfPath[path] = units.size();
            units.push_back({&item});
        }
        for (const auto& unit : units) {
            std::vector<TypeDecl> decls;
            for (const DataTypeItem* item : unit)
                decls.push_back(item->decl);
            Slot slot;
            if (!place(unit.front()->data, decls.front().name, TypeSuffix, 2, unit.front()->line, slot))
                return false;
            // A TYPE text is named apart from the types it declares; TC6 knows only the types.
            if (!m_added.contains(slot.path))
                slot.entry.insert("name", m_known.at(slot.path).entry.value("name"));
            if (!slot.entry.contains("kind") || m_added.contains(slot.path))
                slot.entry.insert("kind", decls.front().type.kind == TypeRef::Enum ? QStringLiteral("enum")
                                                                                   : QStringLiteral("struct"));
            m_files[slot.path] = textFile(textOf(unit.front()->data, typesText(decls)));
            put(slot);
        }
        return true;
    }

    bool addLists()
    {
        QSet<QString> names;
        for (const ListItem& list : m_document.lists) {
            if (names.contains(list.name.toUpper()))
                return fail(list.line, QStringLiteral("global variable list '%1' is declared twice").arg(list.name));
            names.insert(list.name.toUpper());
            Slot slot;
            if (!place(list.data, list.name, ListSuffix, 1, list.line, slot))
                return false;
            m_files[slot.path] = textFile(textOf(list.data, listText(list.lists)));
            put(slot);
        }
        return true;
    }

    bool addPous()
    {
        QSet<QString> names;
        for (const PouItem& pou : m_document.pous) {
            if (names.contains(pou.decl.name.toUpper()))
                return fail(pou.line, QStringLiteral("POU '%1' is declared twice").arg(pou.decl.name));
            names.insert(pou.decl.name.toUpper());
            Slot slot;
            if (!place(pou.data, pou.decl.name, pouSuffix(pou.decl.pouType), 0, pou.line, slot))
                return false;
            const std::string declaration = textOf(pou.data, pouText(pou.decl));
            std::string logic = pou.data && pou.data->logic ? *pou.data->logic : std::string();
            if (pou.bodyLanguage == QLatin1String("ST") || pou.bodyLanguage == QLatin1String("IL")) {
                if (xmlSafe(QString::fromStdString(logic)) != pou.bodyText)
                    logic = pou.bodyText.toStdString();
            }
            if (!pou.bodyLanguage.isEmpty() || !slot.entry.contains("language"))
                slot.entry.insert("language", languageOfBody(pou.bodyLanguage));
            m_files[slot.path] = pouFile(declaration, logic);
            keepGraphics(pou, slot);
            m_pouIds[pou.decl.name.toUpper()] = idOf(slot.entry);
            m_tc6Pous.insert(idOf(slot.entry));
            put(slot);
        }
        return true;
    }

    // Another tool's graphic body as the POU's editor data, an SFC's actions and transitions
    // as its properties; our editors' data as it was.
    void keepGraphics(const PouItem& pou, Slot& slot)
    {
        QJsonObject properties = slot.entry.value("properties").toObject();
        for (const auto& [property, xml] : {std::pair{PlcOpenXml::ActionsProperty, &pou.actions},
                                            std::pair{PlcOpenXml::TransitionsProperty, &pou.transitions}}) {
            if (xml->isEmpty())
                properties.remove(QLatin1String(property));
            else
                properties.insert(QLatin1String(property), QString::fromUtf8(*xml));
        }
        slot.entry.insert("properties", properties);
        const QByteArray graph = !pou.fragment.isEmpty() ? pou.fragment
                               : pou.data && pou.data->graph ? *pou.data->graph
                                                             : QByteArray();
        const QString graphFile = slot.entry.value("file").toString().chopped(3) + GraphSuffix;
        slot.entry.remove("graph");
        if (!graph.isEmpty()) {
            slot.entry.insert("graph", graphFile);
            m_files[slot.path.left(slot.path.lastIndexOf('/') + 1) + graphFile] = graph;
        }
    }

    // Objects of our data that the file no longer has: another tool removed them. Objects
    // kept whole in our data (hidden ones, unreadable texts) stay.
    bool dropVanished()
    {
        for (const auto& [path, object] : m_known) {
            if (m_claimed.contains(path) || m_files.count(path))
                continue;
            QJsonArray& entries = m_indexes[object.indexPath];
            for (int i = entries.size() - 1; i >= 0; --i)
                if (object.indexPath.left(object.indexPath.lastIndexOf('/') + 1) + entries[i].toObject().value("file").toString() == path)
                    entries.removeAt(i);
            m_changedIndexes.insert(object.indexPath);
        }
        for (const auto& [path, object] : m_known)
            if (!m_claimed.contains(path) && m_files.count(path) && isPouPath(path))
                m_pouIds.emplace(object.entry.value("name").toString().toUpper(), idOf(object.entry));
        return true;
    }

    bool addTasks()
    {
        QJsonObject tasks = m_files.count(TasksFile) ? QJsonDocument::fromJson(m_files.at(TasksFile)).object()
                                                     : QJsonObject{{"configuration", QJsonObject{{"name", QString()}, {"properties", QJsonObject()}}}};
        std::map<qint64, QString> names;
        for (const auto& [name, id] : m_pouIds)
            names[id] = name;
        qint64 nextTask = 1, nextEntry = 1;
        for (const TaskItem& task : m_document.tasks) {
            nextTask = std::max(nextTask, task.id.toLongLong() + 1);
            for (const QString& call : task.calls.split(' ', Qt::SkipEmptyParts))
                nextEntry = std::max(nextEntry, call.section(':', 0, 0).toLongLong() + 1);
        }
        QSet<qint64> taskIds;
        QJsonArray list;
        for (const TaskItem& task : m_document.tasks) {
            QJsonObject entry;
            if (!taskEntry(task, names, nextTask, nextEntry, taskIds, entry))
                return false;
            list.append(entry);
        }
        tasks.insert("tasks", list);
        m_files[TasksFile] = jsonBytes(tasks);
        return true;
    }

    bool taskEntry(const TaskItem& task, const std::map<qint64, QString>& names, qint64& nextTask, qint64& nextEntry,
                   QSet<qint64>& taskIds, QJsonObject& entry)
    {
        std::vector<qint64> pous;
        for (const QString& type : task.instanceTypes) {
            auto it = m_pouIds.find(type.toUpper());
            if (it == m_pouIds.end())
                return fail(task.line, QStringLiteral("task '%1' calls '%2', which is no POU of the file").arg(task.name, type));
            pous.push_back(it->second);
        }
        // Our calls stay (with their entry ids) while they name the same POUs in the same order.
        QJsonArray calls;
        std::vector<qint64> kept;
        for (const QString& call : task.calls.split(' ', Qt::SkipEmptyParts)) {
            const qint64 pou = call.section(':', 1).toLongLong();
            if (!names.count(pou))
                continue; // a call of a POU that is gone
            calls.append(QJsonObject{{"entry", call.section(':', 0, 0).toLongLong()}, {"pou", pou}});
            if (m_tc6Pous.contains(pou)) // the calls of POUs kept in our data only are no pouInstance
                kept.push_back(pou);
        }
        if (!task.ours || kept != pous) {
            calls = QJsonArray();
            for (qint64 pou : pous)
                calls.append(QJsonObject{{"entry", nextEntry++}, {"pou", pou}});
        }
        qint64 id = task.ours ? task.id.toLongLong() : 0;
        if (id <= 0 || taskIds.contains(id))
            id = nextTask++;
        taskIds.insert(id);
        QJsonObject properties = QJsonDocument::fromJson(task.properties.toUtf8()).object();
        if (task.interval != properties.value("Interval").toString()) {
            if (task.interval.isEmpty())
                properties.remove("Interval");
            else
                properties.insert("Interval", task.interval);
        }
        bool numeric = false;
        const uint priority = properties.value("Priority").toString().toUInt(&numeric);
        if (task.priority != QString::number(numeric ? priority : 0))
            properties.insert("Priority", task.priority);
        entry = QJsonObject{{"calls", calls}, {"id", id}, {"name", task.name}, {"properties", properties},
                            {"type", task.ours ? task.type.toInt() : 2}, {"watchdog", task.ours ? task.watchdog.toLongLong() : 0}};
        return true;
    }

    void writeIndexes()
    {
        for (const QString& index : m_changedIndexes) {
            QJsonArray& entries = m_indexes[index];
            std::vector<QJsonObject> sorted;
            for (const QJsonValue& value : entries)
                sorted.push_back(value.toObject());
            std::sort(sorted.begin(), sorted.end(), [](const QJsonObject& a, const QJsonObject& b) {
                return a.value("file").toString() < b.value("file").toString();
            });
            QJsonArray out;
            for (const QJsonObject& entry : sorted)
                out.append(entry);
            m_files[index] = jsonBytes(out);
        }
    }

    const Document& m_document;
    ProjectText::Files m_files;
    QString m_error;
    std::map<QString, IndexedObject> m_known;
    std::map<QString, QJsonArray> m_indexes;
    QSet<QString> m_changedIndexes, m_claimed, m_added;
    // POUs, lists, types. A new project's system objects (kept by the import) take the first
    // ids of their models; new objects start above every one of them.
    qint64 m_nextId[3] = {firstFreeId(), firstFreeId(), firstFreeId()};
    std::map<QString, qint64> m_pouIds; // upper-case name -> id
    QSet<qint64> m_tc6Pous;             // ids of the POUs the file has as <pou>
};

} // namespace

Result<ProjectText::Files> assemble(const Document& document)
{
    return Assembly(document).run();
}

} // namespace PlcOpenFormat
