// The memory image of the current project: the stored layout and its file, the code
// generation options, the movable memory, and every operation without a project.
#include "MemImageTest.h"

#include "datamodel/device/DevDescription.h"
#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/MemFile.h"
#include "datamodel/model/PrjInfoModel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

namespace {

class SerializerTest : public MemImageTest
{
protected:
    PrjInfoModel::PrjInfo* info() { return model->subModel<PrjInfoModel>()->projectInfo(); }
    QString memPath() const { return QDir(QString::fromStdString(model->filePath())).filePath(MemFile::FileName); }

    // The layout of this compilation stored as a download stores it.
    std::string store()
    {
        const OnlineChange change(SerializeData(), current());
        std::string text = LayoutText::write(change.layout());
        EXPECT_TRUE(serializer().setProjectMemContextToPrjInfoModel(text));
        EXPECT_TRUE(serializer().creatProjectMemFile()) << serializer().lastError().toStdString();
        return text;
    }
};

TEST(SerializerWithoutProject, everyOperationGivesItsEmptyResult)
{
    testsupport::defaultHost().cookies()->setValue("Project.Name", "no such project");
    ProjectVarSerializer& s = ProjectVarSerializer::getInstance();
    SerializeData data;
    EXPECT_FALSE(s.creatProjectMemFile());
    EXPECT_FALSE(s.parserProjectMemFile(data));
    EXPECT_TRUE(data.isEmpty());
    std::string text = "PRJ_MEM_PRG_HEAD:Main{\n}\n";
    EXPECT_FALSE(s.setProjectMemContextToPrjInfoModel(text));
    s.getCurrentSerializeData(data);
    EXPECT_TRUE(data.isEmpty());
    EXPECT_EQ(s.getLogicState(), 0);
    EXPECT_EQ(s.getMovable(), 0u);
    unsigned long long size = 0;
    EXPECT_FALSE(s.checkMovable(size));
    std::set<std::string> hidden;
    s.getHiddenSet(hidden);
    EXPECT_TRUE(hidden.empty());
    std::vector<std::string> order;
    s.getDecDependenceOrder(order);
    EXPECT_TRUE(order.empty());
    std::map<std::string, int> depends;
    EXPECT_FALSE(s.getDecDependence("Main", depends));
    EXPECT_EQ(s.getAddrOffset("G.a"), ~0u);
}

TEST_F(SerializerTest, theFileUncompressesToExactlyTheTextWhoseDigestIsStored)
{
    gvl("G", "VAR_GLOBAL\n a : INT;\n b : STRING(5);\nEND_VAR");
    pou("Main", "PROGRAM Main\nVAR\n n : DINT;\nEND_VAR");
    const std::string text = store();

    QFile file(memPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray plain = qUncompress(file.readAll());
    EXPECT_EQ(plain.toStdString(), info()->property("project.mem.context"));
    EXPECT_EQ(plain.toStdString(), text);
    EXPECT_EQ(info()->property("project.mem.md5"), QCryptographicHash::hash(plain, QCryptographicHash::Md5).toHex().toStdString());

    SerializeData read;
    ASSERT_TRUE(serializer().parserProjectMemFile(read)) << serializer().lastError().toStdString();
    EXPECT_EQ(LayoutText::write(read), text);
    EXPECT_NE(read.find(SerializeData::ProgramSection, "Main"), nullptr);
}

TEST_F(SerializerTest, aFileThatDoesNotMatchItsDigestIsRefused)
{
    gvl("G", "VAR_GLOBAL\n a : INT;\nEND_VAR");
    store();
    // Edited by hand: a valid layout, compressed properly, but not the one the project stamped.
    ASSERT_TRUE(MemFile::write(memPath(), "PRJ_MEM_GVL_HEAD:G{\n}\n"));
    SerializeData read;
    EXPECT_FALSE(serializer().parserProjectMemFile(read));
    EXPECT_TRUE(read.isEmpty());
    EXPECT_NE(serializer().lastError().indexOf("does not match the digest"), -1);
    EXPECT_TRUE(logged("does not match the digest"));

    // Without a digest the file cannot be vouched for either.
    info()->setProperty("project.mem.md5", "");
    EXPECT_FALSE(serializer().parserProjectMemFile(read));
    EXPECT_NE(serializer().lastError().indexOf("no digest"), -1);

    QFile::remove(memPath());
    EXPECT_FALSE(serializer().parserProjectMemFile(read));
}

TEST_F(SerializerTest, theStoredTextTakesThePlacesTheCoreGives)
{
    gvl("G", "VAR_GLOBAL\n a : INT;\n b : INT;\nEND_VAR");
    SerializeData stored = current();
    gvl("G", "VAR_GLOBAL\n b : INT;\n c : DINT;\nEND_VAR");
    const OnlineChange change(stored, current());
    ac::PrjMemAllSymbolInfo handed = change.info();
    serializer().setACCoreProjectMemInfo(handed);
    std::string text = LayoutText::write(change.layout());
    ASSERT_TRUE(serializer().setProjectMemContextToPrjInfoModel(text));
    ASSERT_TRUE(serializer().creatProjectMemFile());
    SerializeData read;
    ASSERT_TRUE(serializer().parserProjectMemFile(read));
    EXPECT_EQ(member(read, SerializeData::GlobalSection, "G", "b")->offset, 2u);
    EXPECT_EQ(member(read, SerializeData::GlobalSection, "G", "b")->offset, serializer().getAddrOffset("G.b"));
    EXPECT_EQ(member(read, SerializeData::GlobalSection, "G", "c")->offset, serializer().getAddrOffset("G.c"));

    // A context that the core's places contradict (b laid over the filler) is not written.
    std::string bad = "PRJ_MEM_GVL_HEAD:G{\n    0:b:{\"TypeName\":\"INT\",\"ByteSize\":\"2\",\"BasicDataType\":\"2\"};\n"
                      "    2:occupy.member:{\"TypeName\":\"BYTE\",\"ByteSize\":\"2\",\"BasicDataType\":\"5\"};\n}\n";
    ASSERT_TRUE(serializer().setProjectMemContextToPrjInfoModel(bad));
    EXPECT_FALSE(serializer().creatProjectMemFile());
    EXPECT_NE(serializer().lastError().indexOf("overlaps"), -1);
}

TEST_F(SerializerTest, logicStateSumsTheProtectionsAndTheOptimisationSwitch)
{
    cookies()->setValue("Studio/CompilationOptLevelSetting", true);
    EXPECT_EQ(serializer().getLogicState(), 0);
    info()->setProperty("ZeroDivisionProtection", "TRUE");
    info()->setProperty("ArraySubscriptProtection", "True");
    info()->setProperty("PointerAddressProtection", "true");
    EXPECT_EQ(serializer().getLogicState(), 7);
    info()->setProperty("ArraySubscriptProtection", "yes");
    cookies()->setValue("Studio/CompilationOptLevelSetting", false);
    EXPECT_EQ(serializer().getLogicState(), 13);
    cookies()->setValue("Studio/CompilationOptLevelSetting", QVariant());
}

TEST_F(SerializerTest, theLayoutFitsTheMovableMemoryUpToItsLastByte)
{
    // The sample controller of the fixture's project.
    EXPECT_EQ(serializer().getMovable(), 4194304u);

    testsupport::TempDir hardware;
    QDir(hardware.path()).mkpath("hardware/DeviceDescribe");
    QFile description(hardware.path() + "/hardware/DeviceDescribe/Ctl.djson");
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write("Ctl : { TypeID : PLCDeviceNode, ChildTypeID : \"\", IECMem : { memory : 64, movable : 1000 } }\n");
    description.close();
    const QString previous = DevDescription::instance()->applicationDir();
    // Later tests create their projects on the shipped descriptions, also when this one fails.
    struct RestoreDescriptions {
        QString dir;
        ~RestoreDescriptions() { DevDescription::instance()->reload(dir); }
    } restore{previous};
    ASSERT_TRUE(DevDescription::instance()->reload(hardware.path()));
    EXPECT_EQ(serializer().getMovable(), 0u); // a controller the descriptions do not know

    std::map<std::string, std::string> options = params("MemCtl");
    options["deviceType"] = "Ctl";
    // A folder of its own: the fixture's project holds the lock of the temporary folder.
    testsupport::TempDir folder;
    options["filePath"] = folder.file("MemCtl.nvp");
    auto project = std::make_unique<PlcProjectModel>("MemCtl", folder.path().toStdString(), options["filePath"]);
    ASSERT_TRUE(project->create(options));
    ASSERT_EQ(ProjectModelManager::instance()->addProjectModel("MemCtl", project.release()), ProjectModelManager::Success);
    cookies()->setValue("Project.Name", "MemCtl");
    EXPECT_EQ(serializer().getMovable(), 1000u);
    unsigned long long size = 1000;
    EXPECT_TRUE(serializer().checkMovable(size));
    size = 1001;
    EXPECT_FALSE(serializer().checkMovable(size));
    ProjectModelManager::instance()->removeProjectModel("MemCtl");
}

TEST_F(SerializerTest, theCoreIsAskedForTheElementarySizes)
{
    std::map<std::string, unsigned long long> sizes;
    serializer().getBasicTypeMemByteSize(sizes);
    EXPECT_EQ(sizes["BOOL"], 1u);
    EXPECT_EQ(sizes["WORD"], sizes["UINT"]);
    EXPECT_EQ(sizes["LTIME"], 8u);
    EXPECT_EQ(sizes["POINTER"], 4u);
    EXPECT_EQ(sizes["ENUM"], 2u);
    EXPECT_EQ(sizes.size(), 24u);
    // The filler of a removed member has the size asked for.
    EXPECT_EQ(ProjectVarSerializer::createOccMember(6).type.byteSize, 6u);
    EXPECT_EQ(ProjectVarSerializer::createOccMember(6).name, "occupy.member");
}

} // namespace
