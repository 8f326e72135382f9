#include "datamodel/device/DeviceDiagnosiInfo.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DjsonReader_p.h"
#include "datamodel/model/HostServices.h"

#include <QDir>
#include <QMap>

namespace {

void log(int type, const QString& text)
{
    HostServices::log("DeviceDiagnosiInfo", type, text.toStdString());
}

struct DeviceClass
{
    quint8 id = 0;
    QString name;
    QMap<quint16, DeviceDiagnosiInfo::ErrorInfo> errors;
};

QString languageText(const QVariant& texts, const QString& lang)
{
    return texts.toMap().value(lang).toString();
}

// One class description: "Name", "TypeId" and "ErrorCodes" (code -> "Type", and per-language
// "Message", "Detail", "ResolveTips"). False, with a log line, when its id is no class id.
bool readClass(const QString& source, const QVariantMap& description, const QString& lang, DeviceClass* entry)
{
    static const QStringList severities = QStringLiteral("Error,Warning,Info").split(QLatin1Char(','));
    bool ok = false;
    const uint id = description.value(QStringLiteral("TypeId")).toString().toUInt(&ok);
    if (!ok || id > 255) {
        log(HostServices::LogError, QStringLiteral("diagnosis class %1: \"%2\" is no class id")
                                        .arg(source, description.value(QStringLiteral("TypeId")).toString()));
        return false;
    }
    entry->id = quint8(id);
    entry->name = description.value(QStringLiteral("Name")).toString();
    const QVariantMap codes = description.value(QStringLiteral("ErrorCodes")).toMap();
    for (auto it = codes.cbegin(); it != codes.cend(); ++it) {
        const uint code = it.key().toUInt(&ok);
        if (!ok || code > 0xFFFF) {
            log(HostServices::LogError, QStringLiteral("diagnosis class %1: \"%2\" is no error code").arg(source, it.key()));
            continue;
        }
        const QVariantMap fields = it.value().toMap();
        DeviceDiagnosiInfo::ErrorInfo info;
        info.code = quint16(code);
        info.type = qMax(0, severities.indexOf(fields.value(QStringLiteral("Type")).toString()));
        info.message = languageText(fields.value(QStringLiteral("Message")), lang);
        info.detail = languageText(fields.value(QStringLiteral("Detail")), lang);
        info.resolveTips = languageText(fields.value(QStringLiteral("ResolveTips")), lang);
        entry->errors.insert(info.code, info);
    }
    return true;
}

} // namespace

class DeviceDiagnosiInfoPrivate
{
public:
    QMap<quint8, DeviceClass> classes;

    // A class replaces the one of the same id.
    bool add(const QString& source, const QVariantMap& description, const QString& lang)
    {
        DeviceClass entry;
        if (!readClass(source, description, lang, &entry))
            return false;
        classes.insert(entry.id, entry);
        return true;
    }
};

const QStringList& DeviceDiagnosiInfo::classNames()
{
    static const QStringList names = {QStringLiteral("Axis"),     QStringLiteral("CPU"),
                                      QStringLiteral(" ModbusTcp"), QStringLiteral("Localbus"),
                                      QStringLiteral("LocalbusModule"), QStringLiteral("Modbus"),
                                      QStringLiteral("NNStation")};
    return names;
}

DeviceDiagnosiInfo::DeviceDiagnosiInfo(const QString& lang, QObject* parent)
    : QObject(parent), d(std::make_unique<DeviceDiagnosiInfoPrivate>())
{
    reloadErrorInfoFromBin(lang);
}

DeviceDiagnosiInfo::~DeviceDiagnosiInfo() = default;

void DeviceDiagnosiInfo::changLang(const QString& lang)
{
    d->classes.clear();
    reloadErrorInfo(lang);
}

void DeviceDiagnosiInfo::reloadErrorInfoFromBin(const QString& lang)
{
    const DevDescription* catalogue = DevDescription::instance();
    for (const QString& name : classNames()) {
        const QVariantMap description = catalogue->devDescribe(name);
        if (!description.isEmpty())
            d->add(QStringLiteral("'%1'").arg(name), description, lang);
    }
}

void DeviceDiagnosiInfo::reloadErrorInfo(const QString& lang)
{
    const QString root = HostServices::path(QStringLiteral("Root"));
    if (root.isEmpty())
        return;
    const QString dir = root + QStringLiteral("/hardware/Diagnosis");
    const QStringList files =
        QDir(dir).entryList({QStringLiteral("*.djson")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files)
        loadFile(dir + QLatin1Char('/') + file, lang);
}

bool DeviceDiagnosiInfo::loadFile(const QString& path, const QString& lang)
{
    QVariantMap members;
    DjsonDiagnostic diagnostic;
    const bool parsed = DjsonReader::readFile(path, &members, &diagnostic);
    if (!parsed) {
        // As in the description catalogue, a class completed before the break still counts.
        log(HostServices::LogError, QStringLiteral("diagnosis file %1 skipped: %2 (%3 members read before)")
                                        .arg(path, diagnostic.toString())
                                        .arg(members.size()));
    } else if (members.isEmpty()) {
        log(HostServices::LogError, QStringLiteral("diagnosis file %1 holds no class").arg(path));
    }
    if (members.isEmpty())
        return false;
    return d->add(path, members.cbegin().value().toMap(), lang) && parsed;
}

DeviceDiagnosiInfo::ErrorInfo DeviceDiagnosiInfo::errorInfo(quint8 classId, quint16 code) const
{
    ErrorInfo info = d->classes.value(classId).errors.value(code);
    if (info.message.isEmpty())
        info.message = tr("Unkown Erroe Code:%1 Of Device Class:%2").arg(code).arg(classType(classId));
    return info;
}

bool DeviceDiagnosiInfo::contains(quint8 classId, quint16 code) const
{
    const auto it = d->classes.constFind(classId);
    return it != d->classes.cend() && it->errors.contains(code);
}

QString DeviceDiagnosiInfo::classType(quint8 classId) const
{
    return d->classes.value(classId).name;
}

quint8 DeviceDiagnosiInfo::classType(const QString& name) const
{
    for (const DeviceClass& entry : d->classes)
        if (entry.name == name)
            return entry.id;
    return 255;
}

QList<quint8> DeviceDiagnosiInfo::classIds() const
{
    return d->classes.keys();
}
