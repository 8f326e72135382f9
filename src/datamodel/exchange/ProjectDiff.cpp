#include "datamodel/exchange/ProjectDiff.h"

#include "datamodel/exchange/ExchangeFormat_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <map>

using namespace ExchangeFormat;

namespace {

struct Object
{
    QString name; // as shown: kind and name
    QString file;
    QByteArray content;
};

// Objects by a key that stays the same while the object changes (its id, else its name).
using Objects = std::map<QString, Object>;

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString idOrName(const QJsonObject& object)
{
    const QJsonValue id = object.value("id");
    if (!id.isUndefined())
        return QStringLiteral("id:") + QString::fromUtf8(QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact));
    return QStringLiteral("name:") + object.value("name").toString();
}

bool isNamed(const QJsonValue& value)
{
    return value.isObject() && (value.toObject().contains("id") || value.toObject().contains("name"));
}

// The program tree: every entry of every folder's index with the files it names.
class ProgramObjects
{
public:
    ProgramObjects(const ProjectText::Files& files, Objects& out, QSet<QString>& used)
        : m_files(files), m_out(out), m_used(used)
    {
    }

    void collect()
    {
        const QString prefix = ProgramFolder + '/';
        for (const auto& [path, bytes] : m_files) {
            if (!path.startsWith(prefix) || !path.endsWith('/' + IndexFile))
                continue;
            const QJsonDocument index = QJsonDocument::fromJson(bytes);
            if (!index.isArray())
                continue; // shown as a file of its own
            m_used.insert(path);
            const QString dir = path.chopped(IndexFile.size() + 1);
            for (const QJsonValue& entry : index.array())
                if (entry.isObject())
                    add(dir, entry.toObject());
        }
    }

private:
    static const char* kindOf(const QString& file, const QJsonObject& entry, const char*& idSpace)
    {
        idSpace = "pou";
        if (file.endsWith(ProgramSuffix))
            return "program";
        if (file.endsWith(BlockSuffix))
            return "function block";
        if (file.endsWith(FunctionSuffix))
            return "function";
        if (file.endsWith(ListSuffix)) {
            idSpace = "list";
            return "global list";
        }
        if (file.endsWith(TypeSuffix)) {
            idSpace = "type";
            return entry.value("kind").toString() == QLatin1String("enum") ? "enumeration" : "structure";
        }
        idSpace = "folder";
        return "folder";
    }

    void add(const QString& dir, const QJsonObject& entry)
    {
        const QString file = entry.value("file").toString();
        const char* idSpace = nullptr;
        const char* kind = kindOf(file, entry, idSpace);
        Object object{QStringLiteral("%1 %2").arg(QLatin1String(kind), entry.value("name").toString()), dir + '/' + file,
                      dir.toUtf8() + '\n' + compact(entry)};
        // A folder's entry stands for the folder; its directory is compared through its own index.
        if (qstrcmp(idSpace, "folder") != 0) {
            object.content += take(object.file);
            if (entry.contains("graph"))
                object.content += take(dir + '/' + entry.value("graph").toString());
        }
        m_out[QStringLiteral("program:%1:").arg(QLatin1String(idSpace)) + idOrName(entry)] = object;
    }

    QByteArray take(const QString& path)
    {
        const auto it = m_files.find(path);
        if (it == m_files.end())
            return QByteArrayLiteral("\n(missing)");
        m_used.insert(path);
        return '\n' + QByteArray::number(it->second.size()) + '\n' + it->second;
    }

    const ProjectText::Files& m_files;
    Objects& m_out;
    QSet<QString>& m_used;
};

QString kindOfFile(const QString& path)
{
    static const std::map<QString, QString> files = {
        {ProjectFile, QStringLiteral("project")},     {TasksFile, QStringLiteral("task")},
        {LibrariesFile, QStringLiteral("library")},   {DevicesFile, QStringLiteral("device")},
        {HmiFile, QStringLiteral("HMI list")},        {CommentsFile, QStringLiteral("comment")},
        {TranslationsFile, QStringLiteral("translations")}};
    static const std::pair<QString, QString> suffixes[] = {
        {AxisSuffix, QStringLiteral("axis")}, {GroupSuffix, QStringLiteral("axis group")},
        {CamSuffix, QStringLiteral("cam")},   {TraceSuffix, QStringLiteral("trace")},
        {WatchSuffix, QStringLiteral("watch list")}};
    const auto it = files.find(path);
    if (it != files.end())
        return it->second;
    for (const auto& [suffix, kind] : suffixes)
        if (path.endsWith(suffix))
            return kind;
    const QString name = path.section('/', -1);
    return name.left(name.indexOf('.'));
}

// The entries of a JSON file: named objects in arrays and trees ("children"), sections of the
// file by their key, and what is left as one object named by the file.
class JsonObjects
{
public:
    JsonObjects(const QString& path, Objects& out) : m_path(path), m_kind(kindOfFile(path)), m_out(out) {}

    void collect(const QJsonDocument& document, const ProjectText::Files& files, QSet<QString>& used)
    {
        QJsonObject rest;
        if (document.isArray())
            walkArray(document.array(), m_kind);
        else if (isNamed(document.object()) && !document.object().contains("children"))
            addFileObject(document.object(), files, used);
        else if (isNamed(document.object()))
            addNamed(document.object(), m_kind);
        else
            walkSections(document.object(), rest);
        if (!rest.isEmpty())
            add(QStringLiteral("rest"), m_path, compact(rest));
    }

private:
    void walkSections(const QJsonObject& object, QJsonObject& rest)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.value().isArray())
                walkArray(it.value().toArray(), m_kind);
            else if (it.value().isObject())
                add(QStringLiteral("section:") + it.key(), QStringLiteral("%1 %2").arg(m_kind, it.key()),
                    compact(it.value().toObject()));
            else
                rest.insert(it.key(), it.value());
        }
    }

    void walkArray(const QJsonArray& array, const QString& kind)
    {
        QJsonArray unnamed;
        for (const QJsonValue& value : array) {
            if (isNamed(value))
                addNamed(value.toObject(), kind);
            else
                unnamed.append(value);
        }
        if (!unnamed.isEmpty())
            add(QStringLiteral("unnamed:") + kind, m_path, QJsonDocument(unnamed).toJson(QJsonDocument::Compact));
    }

    void addNamed(QJsonObject object, const QString& kind)
    {
        const QJsonValue children = object.take("children");
        const QString name = object.contains("name") ? object.value("name").toString()
                                                     : QString::fromUtf8(QJsonDocument(QJsonArray{object.value("id")})
                                                                             .toJson(QJsonDocument::Compact)).mid(1).chopped(1);
        add(idOrName(object), QStringLiteral("%1 %2").arg(kind, name), compact(object));
        if (children.isArray())
            walkArray(children.toArray(), kind);
    }

    // A file that is one object (an axis, a cam, ...) is known by its kind and id wherever it
    // lies, so that a renamed one is changed, not removed and added. A cam's points are part
    // of it.
    void addFileObject(const QJsonObject& object, const ProjectText::Files& files, QSet<QString>& used)
    {
        QByteArray content = compact(object);
        if (object.value("points").isString()) {
            const QString points = m_path.section('/', 0, -2) + '/' + object.value("points").toString();
            const auto it = files.find(points);
            if (it != files.end()) {
                used.insert(points);
                content += '\n' + it->second;
            }
        }
        m_out[QStringLiteral("object:%1:").arg(m_kind) + idOrName(object)] =
            Object{QStringLiteral("%1 %2").arg(m_kind, object.value("name").toString()), m_path, content};
    }

    void add(const QString& key, const QString& name, const QByteArray& content)
    {
        QString unique = m_path + ':' + key;
        // Two entries under one key (a damaged or hand-made file): both are still compared.
        for (int n = 2; m_out.count(unique); ++n)
            unique = m_path + ':' + key + '#' + QString::number(n);
        m_out[unique] = Object{name, m_path, content};
    }

    QString m_path;
    QString m_kind;
    Objects& m_out;
};

Objects objectsOf(const ProjectText::Files& files)
{
    Objects out;
    QSet<QString> used;
    ProgramObjects(files, out, used).collect();
    for (const auto& [path, bytes] : files) {
        if (path.endsWith(QLatin1String(".json")) && !used.contains(path)) {
            const QJsonDocument document = QJsonDocument::fromJson(bytes);
            if (!document.isNull()) {
                used.insert(path);
                JsonObjects(path, out).collect(document, files, used);
            }
        }
    }
    // What is left: files of no known shape, and points that no cam names.
    for (const auto& [path, bytes] : files)
        if (!used.contains(path))
            out[QStringLiteral("file:") + path] = Object{QStringLiteral("file ") + path, path, bytes};
    return out;
}

} // namespace

std::vector<ProjectDiff::Entry> ProjectDiff::compare(const ProjectText::Files& a, const ProjectText::Files& b)
{
    const Objects before = objectsOf(a);
    const Objects after = objectsOf(b);
    std::vector<Entry> out;
    for (const auto& [key, object] : before) {
        const auto it = after.find(key);
        if (it == after.end())
            out.push_back({Removed, object.name, object.file});
        else if (it->second.content != object.content || it->second.name != object.name)
            out.push_back({Changed, it->second.name, it->second.file});
    }
    for (const auto& [key, object] : after)
        if (!before.count(key))
            out.push_back({Added, object.name, object.file});
    std::stable_sort(out.begin(), out.end(), [](const Entry& x, const Entry& y) {
        return x.file != y.file ? x.file < y.file : x.object < y.object;
    });
    return out;
}

const char* ProjectDiff::changeName(Change change)
{
    switch (change) {
    case Added: return "added";
    case Removed: return "removed";
    case Changed: return "changed";
    }
    return "";
}
