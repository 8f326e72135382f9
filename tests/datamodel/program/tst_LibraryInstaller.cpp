// Installing a library file below a project as one step: the copy stays under a temporary
// name until commit, a replaced file is kept aside until finish, and a rollback at any point
// leaves the folder as it was, the folders that were made included.
#include "datamodel/program/LibraryInstaller_p.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int FileError = 4;

class LibraryInstallerTest : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = temp.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // Every entry below `dir`, relative, sorted.
    QStringList entries(const QString& dir) const
    {
        QStringList out;
        const QDir root(dir);
        std::function<void(const QString&)> walk = [&](const QString& path) {
            for (const QFileInfo& info : QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                                                  QDir::Name)) {
                out << root.relativeFilePath(info.filePath());
                if (info.isDir())
                    walk(info.filePath());
            }
        };
        walk(dir);
        return out;
    }

    testsupport::TempDir temp;
};

TEST_F(LibraryInstallerTest, copyReplacesTheTargetOnlyAtCommitAndLeavesNothingElse)
{
    const QString source = write("src/valves.nvl", QByteArray(200 * 1024, 'n'));
    const QString dir = temp.filePath("Libraries/userlib/valves.nvl/1.0.0.0");
    {
        LibraryInstaller installer(FileError);
        ASSERT_TRUE(installer.prepare(source, dir, "valves.nvl"));
        EXPECT_EQ(installer.target(), dir + "/valves.nvl");
        EXPECT_FALSE(QFileInfo::exists(installer.target())) << "nothing in place before commit";
        EXPECT_EQ(read(installer.staged()), read(source));
        ASSERT_TRUE(installer.commit());
        installer.finish();
    }
    EXPECT_EQ(read(dir + "/valves.nvl"), read(source));
    EXPECT_EQ(entries(temp.filePath("Libraries")),
              QStringList({"userlib", "userlib/valves.nvl", "userlib/valves.nvl/1.0.0.0",
                           "userlib/valves.nvl/1.0.0.0/valves.nvl"}));
}

TEST_F(LibraryInstallerTest, rollbackAfterCommitPutsTheReplacedFileBack)
{
    const QString dir = temp.filePath("Libraries/userlib/valves.nvl/1.0.0.0");
    const QString old = write("Libraries/userlib/valves.nvl/1.0.0.0/valves.nvl", "old library");
    const QString source = write("src/valves.nvl", "new library");
    const QStringList before = entries(temp.filePath("Libraries"));

    LibraryInstaller installer(FileError);
    ASSERT_TRUE(installer.prepare(source, dir, "valves.nvl"));
    ASSERT_TRUE(installer.commit());
    EXPECT_EQ(read(old), "new library");
    installer.rollback(); // the rows of the operation could not be written, say
    EXPECT_EQ(read(old), "old library");
    EXPECT_EQ(entries(temp.filePath("Libraries")), before);
}

TEST_F(LibraryInstallerTest, anInstallerThatIsNotFinishedTakesItsWorkBack)
{
    const QString source = write("src/belts.nvl", "belts");
    write("Libraries/keep.txt", "a folder that was there");
    {
        LibraryInstaller installer(FileError);
        ASSERT_TRUE(installer.prepare(source, temp.filePath("Libraries/userlib/belts.nvl/2.0.0.0"), "belts.nvl"));
        ASSERT_TRUE(installer.commit());
        ASSERT_TRUE(QFileInfo::exists(temp.filePath("Libraries/userlib/belts.nvl/2.0.0.0/belts.nvl")));
    }
    EXPECT_EQ(entries(temp.filePath("Libraries")), QStringList({"keep.txt"})) << "the folders made went too";
    {
        LibraryInstaller installer(FileError);
        ASSERT_TRUE(installer.prepare(source, temp.filePath("Libraries/userlib/belts.nvl/2.0.0.0"), "belts.nvl"));
    }
    EXPECT_EQ(entries(temp.filePath("Libraries")), QStringList({"keep.txt"})) << "an uncommitted copy goes";
}

TEST_F(LibraryInstallerTest, failuresKeepTheCauseApartFromTheMessage)
{
    LibraryInstaller missing(FileError);
    const Result<void> copied = missing.prepare(temp.filePath("src/none.nvl"), temp.filePath("Libraries/x"), "none.nvl");
    ASSERT_FALSE(copied);
    EXPECT_EQ(copied.error(), FileError);
    EXPECT_TRUE(copied.errorString().startsWith("copying ")) << copied.errorString().toStdString();
    EXPECT_FALSE(copied.errorText().isEmpty()) << "the file system's own words";
    EXPECT_FALSE(copied.errorString().contains(copied.errorText()));
    missing.rollback();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath("Libraries")));

    // A folder that cannot be made: a file stands where it should go.
    write("Libraries/userlib", "not a folder");
    LibraryInstaller blocked(FileError);
    const Result<void> made = blocked.prepare(write("src/a.nvl", "a"), temp.filePath("Libraries/userlib/a.nvl/1.0.0.0"),
                                              "a.nvl");
    ASSERT_FALSE(made);
    EXPECT_TRUE(made.errorString().contains("cannot create the folder"));
    EXPECT_EQ(read(temp.filePath("Libraries/userlib")), "not a folder");
}

TEST_F(LibraryInstallerTest, aFileThatIsItsOwnTargetIsLeftAlone)
{
    const QString dir = temp.filePath("Libraries/userlib/same.nvl/1.0.0.0");
    const QString installed = write("Libraries/userlib/same.nvl/1.0.0.0/same.nvl", "in place");
    LibraryInstaller installer(FileError);
    ASSERT_TRUE(installer.prepare(installed, dir, "same.nvl"));
    ASSERT_TRUE(installer.commit());
    installer.rollback();
    EXPECT_EQ(read(installed), "in place") << "a rollback never removes a file it did not put there";
}

} // namespace
