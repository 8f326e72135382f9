// The description catalogue: lookups, the order of its folders and files, and the cache that
// spares a normal start the parsing.
#include "HardwareFolder.h"
#include "ModelTestSupport.h"

#include "datamodel/device/DevDescription.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

using testsupport::HardwareFolder;
using testsupport::loggedLines;

class DevDescriptionTest : public ::testing::Test
{
protected:
    void SetUp() override { testsupport::defaultHost().logs()->clear(); }

    // A fresh catalogue of the folder, as a new process would build it.
    std::unique_ptr<DevDescription> start() const { return std::make_unique<DevDescription>(folder.path()); }

    QByteArray cacheBytes() const
    {
        QFile file(folder.cache());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool writeCache(const QByteArray& bytes) const
    {
        QFile file(folder.cache());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }

    HardwareFolder folder;
};

const QByteArray controller = "Ctl : {\n"
                              "    TypeID : PLCDeviceNode,\n"
                              "    Motion : { MaxAxis : 8, AxisType : \"Axis_Pulse,Axis_Virtual\",\n"
                              "               Axis_Pulse : { MaxVelocity : 100000 } },\n"
                              "    Ecam : { TableMax : 16 }\n"
                              "}\n";

TEST_F(DevDescriptionTest, noFilesGiveAnEmptyCacheAndEmptyLookups)
{
    ASSERT_TRUE(QDir().mkpath(folder.hardware()));
    auto catalogue = start();
    EXPECT_EQ(catalogue->loadSource(), DevDescription::FromFiles);
    EXPECT_TRUE(catalogue->names().isEmpty());
    EXPECT_TRUE(catalogue->devDescribe("Ctl").isEmpty());
    EXPECT_TRUE(catalogue->describeList("PLCDeviceNode").isEmpty());
    EXPECT_EQ(catalogue->devProperty("Ctl.Ecam.TableMax", 7).toInt(), 7);
    EXPECT_TRUE(QFileInfo(folder.cache()).isFile()) << "an empty catalogue is cached too";
    EXPECT_FALSE(catalogue->binNeedUpdate(DevDescription::directories(folder.path()), folder.cache()));
    EXPECT_EQ(start()->loadSource(), DevDescription::FromCache);

    // Without an application directory nothing below "/" is read and no cache is written.
    DevDescription resourcesOnly{QString()};
    EXPECT_TRUE(resourcesOnly.names().isEmpty());
    EXPECT_EQ(DevDescription::directories(QString()), QStringList({":hardware/DeviceDescribe/built-in"}));
    EXPECT_TRUE(DevDescription::cachePath(QString()).isEmpty());
}

TEST_F(DevDescriptionTest, lookupsByNameTypeAndPath)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/ctl.djson", controller));
    ASSERT_TRUE(folder.write("DeviceDescribe/modules.djson", "zeta : { TypeID : Module }, Alpha : { TypeID : Module },\n"
                                                             "Beta : { TypeID : Module, Power : 2W }, Other : { TypeID : Bus }"));
    auto catalogue = start();
    EXPECT_EQ(catalogue->describeList("Module"), QStringList({"Alpha", "Beta", "zeta"})) << "in name order";
    EXPECT_EQ(catalogue->describeList("PLCDeviceNode"), QStringList({"Ctl"}));
    EXPECT_TRUE(catalogue->describeList("Nothing").isEmpty());
    EXPECT_EQ(catalogue->devDescribe("Beta").value("Power").toString(), "2W");

    EXPECT_EQ(catalogue->devProperty("Ctl.Motion.AxisType").toString(), "Axis_Pulse,Axis_Virtual");
    EXPECT_EQ(catalogue->devProperty("Ctl.Motion.Axis_Pulse.MaxVelocity").toString(), "100000");
    EXPECT_EQ(catalogue->devProperty("Ctl.Ecam.TableMax").toInt(), 16);
    EXPECT_EQ(catalogue->devProperty("Ctl.Motion").toMap().value("MaxAxis").toString(), "8");
    EXPECT_EQ(catalogue->devProperty("Ctl").toMap(), catalogue->devDescribe("Ctl"));
    for (const char* missing : {"Ctl.Motion.Axis_Encoder.MaxAxis", "Ctl.Motion.MaxAxis.Deeper", "Nope.TypeID", "",
                                "Ctl..Motion", "Ctl.Motion."})
        EXPECT_EQ(catalogue->devProperty(missing, "default").toString(), "default") << missing;
    EXPECT_FALSE(catalogue->devProperty("Ctl.Missing").isValid()) << "no default: an invalid value";
}

TEST_F(DevDescriptionTest, laterFilesAndFoldersReplaceWholeMembers)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/a.djson", "Ctl : { From : a, OnlyInA : yes }, Keep : { From : a }"));
    ASSERT_TRUE(folder.write("DeviceDescribe/B.djson", "Ctl : { From : b }"));
    ASSERT_TRUE(folder.write("EtherCAT/0.djson", "Slave : { From : ethercat }, Keep2 : { From : ethercat }"));
    ASSERT_TRUE(folder.write("Diagnosis/z.djson", "Slave : { From : diagnosis }, Keep2 : { From : diagnosis }"));
    ASSERT_TRUE(folder.write("DeviceDescribe/notes.txt", "Ctl : { From : txt }"));
    auto catalogue = start();
    EXPECT_EQ(catalogue->devProperty("Ctl.From").toString(), "b") << "B.djson comes after a.djson";
    EXPECT_FALSE(catalogue->devProperty("Ctl.OnlyInA").isValid()) << "members are replaced, not merged";
    EXPECT_EQ(catalogue->devProperty("Keep.From").toString(), "a");
    EXPECT_EQ(catalogue->devProperty("Slave.From").toString(), "ethercat") << "EtherCAT is read after Diagnosis";
    EXPECT_EQ(catalogue->names(), QStringList({"Ctl", "Keep", "Keep2", "Slave"}));
}

TEST_F(DevDescriptionTest, aBrokenFileKeepsWhatCameBeforeAndIsLogged)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/a.djson", controller));
    ASSERT_TRUE(folder.write("DeviceDescribe/b.djson", "Good : { TypeID : Module },\n"
                                                       "Bad : { TypeID : Module,\n"
                                                       "        Power 2W },\n"
                                                       "After : { TypeID : Module }\n"));
    ASSERT_TRUE(folder.write("DeviceDescribe/c.djson", "Later : { TypeID : Module }"));
    auto catalogue = std::make_unique<DevDescription>(QString());
    EXPECT_FALSE(catalogue->reload(folder.path())) << "a file that did not parse is reported";
    EXPECT_EQ(catalogue->describeList("Module"), QStringList({"Good", "Later"}));
    EXPECT_EQ(catalogue->devProperty("Ctl.Ecam.TableMax").toString(), "16");
    EXPECT_EQ(loggedLines("b.djson skipped: line 3, column 15: expected ':' after the key \"Power\""), 1);
    // The cache holds the same, so a restart neither loses "Good" nor logs the error again.
    testsupport::defaultHost().logs()->clear();
    auto restarted = start();
    EXPECT_EQ(restarted->loadSource(), DevDescription::FromCache);
    EXPECT_EQ(restarted->describeList("Module"), QStringList({"Good", "Later"}));
}

TEST_F(DevDescriptionTest, theCacheIsRebuiltWhenAFileIsTouchedAddedRemovedRenamedOrOlder)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/ctl.djson", controller));
    ASSERT_TRUE(folder.write("DeviceDescribe/mod.djson", "Mod : { TypeID : Module }"));
    const QStringList dirs = DevDescription::directories(folder.path());
    EXPECT_EQ(start()->loadSource(), DevDescription::FromFiles);
    auto cached = start();
    EXPECT_EQ(cached->loadSource(), DevDescription::FromCache);
    EXPECT_EQ(cached->describeList("Module"), QStringList({"Mod"}));

    const QDateTime base = QFileInfo(folder.hardware("DeviceDescribe/mod.djson")).lastModified();
    struct Step
    {
        const char* what;
        std::function<bool()> change;
        QStringList modules;
    };
    const std::vector<Step> steps = {
        {"touched", [&] { return folder.setModified("DeviceDescribe/mod.djson", base.addSecs(60)); }, {"Mod"}},
        {"rewritten with an older time",
         [&] {
             return folder.write("DeviceDescribe/mod.djson", "Mod2 : { TypeID : Module }")
                    && folder.setModified("DeviceDescribe/mod.djson", base.addDays(-30));
         },
         {"Mod2"}},
        {"added", [&] { return folder.write("Diagnosis/new.djson", "New : { TypeID : Module }"); }, {"Mod2", "New"}},
        {"removed", [&] { return QFile::remove(folder.hardware("DeviceDescribe/mod.djson")); }, {"New"}},
        {"renamed, keeping its time",
         [&] { return QFile::rename(folder.hardware("Diagnosis/new.djson"), folder.hardware("Diagnosis/0.djson")); },
         {"New"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_TRUE(step.change());
        EXPECT_TRUE(cached->binNeedUpdate(dirs, folder.cache()));
        auto rebuilt = start();
        EXPECT_EQ(rebuilt->loadSource(), DevDescription::FromFiles);
        EXPECT_EQ(rebuilt->describeList("Module"), step.modules);
        EXPECT_FALSE(rebuilt->binNeedUpdate(dirs, folder.cache()));
        EXPECT_EQ(start()->loadSource(), DevDescription::FromCache);
    }
    // Every write went through a temporary file that was renamed: nothing is left beside the cache.
    EXPECT_EQ(QDir(folder.hardware()).entryList(QDir::Files), QStringList({"DeviceDescribe.bin"}));
}

TEST_F(DevDescriptionTest, aDamagedCacheIsRebuiltFromTheFiles)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/ctl.djson", controller));
    start();
    const QByteArray good = cacheBytes();
    ASSERT_GT(good.size(), 16);
    QByteArray lying = good;
    lying[0] = char(0xFF); // the length header claims about 4 GB
    const struct
    {
        const char* what;
        QByteArray bytes;
        const char* logged;
    } damages[] = {
        {"truncated", good.left(good.size() / 2), "damaged"},
        {"garbage", QByteArray(300, 'x'), "claim"},
        {"too short", QByteArray("\x01\x02", 2), "too short"},
        {"empty", QByteArray(), "too short"},
        {"absurd length header", lying, "claim to hold"},
        {"compressed garbage", qCompress(QByteArray("\x00\x00\x00\x05\x00\x00\x00\x00garbage", 15)), "does not decode"},
        {"a huge member count", qCompress(QByteArray("\x7F\xFF\xFF\xFF", 4)), "does not decode"},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        testsupport::defaultHost().logs()->clear();
        ASSERT_TRUE(writeCache(damage.bytes));
        auto catalogue = start();
        EXPECT_EQ(catalogue->loadSource(), DevDescription::FromFiles);
        EXPECT_EQ(catalogue->devProperty("Ctl.Ecam.TableMax").toString(), "16");
        EXPECT_EQ(loggedLines("rebuilt from the description files"), 1);
        EXPECT_EQ(loggedLines(damage.logged), 1);
        EXPECT_EQ(start()->loadSource(), DevDescription::FromCache) << "the rebuilt cache is sound";
    }
}

TEST_F(DevDescriptionTest, theCacheKeepsThePlainMapFirstAndAPlainMapIsStale)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/ctl.djson", controller));
    auto catalogue = start();
    // A reader that knows only the map finds it at the start of the cache.
    QByteArray raw = qUncompress(cacheBytes());
    QDataStream in(raw);
    QVariantMap plain;
    in >> plain;
    ASSERT_EQ(in.status(), QDataStream::Ok);
    EXPECT_EQ(plain, catalogue->descriptions());

    // A cache holding only the map (as an older writer made it) is read but rebuilt.
    QByteArray mapOnly;
    QDataStream out(&mapOnly, QIODevice::WriteOnly);
    QVariantMap stale = plain;
    stale.insert("Stale", QVariantMap{{"TypeID", "Module"}});
    out << stale;
    ASSERT_TRUE(writeCache(qCompress(mapOnly)));
    EXPECT_TRUE(catalogue->readBinFile(folder.cache()));
    EXPECT_EQ(catalogue->describeList("Module"), QStringList({"Stale"}));
    EXPECT_TRUE(catalogue->binNeedUpdate(DevDescription::directories(folder.path()), folder.cache()));
    auto restarted = start();
    EXPECT_EQ(restarted->loadSource(), DevDescription::FromFiles);
    EXPECT_TRUE(restarted->describeList("Module").isEmpty());

    EXPECT_TRUE(catalogue->createBinFile(DevDescription::directories(folder.path()), folder.cache()));
    EXPECT_TRUE(catalogue->describeList("Module").isEmpty());
    EXPECT_FALSE(catalogue->readBinFile(folder.hardware("missing.bin")));
    EXPECT_EQ(catalogue->devProperty("Ctl.Ecam.TableMax").toString(), "16") << "a missing cache changes nothing";
}

TEST_F(DevDescriptionTest, anUnwritableCacheStillGivesEveryDescription)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/ctl.djson", controller));
    ASSERT_TRUE(folder.write("DeviceDescribe/mod.djson", "Mod : { TypeID : Module }"));
    // A folder where the cache should be: no rename can replace it, whoever runs the test.
    ASSERT_TRUE(QDir().mkpath(folder.cache()));
    auto catalogue = std::make_unique<DevDescription>(QString());
    EXPECT_FALSE(catalogue->reload(folder.path()));
    EXPECT_EQ(catalogue->loadSource(), DevDescription::FromFiles);
    EXPECT_EQ(catalogue->names(), QStringList({"Ctl", "Mod"}));
    EXPECT_EQ(loggedLines("not written"), 1);
    EXPECT_EQ(loggedLines("the 2 descriptions read from the files are used"), 1);
    EXPECT_EQ(QDir(folder.hardware()).entryList(QDir::Files), QStringList()) << "no temporary file left behind";
}

TEST_F(DevDescriptionTest, aReadOnlyHardwareFolderStillGivesEveryDescription)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/ctl.djson", controller));
    const QFile::Permissions writable = QFile(folder.hardware()).permissions();
    ASSERT_TRUE(QFile(folder.hardware()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    QTemporaryFile probe(folder.hardware("probe.XXXXXX"));
    const bool stillWritable = probe.open();
    if (stillWritable) {
        probe.remove();
        QFile(folder.hardware()).setPermissions(writable);
        GTEST_SKIP() << "permissions do not stop this user (root) from writing; the cache test with a folder in "
                        "the cache's place covers the unwritable cache";
    }
    auto catalogue = start();
    EXPECT_EQ(catalogue->devProperty("Ctl.Ecam.TableMax").toString(), "16");
    EXPECT_EQ(loggedLines("not written"), 1);
    QFile(folder.hardware()).setPermissions(writable);
}

TEST_F(DevDescriptionTest, oversizedDescriptionFilesAreRefused)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/a.djson", controller));
    QFile large(folder.hardware("DeviceDescribe/large.djson"));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    ASSERT_TRUE(large.write("Huge : { TypeID : Module }\n") > 0);
    ASSERT_TRUE(large.resize(16 * 1024 * 1024 + 1));
    large.close();
    auto catalogue = start();
    EXPECT_FALSE(catalogue->devProperty("Huge.TypeID").isValid());
    EXPECT_EQ(catalogue->devProperty("Ctl.TypeID").toString(), "PLCDeviceNode");
    EXPECT_EQ(loggedLines("large.djson skipped: cannot be read: 16777217 bytes exceed the limit"), 1);
}

TEST_F(DevDescriptionTest, theInstanceFollowsTheHostsApplicationDirectory)
{
    ASSERT_TRUE(folder.write("DeviceDescribe/ctl.djson", controller));
    host::DefaultApplication& host = testsupport::defaultHost();
    const QString previous = host.applicationDir();
    host.setApplicationDir(folder.path());
    DevDescription* catalogue = DevDescription::instance();
    EXPECT_EQ(catalogue, DevDescription::instance());
    EXPECT_TRUE(catalogue->reload(folder.path()));
    EXPECT_EQ(catalogue->applicationDir(), folder.path());
    EXPECT_EQ(catalogue->describeList("PLCDeviceNode"), QStringList({"Ctl"}));
    host.setApplicationDir(previous);
}

} // namespace
