// plcproj hw and plcproj diag: the hardware descriptions and the device diagnosis texts of the
// host's application directory, as the device tree and the diagnosis view read them.
#include "Command.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceDiagnosiInfo.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace plcproj {

namespace {

QJsonValue toJson(const QVariant& value)
{
    if (value.userType() != QMetaType::QVariantMap)
        return value.toString();
    QJsonObject object;
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        object.insert(it.key(), toJson(it.value()));
    return object;
}

// A map as indented "key: value" lines, nested maps one level deeper under "key:".
void printMap(const QVariantMap& map, const Output& out, int depth)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value().userType() == QMetaType::QVariantMap) {
            out.line(indent + it.key() + QLatin1Char(':'));
            printMap(it.value().toMap(), out, depth + 1);
        } else {
            out.line(indent + it.key() + QStringLiteral(": ") + it.value().toString());
        }
    }
}

int listDescriptions(const Arguments& args, const Output& out)
{
    const DevDescription* catalogue = DevDescription::instance();
    const QStringList names = args.has("type") ? catalogue->describeList(args.value("type")) : catalogue->names();
    QJsonArray array;
    for (const QString& name : names) {
        const QString typeId = catalogue->devProperty(name + QStringLiteral(".TypeID")).toString();
        array.append(QJsonObject{{"name", name}, {"typeId", typeId}});
        if (!out.json())
            out.line(typeId.isEmpty() ? name : name + QLatin1Char(' ') + typeId);
    }
    if (out.json())
        out.document(array);
    return Ok;
}

int showDescription(const QString& path, const Output& out)
{
    const QVariant value = DevDescription::instance()->devProperty(path);
    if (!value.isValid()) {
        Output::error(QStringLiteral("no description at %1").arg(path));
        return Failure;
    }
    if (out.json())
        out.document(QJsonObject{{"path", path}, {"value", toJson(value)}});
    else if (value.userType() == QMetaType::QVariantMap)
        printMap(value.toMap(), out, 0);
    else
        out.line(value.toString());
    return Ok;
}

QString severityText(qint32 type)
{
    switch (type) {
    case DeviceDiagnosiInfo::Warning: return QStringLiteral("Warning");
    case DeviceDiagnosiInfo::Info: return QStringLiteral("Info");
    default: return QStringLiteral("Error");
    }
}

QString knownClasses(const DeviceDiagnosiInfo& info)
{
    QStringList classes;
    for (quint8 id : info.classIds())
        classes << QStringLiteral("%1 (%2)").arg(info.classType(id)).arg(id);
    return classes.join(QStringLiteral(", "));
}

// CLASS is a class id (0-255) or a class name; 255 when neither names a loaded class.
quint8 resolveClass(const DeviceDiagnosiInfo& info, const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\d{1,3}$"));
    if (number.match(text).hasMatch()) {
        const uint id = text.toUInt();
        return id < 255 && !info.classType(quint8(id)).isEmpty() ? quint8(id) : quint8(255);
    }
    return info.classType(text);
}

} // namespace

int runHw(const Arguments& args, const Output& out)
{
    const QString action = args.positional(0);
    if (action == QLatin1String("list") && args.positional().size() == 1)
        return listDescriptions(args, out);
    if (action == QLatin1String("show") && args.positional().size() == 2 && !args.has("type"))
        return showDescription(args.positional(1), out);
    Output::error(QStringLiteral("usage: plcproj hw (list [--type TYPEID] | show PATH)"));
    return Usage;
}

int runDiag(const Arguments& args, const Output& out)
{
    const QString lang = args.value("lang", QStringLiteral("en_US"));
    bool codeOk = false;
    const uint code = args.positional(1).toUInt(&codeOk);
    if (lang != QLatin1String("zh_CN") && lang != QLatin1String("en_US")) {
        Output::error(QStringLiteral("--lang takes zh_CN or en_US, not '%1'").arg(lang));
        return Usage;
    }
    if (!codeOk || code > 0xFFFF || args.positional().size() != 2) {
        Output::error(QStringLiteral("CODE is a decimal error code from 0 to 65535, not '%1'").arg(args.positional(1)));
        return Usage;
    }
    const DeviceDiagnosiInfo info(lang);
    const quint8 classId = resolveClass(info, args.positional(0));
    if (classId == 255) {
        Output::error(QStringLiteral("unknown device class '%1' (known: %2)").arg(args.positional(0), knownClasses(info)));
        return Failure;
    }
    const DeviceDiagnosiInfo::ErrorInfo error = info.errorInfo(classId, quint16(code));
    const bool listed = info.contains(classId, quint16(code));
    const QString className = info.classType(classId);
    if (out.json()) {
        out.document(QJsonObject{{"class", className}, {"classId", classId}, {"code", int(code)},
                                 {"listed", listed}, {"type", error.type}, {"severity", severityText(error.type)},
                                 {"message", error.message}, {"detail", error.detail}, {"tips", error.resolveTips}});
    } else {
        out.line(QStringLiteral("class: %1 (%2)").arg(className).arg(classId));
        out.line(QStringLiteral("code: %1").arg(code));
        out.line(QStringLiteral("severity: %1").arg(severityText(error.type)));
        out.line(QStringLiteral("message: %1").arg(error.message));
        out.line(QStringLiteral("detail: %1").arg(error.detail));
        out.line(QStringLiteral("tips: %1").arg(error.resolveTips));
    }
    if (!listed) {
        Output::error(QStringLiteral("code %1 is not listed for device class %2 (%3)").arg(code).arg(className).arg(classId));
        return Failure;
    }
    return Ok;
}

} // namespace plcproj
