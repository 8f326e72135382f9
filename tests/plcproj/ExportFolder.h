#pragma once

// Export folders read whole, to compare what plcproj export and import wrote.
#include "ToolRun.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <map>

using Files = std::map<QString, QByteArray>;

// Every file below `dir`, hidden ones too, by its path relative to `dir`.
inline Files readFolder(const QString& dir)
{
    Files files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        files[QDir(dir).relativeFilePath(path)] = file.readAll();
    }
    return files;
}

inline void expectOk(const ToolRun& run, const char* what)
{
    EXPECT_EQ(run.code, 0) << what << ": " << run.err.toStdString();
}
