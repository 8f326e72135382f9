#include "HardwareFolder.h"

#include "ModelTestSupport.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace testsupport {

QString HardwareFolder::hardware(const QString& relative) const
{
    return m_temp.path() + "/hardware" + (relative.isEmpty() ? QString() : "/" + relative);
}

bool HardwareFolder::write(const QString& relative, const QByteArray& text) const
{
    const QString file = hardware(relative);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(text) == text.size();
}

bool HardwareFolder::setModified(const QString& relative, const QDateTime& time) const
{
    QFile file(hardware(relative));
    return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

bool HardwareFolder::copySamples() const
{
    const QString source = QString::fromUtf8(qgetenv("DATAMODEL_SOURCE_DIR")) + "/hardware";
    if (!QFileInfo(source).isDir())
        return false;
    QDirIterator it(source, {"*.djson"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = hardware(QDir(source).relativeFilePath(file));
        QDir().mkpath(QFileInfo(target).path());
        if (!QFile::copy(file, target))
            return false;
    }
    return true;
}

int loggedLines(const std::string& text)
{
    return int(defaultHost().logs()->find(text).size());
}

} // namespace testsupport
