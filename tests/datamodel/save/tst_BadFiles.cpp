// Files that are no sound project: each is refused with the file and the true cause named,
// stays as it was, and never crashes or hangs the open.
#include "ModelTestSupport.h"
#include "SaveTrials.h"

#include "datamodel/model/DatabaseScript_p.h"
#include "datamodel/model/ProjectLock.h"
#include "datamodel/project/PlcProjectModel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>

#include <cstdio>
#include <unistd.h>

namespace {

using testsupport::ModelTest;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
                                          : QByteArray("unreadable");
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

class BadFiles : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        QDir().mkpath(temp.filePath("base"));
        base = QString::fromStdString(savetrials::makeProject(temp.filePath("base"), "Bad", 40, 6, 6));
        ASSERT_FALSE(base.isEmpty());
        QFile file(base);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        sound = file.readAll();
    }

    // A folder of its own holding `bytes` as "Bad.nvp"; the file's path.
    QString badFile(const QString& name, const QByteArray& bytes)
    {
        const QString folder = temp.filePath(name);
        QDir().mkpath(folder);
        const QString file = folder + "/Bad.nvp";
        EXPECT_TRUE(writeBytes(file, bytes));
        return file;
    }

    // Opens `file` as a host opens it for editing and as `plcproj` explains a refusal: both
    // must fail, name the file, and name `cause`; the file must be as it was.
    void expectRefused(const QString& file, const QString& cause, const QString& password = AbstractPlcProjectModel::DefaultPassword)
    {
        SCOPED_TRACE(file.toStdString());
        const QByteArray before = contentOf(file);
        {
            PlcProjectModel project("Bad", QFileInfo(file).path().toStdString(), file.toStdString());
            EXPECT_FALSE(project.open("Bad", file.toStdString(), password.toStdString(), true));
            EXPECT_TRUE(project.lastError().contains(file)) << project.lastError().toStdString();
            EXPECT_TRUE(project.lastError().contains(cause, Qt::CaseInsensitive))
                << "cause '" << cause.toStdString() << "' in: " << project.lastError().toStdString();
            // Nothing is saved over a file that did not load.
            EXPECT_FALSE(project.save());
        }
        const QString why = AbstractPlcProjectModel::whyNotAProject(file.toStdString(), password);
        EXPECT_TRUE(why.contains(file)) << why.toStdString();
        EXPECT_TRUE(why.contains(cause, Qt::CaseInsensitive))
            << "cause '" << cause.toStdString() << "' in: " << why.toStdString();
        EXPECT_EQ(contentOf(file), before) << "the file is unchanged";
        std::printf("  %s -> %s\n", qPrintable(QFileInfo(file).dir().dirName()), qPrintable(why));
        ++tried;
    }

    QString base;
    QByteArray sound;
    static int tried;
};

int BadFiles::tried = 0;

TEST_F(BadFiles, eachKindOfBadFileIsRefusedWithItsTrueCause)
{
    expectRefused(badFile("empty", {}), "empty");
    expectRefused(badFile("text", QByteArray("PROGRAM Main\nVAR x : INT; END_VAR\nEND_PROGRAM\n").repeated(40)),
                  "not a");
    const QString folderAsFile = temp.filePath("folder/Bad.nvp");
    QDir().mkpath(folderAsFile);
    expectRefused(folderAsFile, "folder");
    expectRefused(badFile("password", sound), "wrong password", QStringLiteral("not the key"));

    // A plain SQLite database, as another program would leave it.
    const QString plain = temp.filePath("plain");
    QDir().mkpath(plain);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITEX"), QStringLiteral("plain"));
        db.setDatabaseName(plain + "/Bad.nvp");
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE ProjectInfo (Name TEXT)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("plain"));
    expectRefused(plain + "/Bad.nvp", "plain");

    // Cut short and damaged in the middle: never "wrong password", never halfway loaded.
    expectRefused(badFile("truncated", sound.left(sound.size() / 2)), "damaged");
    QByteArray flipped = sound;
    for (int at = sound.size() / 2; at < sound.size() / 2 + 64; ++at)
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5a);
    expectRefused(badFile("flipped", flipped), "damaged");
    std::printf("bad files tried: %d\n", tried);
}

// A damaged page anywhere after the first: the project is refused, naming the damage, or - where
// the page belongs to a table that no sub-model reads - opens with every object. Never fewer.
TEST_F(BadFiles, aDamagedPageAnywhereIsNeverLoadedHalfway)
{
    int all = 0;
    {
        auto project = savetrials::openForEditing(QFileInfo(base).path(), base.toStdString(), "Bad");
        ASSERT_TRUE(project);
        all = savetrials::objects(*project);
    }
    const int pageSize = 1024;
    const int pages = sound.size() / pageSize;
    int refused = 0, whole = 0;
    QStringList unread;
    for (int page = 1; page < pages; page += std::max(1, pages / 16)) {
        QByteArray damaged = sound;
        damaged[page * pageSize + pageSize / 2] = static_cast<char>(damaged[page * pageSize + pageSize / 2] ^ 0x01);
        const QString file = badFile(QStringLiteral("page%1").arg(page), damaged);
        SCOPED_TRACE("page " + std::to_string(page + 1));
        auto project = savetrials::openForEditing(QFileInfo(file).path(), file.toStdString(), "Bad");
        if (!project) {
            ++refused;
            const QString why = AbstractPlcProjectModel::whyNotAProject(file.toStdString(),
                                                                        AbstractPlcProjectModel::DefaultPassword);
            EXPECT_TRUE(why.contains("damaged")) << why.toStdString();
            EXPECT_FALSE(why.contains("password")) << why.toStdString();
            continue;
        }
        ++whole;
        EXPECT_EQ(savetrials::objects(*project), all) << "never fewer objects";
        QString error;
        savetrials::tableDigests(file.toStdString(), &error);
        unread << error.section(':', 0, 0);
    }
    std::printf("damaged pages tried: %d; refused %d, opened with every object %d (damage in tables no "
                "sub-model reads: %s)\n",
                refused + whole, refused, whole, qPrintable(unread.join(',')));
}

TEST_F(BadFiles, filesAndFoldersTheUserMayNotUse)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: permission bits do not stop root from reading or writing";
    const QString unreadable = badFile("unreadable", sound);
    QFile(unreadable).setPermissions(QFileDevice::WriteOwner);
    expectRefused(unreadable, "permission");
    QFile(unreadable).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const QString readOnlyFolder = badFile("readonly", sound);
    const QString folder = QFileInfo(readOnlyFolder).path();
    QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QString error;
    EXPECT_FALSE(ProjectLock::acquire(folder, &error));
    EXPECT_TRUE(error.contains("not writable")) << error.toStdString();
    EXPECT_FALSE(error.contains("held")) << error.toStdString();
    QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(BadFiles, anInterruptedSaveIsRecoveredByAWritableOpenAndNamedByAReadOnlyOne)
{
    // What a killed save leaves: a copy of the file and its journal taken while a large
    // transaction has spilled pages into the file.
    const QString source = badFile("writer", sound);
    const QString file = badFile("journal", {});
    QString error;
    const auto before = savetrials::tableDigests(source.toStdString(), &error);
    ASSERT_FALSE(before.isEmpty()) << error.toStdString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITEX"), QStringLiteral("writer"));
        db.setDatabaseName(source);
        db.setPassword(AbstractPlcProjectModel::DefaultPassword);
        db.driver()->setProperty("trustedTriggers", QVariant(DatabaseScript::triggerStatements()));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA cache_size = 8")));
        ASSERT_TRUE(query.exec(QStringLiteral("BEGIN")));
        ASSERT_TRUE(query.exec(QStringLiteral("UPDATE POU SET Name = Name || '_interrupted'")));
        ASSERT_TRUE(query.exec(QStringLiteral("CREATE TABLE Filler (x BLOB)")));
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO Filler VALUES (randomblob(2000))")));
        ASSERT_TRUE(AbstractPlcProjectModel::hasHotJournal(source.toStdString())) << "the transaction spilled";
        QFile::remove(file);
        ASSERT_TRUE(QFile::copy(source, file));
        ASSERT_TRUE(QFile::copy(source + "-journal", file + "-journal"));
        query.exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    ASSERT_TRUE(AbstractPlcProjectModel::hasHotJournal(file.toStdString()));

    {
        PlcProjectModel readOnly("Bad", QFileInfo(file).path().toStdString(), file.toStdString());
        EXPECT_FALSE(readOnly.open("Bad", file.toStdString(), AbstractPlcProjectModel::DefaultPassword.toStdString(), false));
        EXPECT_TRUE(readOnly.lastError().contains("needs recovery")) << readOnly.lastError().toStdString();
        EXPECT_TRUE(readOnly.lastError().contains("for writing")) << "says how: " << readOnly.lastError().toStdString();
        EXPECT_FALSE(readOnly.lastError().contains("not a project")) << readOnly.lastError().toStdString();
    }
    EXPECT_TRUE(AbstractPlcProjectModel::hasHotJournal(file.toStdString())) << "a read-only open changes nothing";

    EXPECT_TRUE(AbstractPlcProjectModel::recoverInterruptedSave(file.toStdString(),
                                                                AbstractPlcProjectModel::DefaultPassword, &error))
        << error.toStdString();
    EXPECT_FALSE(AbstractPlcProjectModel::hasHotJournal(file.toStdString()));
    EXPECT_TRUE(logged("recovered " + file.toStdString()));
    EXPECT_EQ(savetrials::tableDigests(file.toStdString(), &error), before) << error.toStdString();
    EXPECT_TRUE(savetrials::openForEditing(QFileInfo(file).path(), file.toStdString(), "Bad"));
}

} // namespace
