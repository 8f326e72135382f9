#include "support/TempDir.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

#include <cstdio>

namespace testsupport {

TempDir::TempDir()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QString stem = info ? QString::fromUtf8(info->test_suite_name()) + "_" + QString::fromUtf8(info->name())
                        : QStringLiteral("test");
    stem.replace('/', '_');
    m_path = QDir::tempPath() + "/dmtest_" + stem + "_" + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(m_path);
}

TempDir::~TempDir()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info && info->result() && info->result()->Failed()) {
        std::fprintf(stderr, "test failed: files kept in %s\n", qPrintable(m_path));
        return;
    }
    QDir(m_path).removeRecursively();
}

QString TempDir::filePath(const QString& name) const
{
    return m_path + "/" + name;
}

std::string TempDir::file(const std::string& name) const
{
    return filePath(QString::fromStdString(name)).toStdString();
}

} // namespace testsupport
