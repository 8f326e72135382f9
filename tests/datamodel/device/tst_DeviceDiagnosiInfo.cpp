// Device diagnosis texts: severities, languages, the message for unknown codes, class lookups
// and the reload on a language change.
#include "HardwareFolder.h"
#include "ModelTestSupport.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/device/DeviceDiagnosiInfo.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"

#include <gtest/gtest.h>

namespace {

using testsupport::HardwareFolder;

const QByteArray axisClass = u8R"(# motion axes
Axis : {
    Name : Axis, TypeId : 3,
    ErrorCodes : {
        6 : { Type : Error,
              Message : { zh_CN : "跟随误差过大", en_US : "Following error too large" },
              Detail : { zh_CN : "误差超限", en_US : "Error above the limit" },
              ResolveTips : { zh_CN : "调整增益", en_US : "Tune the gains" } },
        8 : { Type : Warning, Message : { zh_CN : "速度超限", en_US : "Velocity above the limit" } },
        9 : { Type : Fatal, Message : { zh_CN : "致命", en_US : "Fatal" } },
        10 : { Type : Info, Message : { zh_CN : "完成", en_US : "Done" } },
        11 : { Type : Error, Message : { en_US : "English only" } },
        70000 : { Type : Error, Message : { en_US : "beyond 16 bits" } }
    }
})";

const QByteArray modbusTcpClass = R"(" ModbusTcp" : {
    Name : ModbusTcp, TypeId : 5,
    ErrorCodes : { 200 : { Type : Error, Message : { zh_CN : "连接被拒绝", en_US : "Connection refused" } } }
})";

class DiagnosisTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::defaultHost().logs()->clear();
        previousDir = testsupport::defaultHost().applicationDir();
        ASSERT_TRUE(folder.write("Diagnosis/Axis.djson", axisClass));
        ASSERT_TRUE(folder.write("Diagnosis/ModbusTcp.djson", modbusTcpClass));
        // A class that only the cache knows (it is not in the Diagnosis folder).
        ASSERT_TRUE(folder.write("DeviceDescribe/stations.djson",
                                 "NNStation : { Name : NNStation, TypeId : 7, ErrorCodes : { 1 : { Type : Error, "
                                 "Message : { zh_CN : \"站号重复\", en_US : \"Duplicate station number\" } } } }"));
        load();
    }
    void TearDown() override { testsupport::defaultHost().setApplicationDir(previousDir); }

    void load()
    {
        testsupport::defaultHost().setApplicationDir(folder.path());
        DevDescription::instance()->reload(folder.path());
    }

    HardwareFolder folder;
    QString previousDir;
};

TEST_F(DiagnosisTest, textsAndSeveritiesInBothLanguages)
{
    const DeviceDiagnosiInfo chinese("zh_CN");
    const DeviceDiagnosiInfo english("en_US");
    const DeviceDiagnosiInfo::ErrorInfo zh = chinese.errorInfo(3, 6);
    EXPECT_EQ(zh.code, 6);
    EXPECT_EQ(zh.type, DeviceDiagnosiInfo::Error);
    EXPECT_EQ(zh.message, QString::fromUtf8(u8"跟随误差过大"));
    EXPECT_EQ(zh.detail, QString::fromUtf8(u8"误差超限"));
    EXPECT_EQ(zh.resolveTips, QString::fromUtf8(u8"调整增益"));
    const DeviceDiagnosiInfo::ErrorInfo en = english.errorInfo(3, 6);
    EXPECT_EQ(en.message, "Following error too large");
    EXPECT_EQ(en.detail, "Error above the limit");
    EXPECT_EQ(en.resolveTips, "Tune the gains");

    EXPECT_EQ(english.errorInfo(3, 8).type, 1) << "Warning";
    EXPECT_EQ(english.errorInfo(3, 10).type, 2) << "Info";
    EXPECT_EQ(english.errorInfo(3, 9).type, 0) << "a severity outside the list counts as Error";
    EXPECT_EQ(english.errorInfo(3, 9).message, "Fatal");
    EXPECT_TRUE(english.errorInfo(3, 8).detail.isEmpty());
    EXPECT_TRUE(english.contains(3, 11));
    EXPECT_FALSE(english.contains(3, 70000 & 0xFFFF)) << "a code beyond 16 bits is not cut down to another code";
    EXPECT_EQ(english.errorInfo(5, 200).message, "Connection refused") << "filed under \" ModbusTcp\"";
    EXPECT_EQ(chinese.errorInfo(7, 1).message, QString::fromUtf8(u8"站号重复"));
}

TEST_F(DiagnosisTest, unknownCodesClassesAndLanguagesGetTheUnknownCodeMessage)
{
    const DeviceDiagnosiInfo chinese("zh_CN");
    const DeviceDiagnosiInfo::ErrorInfo unknown = chinese.errorInfo(3, 77);
    EXPECT_EQ(unknown.type, 0);
    EXPECT_EQ(unknown.code, 0);
    EXPECT_EQ(unknown.message, "Unkown Erroe Code:77 Of Device Class:Axis");
    EXPECT_TRUE(unknown.detail.isEmpty());
    EXPECT_TRUE(unknown.resolveTips.isEmpty());
    // Listed, but without a Chinese text.
    const DeviceDiagnosiInfo::ErrorInfo untranslated = chinese.errorInfo(3, 11);
    EXPECT_EQ(untranslated.code, 11);
    EXPECT_EQ(untranslated.message, "Unkown Erroe Code:11 Of Device Class:Axis");
    EXPECT_EQ(chinese.errorInfo(42, 1).message, "Unkown Erroe Code:1 Of Device Class:");
    EXPECT_EQ(DeviceDiagnosiInfo("fr_FR").errorInfo(3, 6).message, "Unkown Erroe Code:6 Of Device Class:Axis");
}

TEST_F(DiagnosisTest, classLookups)
{
    const DeviceDiagnosiInfo info("en_US");
    EXPECT_EQ(info.classIds(), QList<quint8>({3, 5, 7}));
    EXPECT_EQ(info.classType(quint8(3)), "Axis");
    EXPECT_EQ(info.classType(quint8(5)), "ModbusTcp");
    EXPECT_TRUE(info.classType(quint8(4)).isEmpty());
    EXPECT_EQ(info.classType(QStringLiteral("Axis")), 3);
    EXPECT_EQ(info.classType(QStringLiteral("NNStation")), 7);
    EXPECT_EQ(info.classType(QStringLiteral("Servo")), 255);
    EXPECT_EQ(info.classType(QStringLiteral("axis")), 255) << "names compare exactly";
}

TEST_F(DiagnosisTest, changLangReadsTheFilesIntoAnEmptiedTable)
{
    DeviceDiagnosiInfo info("zh_CN");
    ASSERT_EQ(info.classType(quint8(7)), "NNStation");
    info.changLang("en_US");
    EXPECT_EQ(info.errorInfo(3, 6).message, "Following error too large");
    EXPECT_EQ(info.errorInfo(5, 200).message, "Connection refused");
    EXPECT_TRUE(info.classType(quint8(7)).isEmpty()) << "a class without a diagnosis file keeps no old texts";
    EXPECT_EQ(info.classIds(), QList<quint8>({3, 5}));

    // A file edited since the cache was built is read as it is now.
    ASSERT_TRUE(folder.write("Diagnosis/Axis.djson", QByteArray(axisClass).replace("Tune the gains", "Lower the gains")));
    info.changLang("en_US");
    EXPECT_EQ(info.errorInfo(3, 6).resolveTips, "Lower the gains");
}

TEST_F(DiagnosisTest, brokenAndInvalidFilesAreLoggedAndSkipped)
{
    ASSERT_TRUE(folder.write("Diagnosis/Broken.djson", "Broken : {\n    Name : Broken,\n    TypeId : 9\n    ErrorCodes : {}\n}"));
    ASSERT_TRUE(folder.write("Diagnosis/Empty.djson", "# nothing here\n"));
    ASSERT_TRUE(folder.write("Diagnosis/Wide.djson", "Wide : { Name : Wide, TypeId : 300 }"));
    testsupport::defaultHost().logs()->clear();
    DeviceDiagnosiInfo info("en_US");
    info.changLang("en_US");
    EXPECT_EQ(info.classIds(), QList<quint8>({3, 5})) << "the good files are still read";
    EXPECT_EQ(testsupport::loggedLines("Broken.djson skipped: line 4, column 5: expected ',' or '}' after the value of "
                                       "\"TypeId\", found 'ErrorCodes'"),
              1);
    EXPECT_EQ(testsupport::loggedLines("Empty.djson holds no class"), 1);
    EXPECT_GE(testsupport::loggedLines("\"300\" is no class id"), 1);
    EXPECT_GE(testsupport::loggedLines("\"70000\" is no error code"), 1);
}

TEST(DiagnosisSamples, everyShippedCodeHasItsTextsInBothLanguages)
{
    HardwareFolder folder;
    ASSERT_TRUE(folder.copySamples());
    host::DefaultApplication& host = testsupport::defaultHost();
    const QString previous = host.applicationDir();
    host.setApplicationDir(folder.path());
    ASSERT_TRUE(DevDescription::instance()->reload(folder.path()));
    for (const char* lang : {"zh_CN", "en_US"}) {
        SCOPED_TRACE(lang);
        DeviceDiagnosiInfo fromCache(lang);
        DeviceDiagnosiInfo fromFiles(lang);
        fromFiles.changLang(lang);
        EXPECT_EQ(fromCache.classIds(), QList<quint8>({1, 2, 3, 4, 5, 6, 7}));
        EXPECT_EQ(fromFiles.classIds(), fromCache.classIds());
        int codes = 0;
        for (const QString& name : DeviceDiagnosiInfo::classNames()) {
            const QVariantMap description = DevDescription::instance()->devDescribe(name);
            const quint8 id = quint8(description.value("TypeId").toUInt());
            EXPECT_EQ(fromCache.classType(id), name.trimmed());
            for (const QString& code : description.value("ErrorCodes").toMap().keys()) {
                const DeviceDiagnosiInfo::ErrorInfo info = fromCache.errorInfo(id, quint16(code.toUInt()));
                EXPECT_FALSE(info.message.startsWith("Unkown")) << name.toStdString() << " " << code.toStdString();
                EXPECT_FALSE(info.detail.isEmpty());
                EXPECT_FALSE(info.resolveTips.isEmpty());
                EXPECT_EQ(fromFiles.errorInfo(id, quint16(code.toUInt())).message, info.message);
                ++codes;
            }
        }
        EXPECT_GE(codes, 50);
    }
    EXPECT_EQ(DeviceDiagnosiInfo("en_US").errorInfo(3, 77).message, "Unkown Erroe Code:77 Of Device Class:Axis");
    host.setApplicationDir(previous);
}

} // namespace
