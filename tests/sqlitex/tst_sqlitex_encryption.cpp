// What the encryption promises: files hold no plaintext, SQLCipher's own shell reads them,
// a wrong key is told apart from files that are not encrypted, read-only connections do not
// write, and a password change either happens completely or not at all.
#include "ScopedConnection.h"

#include "sqlitex/QSqlitexDriver.h"
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

const QString Password = QStringLiteral("kv rond");
const QString WrongKey = QString::number(QSqlitexDriver::WrongKeyError);

struct ShellRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Debian's sqlcipher shell, reading its commands from stdin.
ShellRun sqlcipherShell(const QString& file, const QString& commands)
{
    QProcess shell;
    shell.start(QStringLiteral("/usr/bin/sqlcipher"), {QStringLiteral("-batch"), file});
    shell.write(commands.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(30000);
    return {shell.exitCode(), QString::fromUtf8(shell.readAllStandardOutput()),
            QString::fromUtf8(shell.readAllStandardError())};
}

void writeSample(const QString& file, const QString& password)
{
    ScopedConnection c(file, password);
    ASSERT_TRUE(c.open()) << c.db().lastError().text().toStdString();
    ASSERT_TRUE(c.exec(QStringLiteral("CREATE TABLE Axis(Id INTEGER PRIMARY KEY, Name TEXT)")));
    ASSERT_TRUE(c.exec(QStringLiteral("INSERT INTO Axis(Name) VALUES('Motor_Axis_Name_42')")));
}

QString integrityOf(const QString& file, const QString& password)
{
    ScopedConnection c(file, password, QLatin1String(QSqlitexDriver::ReadOnlyOption));
    if (!c.open())
        return c.db().lastError().text();
    return c.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
}

} // namespace

TEST(SqlitexEncryption, WrittenFileHoldsNoPlaintextAndSqlcipherReadsIt)
{
    testsupport::TempDir dir;
    const QString encrypted = dir.filePath(QStringLiteral("enc.db"));
    const QString plain = dir.filePath(QStringLiteral("plain.db"));
    writeSample(encrypted, Password);
    writeSample(plain, QString()); // the same data without a key shows what the check would find
    {
        ScopedConnection c(encrypted, Password); // a library project is vacuumed when it is opened
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(c.exec(QStringLiteral("VACUUM")));
    }

    const QByteArray bytes = fileBytes(encrypted);
    ASSERT_GE(bytes.size(), 1024);
    EXPECT_FALSE(bytes.startsWith(QByteArray("SQLite format 3", 16)));
    EXPECT_FALSE(bytes.contains("Motor_Axis_Name_42"));
    EXPECT_TRUE(fileBytes(plain).startsWith(QByteArray("SQLite format 3", 16)));
    EXPECT_TRUE(fileBytes(plain).contains("Motor_Axis_Name_42"));

    const ShellRun right = sqlcipherShell(encrypted, QStringLiteral("PRAGMA key='kv rond';\nSELECT Name FROM Axis;\n"));
    EXPECT_EQ(right.exitCode, 0) << right.err.toStdString();
    EXPECT_EQ(right.out.trimmed(), QStringLiteral("Motor_Axis_Name_42"));

    const ShellRun wrong = sqlcipherShell(encrypted, QStringLiteral("PRAGMA key='kv ronD';\nSELECT Name FROM Axis;\n"));
    EXPECT_NE(wrong.exitCode, 0);
    EXPECT_FALSE(wrong.out.contains(QStringLiteral("Motor_Axis_Name_42")));
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("not a database"))) << wrong.err.toStdString();
}

TEST(SqlitexEncryption, WrongKeyFailsTheOpenWithCode200)
{
    testsupport::TempDir dir;
    const QString file = dir.filePath(QStringLiteral("enc.db"));
    writeSample(file, Password);

    for (const QString& key : {QStringLiteral("kv ronD"), QString()}) {
        ScopedConnection c(file, key);
        EXPECT_FALSE(c.open());
        EXPECT_FALSE(c.db().isOpen());
        const QSqlError error = c.db().lastError();
        EXPECT_EQ(error.nativeErrorCode(), WrongKey) << error.text().toStdString();
        EXPECT_EQ(error.type(), QSqlError::ConnectionError);
        EXPECT_TRUE(error.driverText().contains(file)) << error.driverText().toStdString();
        EXPECT_FALSE(error.databaseText().isEmpty());
    }
    // A failed open changes nothing: the right key still reads the row.
    ScopedConnection c(file, Password);
    ASSERT_TRUE(c.open());
    EXPECT_EQ(c.scalar(QStringLiteral("SELECT Name FROM Axis")).toString(), QStringLiteral("Motor_Axis_Name_42"));
}

TEST(SqlitexEncryption, FilesThatAreNotEncryptedAreNotCalledAWrongKey)
{
    testsupport::TempDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.db"));
    const ShellRun made = sqlcipherShell(plain, QStringLiteral("CREATE TABLE t(a);\nINSERT INTO t VALUES('x');\n"));
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("just some notes, not a database\n");
    }

    struct Case
    {
        QString file;
        QString reason;
    };
    for (const Case& row : {Case{plain, QStringLiteral("plain SQLite")}, Case{text, QStringLiteral("not an encrypted")}}) {
        ScopedConnection c(row.file, Password);
        EXPECT_FALSE(c.open());
        const QSqlError error = c.db().lastError();
        EXPECT_EQ(error.nativeErrorCode(), QStringLiteral("26")) << error.text().toStdString();
        EXPECT_TRUE(error.driverText().contains(row.reason)) << error.driverText().toStdString();
    }
    // Without a password the plain file is an ordinary SQLite database.
    ScopedConnection c(plain, QString());
    ASSERT_TRUE(c.open()) << c.db().lastError().text().toStdString();
    EXPECT_EQ(c.scalar(QStringLiteral("SELECT a FROM t")).toString(), QStringLiteral("x"));
}

TEST(SqlitexEncryption, ReadOnlyConnectionRefusesEveryWrite)
{
    testsupport::TempDir dir;
    const QString file = dir.filePath(QStringLiteral("enc.db"));
    writeSample(file, Password);
    {
        ScopedConnection c(file, Password, QStringLiteral(" QSQLITE_BUSY_TIMEOUT = 100 ;QSQLITE_OPEN_READONLY"));
        ASSERT_TRUE(c.open()) << c.db().lastError().text().toStdString();
        EXPECT_EQ(c.scalar(QStringLiteral("SELECT count(*) FROM Axis")).toInt(), 1);
        for (const QString& write : {QStringLiteral("INSERT INTO Axis(Name) VALUES('y')"),
                                     QStringLiteral("UPDATE Axis SET Name = 'z'"), QStringLiteral("DELETE FROM Axis"),
                                     QStringLiteral("CREATE TABLE More(a)")}) {
            QSqlQuery query(c.db());
            EXPECT_FALSE(query.exec(write)) << write.toStdString();
            EXPECT_EQ(query.lastError().nativeErrorCode(), QStringLiteral("8")) << query.lastError().text().toStdString();
            EXPECT_EQ(query.lastError().type(), QSqlError::StatementError);
        }
    }
    ScopedConnection c(file, Password);
    ASSERT_TRUE(c.open());
    EXPECT_EQ(c.scalar(QStringLiteral("SELECT group_concat(Name) FROM Axis")).toString(),
              QStringLiteral("Motor_Axis_Name_42"));

    // Read-only never creates a file.
    const QString missing = dir.filePath(QStringLiteral("missing.db"));
    ScopedConnection none(missing, Password, QLatin1String(QSqlitexDriver::ReadOnlyOption));
    EXPECT_FALSE(none.open());
    EXPECT_EQ(none.db().lastError().nativeErrorCode(), QStringLiteral("14"));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST(SqlitexEncryption, RekeyLetsOnlyTheNewPasswordOpenTheFile)
{
    testsupport::TempDir dir;
    const QString file = dir.filePath(QStringLiteral("enc.db"));
    const QString quoted = QString::fromUtf8(testsupport::awkward::quote);
    const QString chinese = QString::fromUtf8(testsupport::awkward::chinese);
    writeSample(file, quoted); // a quote in setPassword needs no escaping

    struct Step
    {
        QString from;
        QString to;
    };
    for (const Step& step : {Step{quoted, chinese}, Step{chinese, QStringLiteral("new")}, Step{QStringLiteral("new"), quoted}}) {
        {
            ScopedConnection c(file, step.from);
            ASSERT_TRUE(c.open()) << c.db().lastError().text().toStdString();
            QString literal = step.to;
            literal.replace(QLatin1Char('\''), QLatin1String("''"));
            ASSERT_TRUE(c.exec(QStringLiteral("pragma rekey = '%1'").arg(literal)));
            // The connection goes on with the new key, reading and writing.
            EXPECT_TRUE(c.exec(QStringLiteral("INSERT INTO Axis(Name) VALUES('after rekey')")));
        }
        ScopedConnection old(file, step.from);
        EXPECT_FALSE(old.open());
        EXPECT_EQ(old.db().lastError().nativeErrorCode(), WrongKey);
        EXPECT_EQ(integrityOf(file, step.to), QStringLiteral("ok"));
    }
    ScopedConnection c(file, quoted);
    ASSERT_TRUE(c.open());
    EXPECT_EQ(c.scalar(QStringLiteral("SELECT count(*) FROM Axis")).toInt(), 4);
}

// SQLCipher's pragma reports success when it could not re-encrypt the file; when the write
// lock was missing it even goes on writing pages with the new key into the old file.
TEST(SqlitexEncryption, FailedRekeyIsReportedAndLeavesTheFileIntact)
{
    testsupport::TempDir dir;
    const QString file = dir.filePath(QStringLiteral("enc.db"));
    writeSample(file, Password);
    const QString rekey = QStringLiteral("PRAGMA rekey = 'other'");

    const auto refused = [&](ScopedConnection& c, const QString& code) {
        QSqlQuery query(c.db());
        EXPECT_FALSE(query.exec(rekey));
        EXPECT_EQ(query.lastError().nativeErrorCode(), code) << query.lastError().text().toStdString();
        EXPECT_TRUE(query.lastError().driverText().contains(c.db().databaseName()));
    };
    {
        ScopedConnection readOnly(file, Password, QLatin1String(QSqlitexDriver::ReadOnlyOption));
        ASSERT_TRUE(readOnly.open());
        refused(readOnly, QStringLiteral("8"));
    }
    {
        ScopedConnection c(file, Password);
        ASSERT_TRUE(c.open());
        ASSERT_TRUE(c.db().transaction());
        refused(c, QStringLiteral("21"));
        ASSERT_TRUE(c.db().rollback());
        QSqlQuery empty(c.db());
        EXPECT_FALSE(empty.exec(QStringLiteral("PRAGMA rekey = ''")));
    }
    {
        // Another connection holds the write lock, then only a read lock: both times the
        // password cannot change, and what this connection writes afterwards must still be
        // readable with the old password.
        ScopedConnection c(file, Password, QStringLiteral("QSQLITE_BUSY_TIMEOUT=50"));
        ScopedConnection other(file, Password);
        ASSERT_TRUE(c.open()) << c.db().lastError().text().toStdString();
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
        refused(c, QStringLiteral("5"));
        ASSERT_TRUE(other.exec(QStringLiteral("COMMIT")));
        {
            QSqlQuery reader(other.db());
            reader.setForwardOnly(true);
            ASSERT_TRUE(reader.exec(QStringLiteral("SELECT Name FROM Axis")));
            ASSERT_TRUE(reader.next()); // holds a read lock while it stands on a row
            QSqlQuery query(c.db());
            EXPECT_FALSE(query.exec(rekey));
        }
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(c.exec(QStringLiteral("INSERT INTO Axis(Name) VALUES(hex(randomblob(300)))")));
    }
    {
        ScopedConnection plain(dir.filePath(QStringLiteral("plain.db")), QString());
        ASSERT_TRUE(plain.open());
        ASSERT_TRUE(plain.exec(QStringLiteral("CREATE TABLE t(a)")));
        refused(plain, QStringLiteral("21"));
    }
    EXPECT_EQ(integrityOf(file, Password), QStringLiteral("ok"));
    ScopedConnection c(file, Password);
    ASSERT_TRUE(c.open());
    EXPECT_EQ(c.scalar(QStringLiteral("SELECT count(*) FROM Axis")).toInt(), 201);
}
