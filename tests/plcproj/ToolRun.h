#pragma once

// The command-line tool run as a real process, as people and scripts run it.
#include <QProcess>
#include <QString>
#include <QStringList>

struct ToolRun
{
    int code = -1;
    QString out;
    QString err;
};

inline ToolRun plcproj(const QStringList& args)
{
    QProcess process;
    process.start(QString::fromUtf8(qgetenv("DATAMODEL_BINARY_DIR")) + "/bin/plcproj", args);
    process.waitForFinished(120000);
    return ToolRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
               QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

inline QStringList lines(const QString& text)
{
    return text.split('\n', Qt::SkipEmptyParts);
}
