#include "datamodel/device/CmdDescription.h"

#include "datamodel/device/LimitedRead_p.h"
#include "datamodel/model/HostServices.h"

namespace {

CmdDescription* theCatalogue = nullptr;
// An instruction table lists a few hundred instructions: far below this.
constexpr qint64 MaxTableSize = 8 * 1024 * 1024;

} // namespace

class CmdDescriptionPrivate
{
public:
    QMap<QString, QStringList> instructions;
};

CmdDescription* CmdDescription::instance()
{
    if (!theCatalogue) {
        theCatalogue = new CmdDescription; // owned by the process until close()
        theCatalogue->readFile();
    }
    return theCatalogue;
}

void CmdDescription::close()
{
    delete theCatalogue;
    theCatalogue = nullptr;
}

CmdDescription::CmdDescription() : d(std::make_unique<CmdDescriptionPrivate>()) {}

CmdDescription::~CmdDescription() = default;

void CmdDescription::cmdDescribe(QMap<QString, QStringList>& map) const
{
    map = d->instructions;
}

bool CmdDescription::readFile(const QString& path)
{
    d->instructions.clear();
    QByteArray data;
    QString error;
    if (!readLimited(path, MaxTableSize, &data, &error)) {
        HostServices::log("CmdDescription", HostServices::LogError,
                          QStringLiteral("instruction table %1 not read: %2").arg(path, error).toStdString());
        return false;
    }
    QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line end of the last row
    if (lines.size() < 2)
        return true;
    for (int i = 1; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (fields.size() < 5 || fields.at(0).isEmpty() || fields.at(1).isEmpty())
            continue;
        d->instructions.insert(fields.at(1), fields);
    }
    return true;
}
