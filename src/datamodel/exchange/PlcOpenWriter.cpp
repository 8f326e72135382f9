#include "datamodel/exchange/PlcOpenWriter.h"

#include "datamodel/exchange/ExchangeFormat_p.h"
#include "datamodel/exchange/PlcOpenFormat_p.h"
#include "datamodel/exchange/PlcOpenXml_p.h"
#include "datamodel/model/SystemObjects.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QXmlStreamWriter>

using namespace PlcOpenFormat;

namespace {

struct Program
{
    IndexedObject object;
    std::string declaration, logic;
};

class Writer
{
public:
    Writer(const ProjectText::Files& files, ac::ACCore& core, int fileId)
        : m_files(files), m_core(core), m_fileId(fileId), m_xml(&m_bytes)
    {
        m_projectFiles = files;
        m_objects = indexedObjects(files);
    }

    QByteArray write()
    {
        parseIntoCore();
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(2);
        m_xml.writeStartDocument();
        m_xml.writeDefaultNamespace(Namespace);
        m_xml.writeNamespace(XhtmlNamespace, QStringLiteral("xhtml"));
        m_xml.writeNamespace(DataNamespace, QStringLiteral("nv"));
        m_xml.writeStartElement(Namespace, QStringLiteral("project"));
        writeHeaders();
        m_xml.writeStartElement(Namespace, QStringLiteral("types"));
        writeDataTypes();
        writePous();
        m_xml.writeEndElement();
        writeInstances();
        writeProjectData();
        m_xml.writeEndElement();
        m_xml.writeEndDocument();
        return PlcOpenXml::insertFragments(m_bytes, m_fragments);
    }

private:
    bool hidden(const IndexedObject& object) const
    {
        return SystemObjects::isHidden(object.entry.value("name").toString().toStdString(),
                                       object.entry.value("properties").toObject().value("Hidden").toString().toStdString());
    }

    std::string text(const QString& path) const
    {
        auto it = m_files.find(path);
        return it == m_files.end() ? std::string() : it->second.left(it->second.size() - 1).toStdString();
    }

    // Types, lists, then POUs: a declaration may name what a later one declares, and the
    // core parses a waiting text again once the name arrives.
    void parseIntoCore()
    {
        for (const auto& [path, object] : m_objects) {
            const std::string name = object.entry.value("name").toString().toStdString();
            if (path.endsWith(ExchangeFormat::TypeSuffix))
                m_core.parserTypes(text(path), name, m_fileId, false, false, -1);
        }
        for (const auto& [path, object] : m_objects)
            if (path.endsWith(ExchangeFormat::ListSuffix))
                m_core.parseGlobalVars(text(path), object.entry.value("name").toString().toStdString(), m_fileId);
        for (const auto& [path, object] : m_objects) {
            std::string declaration, logic;
            if (isPou(path) && ExchangeFormat::splitPouFile(m_files.at(path), declaration, logic)) {
                m_core.parserPou(declaration, object.entry.value("name").toString().toStdString(), m_fileId, false, false, -1);
                m_programs.push_back(Program{object, declaration, logic});
            }
        }
        m_core.reset(ac::ACCore::ClearMessages);
    }

    static bool isPou(const QString& path)
    {
        return path.endsWith(ExchangeFormat::ProgramSuffix) || path.endsWith(ExchangeFormat::BlockSuffix)
            || path.endsWith(ExchangeFormat::FunctionSuffix);
    }

    void writeHeaders()
    {
        m_xml.writeEmptyElement(Namespace, QStringLiteral("fileHeader"));
        m_xml.writeAttribute(QStringLiteral("companyName"), QStringLiteral("Norvale"));
        m_xml.writeAttribute(QStringLiteral("productName"), QStringLiteral("datamodel plcproj"));
        m_xml.writeAttribute(QStringLiteral("productVersion"), QStringLiteral("1"));
        // A fixed time: the same project gives the same bytes, as the folder export does.
        m_xml.writeAttribute(QStringLiteral("creationDateTime"), QStringLiteral("1970-01-01T00:00:00"));
        const QJsonObject project = QJsonDocument::fromJson(m_files.count(ExchangeFormat::ProjectFile)
                                                                ? m_files.at(ExchangeFormat::ProjectFile)
                                                                : QByteArray())
                                        .object();
        m_xml.writeStartElement(Namespace, QStringLiteral("contentHeader"));
        m_xml.writeAttribute(QStringLiteral("name"), xmlSafe(project.value("name").toString()));
        if (!project.value("author").toString().isEmpty())
            m_xml.writeAttribute(QStringLiteral("author"), xmlSafe(project.value("author").toString()));
        if (!project.value("comments").toString().isEmpty())
            m_xml.writeTextElement(Namespace, QStringLiteral("Comment"), xmlSafe(project.value("comments").toString()));
        m_xml.writeStartElement(Namespace, QStringLiteral("coordinateInfo"));
        for (const char* language : {"fbd", "ld", "sfc"}) {
            m_xml.writeStartElement(Namespace, QLatin1String(language));
            m_xml.writeEmptyElement(Namespace, QStringLiteral("scaling"));
            m_xml.writeAttribute(QStringLiteral("x"), QStringLiteral("1"));
            m_xml.writeAttribute(QStringLiteral("y"), QStringLiteral("1"));
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
        m_xml.writeStartElement(Namespace, QStringLiteral("addDataInfo"));
        m_xml.writeEmptyElement(Namespace, QStringLiteral("info"));
        m_xml.writeAttribute(QStringLiteral("name"), DataNamespace);
        m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        m_xml.writeAttribute(QStringLiteral("vendor"), QStringLiteral("Norvale"));
        m_xml.writeEndElement();
        m_xml.writeEndElement();
    }

    // Our addData of one object: where it lives, the digest of its TC6 content and its text.
    void writeObjectData(const IndexedObject& object, const QString& declaration, const std::string& original,
                         bool withText)
    {
        PlcOpenXml::startData(m_xml);
        m_xml.writeStartElement(DataNamespace, QStringLiteral("object"));
        m_xml.writeAttribute(QStringLiteral("path"), object.path);
        m_xml.writeAttribute(QStringLiteral("tc6"), fingerprint(declaration));
        if (withText)
            PlcOpenXml::writeText(m_xml, QStringLiteral("declaration"), original);
        m_xml.writeEndElement();
        PlcOpenXml::endData(m_xml);
        m_projectFiles.erase(object.path);
    }

    void writeDataTypes()
    {
        m_xml.writeStartElement(Namespace, QStringLiteral("dataTypes"));
        for (const auto& [path, object] : m_objects) {
            if (!path.endsWith(ExchangeFormat::TypeSuffix) || hidden(object))
                continue;
            const std::vector<TypeDecl> types = typesFromCore(m_core, object.entry.value("name").toString());
            for (std::size_t i = 0; i < types.size(); ++i) {
                m_xml.writeStartElement(Namespace, QStringLiteral("dataType"));
                m_xml.writeAttribute(QStringLiteral("name"), types[i].name);
                m_xml.writeStartElement(Namespace, QStringLiteral("baseType"));
                PlcOpenXml::writeType(m_xml, types[i].type);
                m_xml.writeEndElement();
                // The first type of a TYPE text carries it; the others name it.
                writeObjectData(object, i == 0 ? typesText(types) : QString(), text(path), i == 0);
                m_xml.writeEndElement();
            }
        }
        m_xml.writeEndElement();
    }

    void writePous()
    {
        m_xml.writeStartElement(Namespace, QStringLiteral("pous"));
        for (const Program& program : m_programs) {
            const QString name = program.object.entry.value("name").toString();
            std::optional<PouDecl> pou = pouFromCore(m_core, name);
            // Names that are no identifiers (older projects have them) cannot name a TC6 POU.
            if (!pou || hidden(program.object) || pou->name.compare(name, Qt::CaseInsensitive) != 0
                || !ac::ACCore::isIdentifier(name.toStdString()))
                continue; // kept whole in the project's addData
            m_written[qint64(program.object.entry.value("id").toDouble())] = name;
            pou->name = name; // the object's spelling, which the import gives back
            writePou(program, *pou);
        }
        m_xml.writeEndElement();
    }

    void writePou(const Program& program, const PouDecl& pou)
    {
        m_xml.writeStartElement(Namespace, QStringLiteral("pou"));
        m_xml.writeAttribute(QStringLiteral("name"), pou.name);
        m_xml.writeAttribute(QStringLiteral("pouType"), pou.pouType);
        PlcOpenXml::writeInterface(m_xml, pou);
        const QJsonObject properties = program.object.entry.value("properties").toObject();
        for (const auto& [property, element] : {std::pair{PlcOpenXml::ActionsProperty, "actions"},
                                                std::pair{PlcOpenXml::TransitionsProperty, "transitions"}})
            writeFragment(properties.value(QLatin1String(property)).toString().toUtf8(), QLatin1String(element));
        const QByteArray graph = graphOf(program.object);
        const int language = ExchangeFormat::languageFromName(program.object.entry.value("language").toString());
        const bool textual = language == PouModel::POU_ST || language == PouModel::POU_IL;
        const QString logic = QString::fromStdString(program.logic);
        const QString fragment = textual ? QString() : PlcOpenXml::fragmentOf(graph, language);
        if (textual) {
            PlcOpenXml::writeTextBody(m_xml, language == PouModel::POU_IL ? "IL" : "ST", xmlSafe(logic));
        } else if (!fragment.isEmpty()) {
            m_xml.writeStartElement(Namespace, QStringLiteral("body"));
            writeFragment(graph, fragment);
            m_xml.writeEndElement();
        }
        // The body holds a textual logic when XML keeps it as it is; graphic languages keep
        // their textual form and our editors' data here.
        const bool logicInBody = textual && keepsInXml(logic) && logic.toStdString() == program.logic;
        PlcOpenXml::startData(m_xml);
        m_xml.writeStartElement(DataNamespace, QStringLiteral("object"));
        m_xml.writeAttribute(QStringLiteral("path"), program.object.path);
        m_xml.writeAttribute(QStringLiteral("tc6"), fingerprint(pouText(pou)));
        PlcOpenXml::writeText(m_xml, QStringLiteral("declaration"), program.declaration);
        if (!logicInBody)
            PlcOpenXml::writeText(m_xml, QStringLiteral("logic"), program.logic);
        if (!graph.isEmpty() && fragment.isEmpty())
            m_xml.writeTextElement(DataNamespace, QStringLiteral("graph"), QString::fromLatin1(graph.toBase64()));
        m_xml.writeEndElement();
        PlcOpenXml::endData(m_xml);
        m_xml.writeEndElement();
        m_projectFiles.erase(program.object.path);
        if (!graph.isEmpty())
            m_projectFiles.erase(graphPath(program.object));
    }

    // A piece of another tool's XML, written back as it came (after the document is done).
    void writeFragment(const QByteArray& xml, const QString& element)
    {
        if (!PlcOpenXml::isFragment(xml, element))
            return;
        m_xml.writeComment(PlcOpenXml::fragmentMark(int(m_fragments.size())));
        m_fragments.push_back(xml);
    }

    QString graphPath(const IndexedObject& object) const
    {
        const QString dir = object.path.left(object.path.lastIndexOf('/') + 1);
        return dir + object.entry.value("graph").toString();
    }

    QByteArray graphOf(const IndexedObject& object) const
    {
        if (object.entry.value("graph").toString().isEmpty())
            return {};
        auto it = m_files.find(graphPath(object));
        return it == m_files.end() ? QByteArray() : it->second;
    }

    void writeInstances()
    {
        m_xml.writeStartElement(Namespace, QStringLiteral("instances"));
        m_xml.writeStartElement(Namespace, QStringLiteral("configurations"));
        m_xml.writeStartElement(Namespace, QStringLiteral("configuration"));
        m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Configuration"));
        m_xml.writeStartElement(Namespace, QStringLiteral("resource"));
        m_xml.writeAttribute(QStringLiteral("name"), QStringLiteral("Resource"));
        writeTasks();
        writeLists();
        m_xml.writeEndElement();
        m_xml.writeEndElement();
        m_xml.writeEndElement();
        m_xml.writeEndElement();
    }

    void writeTasks()
    {
        auto it = m_files.find(ExchangeFormat::TasksFile);
        if (it == m_files.end())
            return;
        QJsonObject tasks = QJsonDocument::fromJson(it->second).object();
        for (const QJsonValue& value : tasks.value("tasks").toArray())
            PlcOpenXml::writeTask(m_xml, value.toObject(), m_written);
        tasks.insert("tasks", QJsonArray()); // the tasks themselves travel as TC6 tasks
        m_projectFiles[ExchangeFormat::TasksFile] = ExchangeFormat::jsonBytes(tasks);
    }

    void writeLists()
    {
        for (const auto& [path, object] : m_objects) {
            if (!path.endsWith(ExchangeFormat::ListSuffix) || hidden(object))
                continue;
            const QString name = object.entry.value("name").toString();
            if (!m_core.symbolGVL(name.toStdString()) || !ac::ACCore::isIdentifier(name.toStdString()))
                continue;
            std::vector<VarList> lists = listFromCore(m_core, name);
            const QString rendered = listText(lists);
            if (lists.empty())
                lists.push_back(VarList{QStringLiteral("globalVars"), false, false, {}});
            for (std::size_t i = 0; i < lists.size(); ++i) {
                PlcOpenXml::startVarList(m_xml, lists[i], name);
                if (i + 1 == lists.size())
                    writeObjectData(object, rendered, text(path), true);
                m_xml.writeEndElement();
            }
        }
    }

    // Everything TC6 did not take: project, libraries, devices, folders and ids, objects the
    // core could not read, hidden objects, and whatever else the export holds.
    void writeProjectData()
    {
        PlcOpenXml::startData(m_xml);
        m_xml.writeStartElement(DataNamespace, QStringLiteral("files"));
        for (const auto& [path, bytes] : m_projectFiles) {
            m_xml.writeStartElement(DataNamespace, QStringLiteral("file"));
            m_xml.writeAttribute(QStringLiteral("path"), path);
            PlcOpenXml::writeBytes(m_xml, bytes);
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
        PlcOpenXml::endData(m_xml);
    }

    const ProjectText::Files& m_files;
    ac::ACCore& m_core;
    int m_fileId;
    QByteArray m_bytes;
    QXmlStreamWriter m_xml;
    ProjectText::Files m_projectFiles;
    std::map<QString, IndexedObject> m_objects;
    std::vector<Program> m_programs;
    std::map<qint64, QString> m_written; // POUs written as <pou>: id -> name
    std::vector<QByteArray> m_fragments;
};

} // namespace

QByteArray PlcOpenWriter::write(const ProjectText::Files& files, ac::ACCore& core, int fileId)
{
    return Writer(files, core, fileId).write();
}
