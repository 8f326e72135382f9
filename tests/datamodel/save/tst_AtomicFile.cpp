// A file written through AtomicFile holds its old content or the whole new one: never a
// truncated file under its name, never a temporary file left behind.
#include "datamodel/model/AtomicFile_p.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Only the target remains in the folder: no temporary file.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Writes past `maxBytes` fail (EFBIG) while it lives, as on a full disk; also for root.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t maxBytes)
    {
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const struct rlimit limit = {maxBytes, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }

private:
    struct rlimit m_old = {};
    void (*m_oldHandler)(int) = nullptr;
};

TEST(AtomicFile, writesWholeFilesAndReplacesThemKeepingTheirPermissions)
{
    testsupport::TempDir temp;
    const QString target = temp.filePath("project.mem");
    QString error;
    ASSERT_TRUE(AtomicFile::writeFile(target, "first", &error)) << error.toStdString();
    EXPECT_EQ(read(target), "first");
    ASSERT_TRUE(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    AtomicFile file(target);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("second, "));
    ASSERT_TRUE(file.write(QByteArray("longer")));
    ASSERT_TRUE(file.flush());
    EXPECT_EQ(read(file.temporaryPath()), "second, longer");
    EXPECT_EQ(read(target), "first") << "nothing reaches the name before the commit";
    ASSERT_TRUE(file.commit()) << file.errorString().toStdString();
    EXPECT_TRUE(file.isCommitted());
    EXPECT_EQ(read(target), "second, longer");
    const QFileDevice::Permissions modeBits = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                              | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(target) & modeBits, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(entriesOf(temp.path()), QStringList({"project.mem"}));
}

TEST(AtomicFile, aFailedOrAbandonedWriteLeavesTheOldContentAndNoTemporaryFile)
{
    testsupport::TempDir temp;
    const QString target = temp.filePath("export.csv");
    QString error;
    ASSERT_TRUE(AtomicFile::writeFile(target, "old content", &error));

    {
        AtomicFile abandoned(target);
        ASSERT_TRUE(abandoned.open());
        ASSERT_TRUE(abandoned.write("half of the new"));
    }
    EXPECT_EQ(read(target), "old content");
    EXPECT_EQ(entriesOf(temp.path()), QStringList({"export.csv"}));

    {
        const FileSizeLimit full(4096);
        EXPECT_FALSE(AtomicFile::writeFile(target, QByteArray(64 * 1024, 'x'), &error));
    }
    EXPECT_TRUE(error.contains(target)) << error.toStdString();
    EXPECT_EQ(read(target), "old content");
    EXPECT_EQ(entriesOf(temp.path()), QStringList({"export.csv"}));

    QDir().mkpath(temp.filePath("folder"));
    EXPECT_FALSE(AtomicFile::writeFile(temp.filePath("folder"), "x", &error));
    EXPECT_TRUE(error.contains("folder")) << error.toStdString();
    EXPECT_FALSE(AtomicFile::writeFile(temp.filePath("missing/file.txt"), "x", &error));
    EXPECT_TRUE(error.contains(temp.filePath("missing/file.txt"))) << error.toStdString();
}

} // namespace
