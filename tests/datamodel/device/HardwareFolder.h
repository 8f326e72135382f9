#pragma once

#include "support/TempDir.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace testsupport {

// An application directory of its own for one test: hardware/ with description files written
// by the test, or a copy of the project's sample hardware/ folder.
class HardwareFolder
{
public:
    QString path() const { return m_temp.path(); }
    QString hardware(const QString& relative = QString()) const;
    QString cache() const { return hardware("DeviceDescribe.bin"); }

    // Writes hardware/<relative> (folders made as needed); false on failure.
    bool write(const QString& relative, const QByteArray& text) const;
    bool setModified(const QString& relative, const QDateTime& time) const;
    // Copies the project's hardware/ folder (from DATAMODEL_SOURCE_DIR).
    bool copySamples() const;

private:
    TempDir m_temp;
};

// The log lines of the default host that contain `text`.
int loggedLines(const std::string& text);

} // namespace testsupport
