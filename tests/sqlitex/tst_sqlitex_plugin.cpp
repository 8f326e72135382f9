// A host that does not register the driver itself finds "QSQLITEX" as a Qt plug-in on its
// plug-in path (QT_PLUGIN_PATH=<build>/plugins, set by CTest), and never loads Qt's own
// SQLite plug-in, whose libsqlite3 would clash with SQLCipher's symbols.
#include "support/TempDir.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <gtest/gtest.h>

namespace {

const QString Driver = QStringLiteral("QSQLITEX");

bool roundTrip(const QString& file, const QString& password, QSqlError* error, QString* value)
{
    const QString name = QStringLiteral("plugin_%1").arg(password);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(Driver, name);
        db.setDatabaseName(file);
        db.setPassword(password);
        ok = db.open();
        *error = db.lastError();
        if (ok) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS t(a TEXT)")) &&
                 q.exec(QStringLiteral("INSERT INTO t VALUES('Motor_Axis_Name_42')")) &&
                 q.exec(QStringLiteral("SELECT a FROM t")) && q.next();
            *value = ok ? q.value(0).toString() : QString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

TEST(SqlitexPlugin, DriverIsFoundOnThePluginPathAndEncrypts)
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("QT_PLUGIN_PATH")) << "run through CTest";
    testsupport::TempDir dir;
    const QString file = dir.filePath(QStringLiteral("plugin.db"));

    QSqlError error;
    QString value;
    ASSERT_TRUE(roundTrip(file, QStringLiteral("kv rond"), &error, &value)) << error.text().toStdString();
    EXPECT_EQ(value, QStringLiteral("Motor_Axis_Name_42"));
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_FALSE(written.readAll().contains("Motor_Axis_Name_42"));

    EXPECT_FALSE(roundTrip(file, QStringLiteral("wrong"), &error, &value));
    EXPECT_EQ(error.nativeErrorCode(), QStringLiteral("200"));

    QFile maps(QStringLiteral("/proc/self/maps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_TRUE(mapped.contains("libqsqlitexplugin.so"));
    EXPECT_FALSE(mapped.contains("libqsqlite.so"));
    EXPECT_FALSE(mapped.contains("libsqlite3.so"));
}
