#include "datamodel/exchange/PlcOpenReader.h"

#include "datamodel/exchange/PlcOpenDocument_p.h"
#include "datamodel/exchange/PlcOpenStream_p.h"

#include "accore/ACCore.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <functional>

using namespace PlcOpenFormat;

namespace {

// Reads the elements of a TC6 file into a Document.
class Parser : public PlcOpenStream
{
public:
    Parser(const QByteArray& xml, const QString& fileName, const PlcOpenReader::Limits& limits)
        : PlcOpenStream(xml, fileName, limits.maxDepth)
    {
        m_document.fileName = fileName;
    }

    Result<Document> parse()
    {
        if (!readRoot())
            return Failure{1, error(), {}};
        return std::move(m_document);
    }

private:

    bool readRoot()
    {
        while (next()) {
            if (!m_reader.isStartElement())
                continue;
            if (m_reader.name() != QLatin1String("project") || !inTc6())
                return fail(QStringLiteral("not a PLCopen TC6 2.01 file (the root is <%1> in \"%2\")")
                                .arg(m_reader.name().toString(), m_reader.namespaceUri().toString()));
            const int at = line();
            QStringList seen;
            const bool ok = children([&](const QString& element) {
                seen << element;
                if (element == QLatin1String("contentHeader"))
                    return readContentHeader();
                if (element == QLatin1String("types"))
                    return readTypes();
                if (element == QLatin1String("instances"))
                    return readInstances();
                if (element == QLatin1String("addData"))
                    return readData([this] { return readProjectFiles(); });
                return skip();
            });
            if (!ok || !required(seen, {"fileHeader", "contentHeader", "types", "instances"}, "project", at))
                return false;
            while (!m_reader.atEnd())
                if (!next())
                    return false;
            return true;
        }
        return fail(m_reader.hasError() ? m_reader.errorString() : QStringLiteral("no <project> element"));
    }

    bool readContentHeader()
    {
        m_document.projectName = attribute("name");
        m_document.author = attribute("author");
        if (m_document.projectName.trimmed().isEmpty())
            return fail(QStringLiteral("<contentHeader> needs a name"));
        return children([this](const QString& element) {
            return element == QLatin1String("Comment") ? text(m_document.comment) : skip();
        });
    }

    bool readTypes()
    {
        QStringList seen;
        const int at = line();
        return children([&](const QString& element) {
                   seen << element;
                   if (element == QLatin1String("dataTypes"))
                       return children([this](const QString& e) { return e == QLatin1String("dataType") ? readDataType() : skip(); });
                   if (element == QLatin1String("pous"))
                       return children([this](const QString& e) { return e == QLatin1String("pou") ? readPou() : skip(); });
                   return skip();
               })
            && required(seen, {"dataTypes", "pous"}, "types", at);
    }

    bool readDataType()
    {
        DataTypeItem item;
        item.line = line();
        if (!name("name", QStringLiteral("data type name"), item.decl.name))
            return false;
        bool typed = false;
        const bool ok = children([&](const QString& element) {
            if (element == QLatin1String("baseType")) {
                typed = true;
                return readTypeHolder(item.decl.type);
            }
            if (element == QLatin1String("initialValue")) {
                item.decl.initialValue = Value();
                return readValueHolder(*item.decl.initialValue);
            }
            if (element == QLatin1String("addData"))
                return readData([&] { return readObjectData(item.data); });
            return skip();
        });
        return ok && (typed || fail(QStringLiteral("data type '%1' lacks <baseType>").arg(item.decl.name), item.line))
            && (m_document.dataTypes.push_back(std::move(item)), true);
    }

    bool readPou()
    {
        PouItem item;
        item.line = line();
        item.decl.pouType = attribute("pouType");
        if (!name("name", QStringLiteral("POU name"), item.decl.name))
            return false;
        if (item.decl.pouType != QLatin1String("program") && item.decl.pouType != QLatin1String("function")
            && item.decl.pouType != QLatin1String("functionBlock"))
            return fail(QStringLiteral("POU '%1' has the unknown pouType '%2'").arg(item.decl.name, item.decl.pouType));
        const bool ok = children([&](const QString& element) {
            if (element == QLatin1String("interface"))
                return readInterface(item.decl);
            if (element == QLatin1String("actions"))
                return captureFragment(item.actions);
            if (element == QLatin1String("transitions"))
                return captureFragment(item.transitions);
            if (element == QLatin1String("body") && item.bodyLanguage.isEmpty())
                return readBody(item);
            if (element == QLatin1String("addData"))
                return readData([&] { return readObjectData(item.data); });
            return skip();
        });
        if (ok)
            m_document.pous.push_back(std::move(item));
        return ok;
    }

    bool readInterface(PouDecl& pou)
    {
        return children([&](const QString& element) {
            if (element == QLatin1String("returnType")) {
                pou.returnType = TypeRef();
                return readTypeHolder(*pou.returnType);
            }
            if (sectionScope(element) != 0) {
                pou.lists.emplace_back();
                return readVarList(pou.lists.back());
            }
            return skip();
        });
    }

    bool readVarList(VarList& list, std::optional<ObjectData>* data = nullptr)
    {
        list.section = m_reader.name().toString();
        list.constant = attribute("constant") == QLatin1String("true") || attribute("constant") == QLatin1String("1");
        list.retain = attribute("retain") == QLatin1String("true") || attribute("retain") == QLatin1String("1");
        return children([&](const QString& element) {
            if (element == QLatin1String("variable")) {
                list.variables.emplace_back();
                return readVariable(list.variables.back());
            }
            if (element == QLatin1String("addData") && data)
                return readData([&] { return readObjectData(*data); });
            return skip();
        });
    }

    bool readVariable(Variable& variable)
    {
        const int at = line();
        static const QRegularExpression address(QStringLiteral("^%[A-Za-z]{1,3}[0-9]+(\\.[0-9]+)*$|^%[IQM]\\*$"));
        variable.address = attribute("address");
        if (!name("name", QStringLiteral("variable name"), variable.name))
            return false;
        if (!variable.address.isEmpty() && !address.match(variable.address).hasMatch())
            return fail(QStringLiteral("the address '%1' of '%2' is no direct address").arg(variable.address, variable.name));
        bool typed = false;
        const bool ok = children([&](const QString& element) {
            if (element == QLatin1String("type")) {
                typed = true;
                return readTypeHolder(variable.type);
            }
            if (element == QLatin1String("initialValue")) {
                variable.initialValue = Value();
                return readValueHolder(*variable.initialValue);
            }
            if (element == QLatin1String("documentation"))
                return text(variable.documentation) && (variable.documentation = variable.documentation.trimmed(), true);
            return skip();
        });
        return ok && (typed || fail(QStringLiteral("variable '%1' lacks <type>").arg(variable.name), at));
    }

    // <type>, <baseType>, <returnType>: exactly one type element inside.
    bool readTypeHolder(TypeRef& type)
    {
        const int at = line();
        bool found = false;
        return children([&](const QString& element) {
                   if (found)
                       return skip();
                   found = true;
                   return readType(element, type);
               })
            && (found || fail(QStringLiteral("a type element is missing"), at));
    }

    bool readType(const QString& element, TypeRef& type)
    {
        if (isElementary(element)) {
            type.kind = TypeRef::Elementary;
            type.name = element;
            return skip();
        }
        if (element == QLatin1String("string") || element == QLatin1String("wstring")) {
            type.kind = element == QLatin1String("string") ? TypeRef::String : TypeRef::WString;
            return token("length", QStringLiteral("string length"), type.length, true) && skip();
        }
        if (element == QLatin1String("derived"))
            return (type.kind = TypeRef::Derived, name("name", QStringLiteral("type name"), type.name)) && skip();
        if (element == QLatin1String("array") || element == QLatin1String("pointer"))
            return readComposite(element, type);
        if (element == QLatin1String("enum"))
            return readEnum(type);
        if (element == QLatin1String("struct")) {
            type.kind = TypeRef::Struct;
            return children([&](const QString& e) {
                if (e != QLatin1String("variable"))
                    return skip();
                type.members.emplace_back();
                return readVariable(type.members.back());
            });
        }
        if (element == QLatin1String("subrangeSigned") || element == QLatin1String("subrangeUnsigned"))
            return readSubrange(type);
        return fail(QStringLiteral("the type <%1> is not supported").arg(element));
    }

    bool readComposite(const QString& element, TypeRef& type)
    {
        type.kind = element == QLatin1String("array") ? TypeRef::Array : TypeRef::Pointer;
        type.base = std::make_shared<TypeRef>();
        bool based = false;
        const int at = line();
        return children([&](const QString& e) {
                   if (e == QLatin1String("dimension")) {
                       QString lower, upper;
                       if (!token("lower", QStringLiteral("array bound"), lower) || !token("upper", QStringLiteral("array bound"), upper))
                           return false;
                       type.dimensions.emplace_back(lower, upper);
                       return skip();
                   }
                   if (e == QLatin1String("baseType"))
                       return (based = true, readTypeHolder(*type.base));
                   return skip();
               })
            && (based || fail(QStringLiteral("<%1> lacks <baseType>").arg(element), at))
            && (type.kind != TypeRef::Array || !type.dimensions.empty()
                || fail(QStringLiteral("<array> lacks <dimension>"), at));
    }

    bool readEnum(TypeRef& type)
    {
        type.kind = TypeRef::Enum;
        return children([&](const QString& e) {
            if (e == QLatin1String("baseType"))
                return (type.base = std::make_shared<TypeRef>(), readTypeHolder(*type.base));
            if (e != QLatin1String("values"))
                return skip();
            return children([&](const QString& v) {
                if (v != QLatin1String("value"))
                    return skip();
                QString valueName;
                if (!name("name", QStringLiteral("enumeration value"), valueName))
                    return false;
                QString value;
                if (!token("value", QStringLiteral("enumeration value"), value, true))
                    return false;
                type.values.emplace_back(valueName, value);
                return skip();
            });
        });
    }

    bool readSubrange(TypeRef& type)
    {
        type.kind = TypeRef::Subrange;
        type.base = std::make_shared<TypeRef>();
        return children([&](const QString& e) {
            if (e == QLatin1String("range"))
                return token("lower", QStringLiteral("subrange bound"), type.lower)
                    && token("upper", QStringLiteral("subrange bound"), type.upper) && skip();
            return e == QLatin1String("baseType") ? readTypeHolder(*type.base) : skip();
        });
    }

    bool readValueHolder(Value& value)
    {
        bool found = false;
        return children([&](const QString& element) { return found ? skip() : (found = true, readValue(element, value)); });
    }

    bool readValue(const QString& element, Value& value)
    {
        if (element == QLatin1String("simpleValue")) {
            value.text = attribute("value");
            return skip();
        }
        if (element != QLatin1String("arrayValue") && element != QLatin1String("structValue"))
            return fail(QStringLiteral("the value <%1> is not supported").arg(element));
        const bool array = element == QLatin1String("arrayValue");
        value.kind = array ? Value::Array : Value::Struct;
        return children([&](const QString& e) {
            if (e != QLatin1String("value"))
                return skip();
            QString key;
            if (array ? !token("repetitionValue", QStringLiteral("repetition"), key, true)
                      : !name("member", QStringLiteral("member"), key))
                return false;
            value.items.emplace_back(key, Value());
            return readValueHolder(value.items.back().second);
        });
    }

    bool readBody(PouItem& item)
    {
        return children([&](const QString& element) {
            if (!item.bodyLanguage.isEmpty())
                return skip();
            if (element == QLatin1String("ST") || element == QLatin1String("IL")) {
                item.bodyLanguage = element;
                return textBody(item.bodyText);
            }
            if (element == QLatin1String("FBD") || element == QLatin1String("LD") || element == QLatin1String("SFC")) {
                item.bodyLanguage = element;
                return captureFragment(item.fragment);
            }
            return skip();
        });
    }

    bool readInstances()
    {
        const int at = line();
        bool configurations = false;
        return children([&](const QString& element) {
                   if (element != QLatin1String("configurations"))
                       return skip();
                   configurations = true;
                   return children([this](const QString& e) {
                       return e == QLatin1String("configuration") ? readConfiguration() : skip();
                   });
               })
            && (configurations || fail(QStringLiteral("<instances> lacks <configurations>"), at));
    }

    bool readConfiguration()
    {
        return children([this](const QString& element) {
            if (element == QLatin1String("globalVars"))
                return readList();
            if (element != QLatin1String("resource"))
                return skip();
            return children([this](const QString& e) {
                if (e == QLatin1String("task"))
                    return readTask();
                if (e == QLatin1String("globalVars"))
                    return readList();
                return skip();
            });
        });
    }

    // Consecutive globalVars of one name are the sections of one list.
    bool readList()
    {
        ListItem item;
        item.line = line();
        item.name = attribute("name");
        if (item.name.isEmpty())
            item.name = QStringLiteral("GVL");
        if (!ac::ACCore::isIdentifier(item.name.toStdString()))
            return fail(QStringLiteral("global variable list name '%1' is no identifier").arg(item.name));
        VarList list;
        std::optional<ObjectData> data;
        if (!readVarList(list, &data))
            return false;
        if (m_document.lists.empty() || m_document.lists.back().name != item.name)
            m_document.lists.push_back(std::move(item));
        ListItem& target = m_document.lists.back();
        target.lists.push_back(std::move(list));
        if (data)
            target.data = data;
        return true;
    }

    bool readTask()
    {
        TaskItem task;
        task.line = line();
        task.name = attribute("name");
        task.interval = attribute("interval");
        task.priority = attribute("priority");
        if (task.name.trimmed().isEmpty() || task.name.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1f]"))))
            return fail(QStringLiteral("a task needs a name of printable characters"));
        const bool ok = children([&](const QString& element) {
            if (element == QLatin1String("pouInstance")) {
                QString type;
                if (!name("typeName", QStringLiteral("pouInstance type"), type))
                    return false;
                task.instanceTypes.push_back(type);
                return skip();
            }
            if (element == QLatin1String("addData"))
                return readData([&] { return readTaskData(task); });
            return skip();
        });
        if (ok)
            m_document.tasks.push_back(std::move(task));
        return ok;
    }

    // <addData><data name=...>: ours is read by `ours`, any other skipped.
    bool readData(const std::function<bool()>& ours)
    {
        return children([&](const QString& element) {
            if (element != QLatin1String("data") || attribute("name") != DataNamespace)
                return skip();
            return children([&](const QString&) {
                return m_reader.namespaceUri() == DataNamespace ? ours() : skip();
            });
        });
    }

    bool readBytes(QByteArray& out)
    {
        const bool base64 = attribute("encoding") == QLatin1String("base64");
        QString content;
        if (!text(content))
            return false;
        out = base64 ? QByteArray::fromBase64(content.toLatin1()) : content.toUtf8();
        return true;
    }

    bool readObjectData(std::optional<ObjectData>& data)
    {
        if (m_reader.name() != QLatin1String("object"))
            return skip();
        data = ObjectData();
        data->path = attribute("path");
        data->tc6 = attribute("tc6");
        return children([&](const QString& element) {
            QByteArray bytes;
            if (element == QLatin1String("graph")) {
                QString base64;
                return text(base64) && (data->graph = QByteArray::fromBase64(base64.toLatin1()), true);
            }
            if (element != QLatin1String("declaration") && element != QLatin1String("logic"))
                return skip();
            if (!readBytes(bytes))
                return false;
            (element == QLatin1String("logic") ? data->logic : data->declaration) = bytes.toStdString();
            return true;
        });
    }

    bool readTaskData(TaskItem& task)
    {
        if (m_reader.name() != QLatin1String("task"))
            return skip();
        task.ours = true;
        task.id = attribute("id");
        task.type = attribute("type");
        task.watchdog = attribute("watchdog");
        task.calls = attribute("calls");
        task.properties = attribute("properties");
        return skip();
    }

    bool readProjectFiles()
    {
        if (m_reader.name() != QLatin1String("files"))
            return skip();
        return children([this](const QString& element) {
            if (element != QLatin1String("file"))
                return skip();
            const QString path = attribute("path");
            QByteArray bytes;
            if (!readBytes(bytes))
                return false;
            m_document.files[path] = bytes;
            return true;
        });
    }

    Document m_document;
};

} // namespace

Result<ProjectText::Files> PlcOpenReader::read(const QByteArray& xml, const QString& fileName, const Limits& limits)
{
    if (xml.size() > limits.maxBytes)
        return Failure{1, QStringLiteral("%1:1: the file has %2 bytes, more than the %3 a project file may have")
                              .arg(fileName).arg(xml.size()).arg(limits.maxBytes), {}};
    Result<Document> document = Parser(xml, fileName, limits).parse();
    if (!document)
        return document.failure();
    return assemble(document.value());
}
