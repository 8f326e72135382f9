// POUs: every stored field through save and reopen, the effects of each setter, and the
// slots through which undo and redo re-create and restore a POU.
#include "ProgramTestSupport.h"

#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/model/ObjectData_p.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/PouModel.h"

#include <QDateTime>
#include <QRegularExpression>

using testsupport::ModelTest;

namespace {

using PouUnit = PouModel::PouUnit;

class PouModelTest : public ModelTest
{
};

void fill(PouUnit& pou, const std::string& text)
{
    pou.setVarDeclaration("FUNCTION_BLOCK FB\nVAR_INPUT\n  x : INT; (* " + text + " *)\nEND_VAR\n");
    pou.setLogicContext("y := x + 1; // " + text);
    pou.setGraphData(testsupport::everyByte());
    pou.setFolderId(7);
    pou.setProperty("Row", "2");
    pou.setProperty("Text", text);
    pou.setFbInstances({"Timer1", QString::fromStdString(text)});
}

TEST_F(PouModelTest, everyStoredFieldSurvivesSaveAndReopen)
{
    auto project = createProject("Pous");
    auto* pous = project->subModel<PouModel>();
    std::vector<unsigned int> ids;
    std::vector<unsigned int> times;
    // Names are identifiers; the awkward values go into the texts and properties.
    for (const std::string& name : testsupport::awkwardNames()) {
        PouUnit* pou = pous->addPou("Pou" + std::to_string(ids.size()), PouModel::FBPOU, PouModel::POU_LD, 0);
        ASSERT_TRUE(pou) << name;
        fill(*pou, name);
        pou->setTempProperty("Temp", "never stored");
        ids.push_back(pou->id());
        times.push_back(pou->varModifiedTime());
    }
    ASSERT_TRUE(pous->save());
    project.reset();

    auto reopened = openProject("Pous");
    ASSERT_TRUE(reopened);
    auto* loaded = reopened->subModel<PouModel>();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string& name = testsupport::awkwardNames()[i];
        PouUnit* pou = loaded->pou(ids[i]);
        ASSERT_TRUE(pou) << name;
        EXPECT_EQ(pou->name(), "Pou" + std::to_string(i));
        EXPECT_EQ(pou->type(), PouModel::FBPOU);
        EXPECT_EQ(pou->languageType(), PouModel::POU_LD);
        EXPECT_EQ(pou->varDeclaration(), "FUNCTION_BLOCK FB\nVAR_INPUT\n  x : INT; (* " + name + " *)\nEND_VAR\n");
        EXPECT_EQ(pou->logicContext(), "y := x + 1; // " + name);
        EXPECT_EQ(pou->graphData(), testsupport::everyByte());
        EXPECT_EQ(pou->folderId(), 7u);
        EXPECT_EQ(pou->varModifiedTime(), times[i]);
        EXPECT_EQ(pou->property("Row"), "2");
        EXPECT_EQ(pou->property("Text"), name);
        EXPECT_EQ(pou->property("FbInstances"), "Timer1;" + name + ";");
        EXPECT_FALSE(pou->property("VarDeclModifiedTime").empty());
        EXPECT_EQ(pou->fbInstances(), QStringList({"Timer1", QString::fromStdString(name)}));
        EXPECT_EQ(pou->tempProperty("Temp", "absent"), "absent");
        EXPECT_FALSE(pou->isModified());
    }
}

// Names used to be unique by exact case only: "MAIN" beside "Main" was taken, though every
// lookup (and the compiler core) would find "Main" for both.
TEST_F(PouModelTest, namesAreUniqueAndFoundIgnoringCase)
{
    auto project = createProject("Names");
    auto* pous = project->subModel<PouModel>();
    PouUnit* first = pous->addPou("Main", PouModel::PRGPOU, PouModel::POU_ST, 0);
    ASSERT_TRUE(first);
    EXPECT_FALSE(pous->addPou("Main", PouModel::FBPOU, PouModel::POU_ST, 0));
    EXPECT_FALSE(pous->addPou("MAIN", PouModel::PRGPOU, PouModel::POU_ST, 0));
    EXPECT_EQ(pous->lastError(), "add POU 'MAIN' refused: a POU named 'Main' exists already");
    PouUnit* second = pous->addPou("Second", PouModel::PRGPOU, PouModel::POU_ST, 0);
    ASSERT_TRUE(second);
    EXPECT_TRUE(pous->lastError().isEmpty());
    EXPECT_LT(first->id(), second->id());
    EXPECT_EQ(pous->pou(QString("main")), first);
    EXPECT_EQ(pous->pou(QString("nothing")), nullptr);
    EXPECT_EQ(pous->pou(QString("devicepou")), pous->pou(QString("DevicePOU")));

    std::vector<PouUnit*> out;
    pous->allPous(out, PouModel::FBPOU);
    EXPECT_TRUE(out.empty());
    pous->allPous(out, PouModel::PRGPOU | PouModel::FCPOU);
    EXPECT_EQ(out.size(), 3u) << "DevicePOU, Main and Second";

    EXPECT_TRUE(pous->interruptPous().isEmpty());
    second->setProperty("ChildProgramType", "ChildIntProgram");
    EXPECT_EQ(pous->interruptPous(), QStringList({"Second"}));
}

struct Setter
{
    const char* name;
    void (*apply)(PouUnit&);
    bool marksProject; // "Compile" false and the program time stamped
    bool stampsModifyTime;
    const char* logLine; // empty when the setter logs nothing
};

class PouSetter : public PouModelTest, public ::testing::WithParamInterface<Setter>
{
};

TEST_P(PouSetter, hasItsEffects)
{
    auto project = createProject("Setters");
    auto* pous = project->subModel<PouModel>();
    PouUnit* pou = pous->addPou("Main", PouModel::PRGPOU, PouModel::POU_ST, 0);
    ASSERT_TRUE(pous->save());
    // The change time goes back to 0, so that a stamp within this second still shows.
    QString data = pous->objToData(pou);
    data.replace(QRegularExpression("\"MODIFYTIME\":\"\\d+\""), "\"MODIFYTIME\":\"0\"");
    ASSERT_TRUE(pous->restoreObj(pou, data));
    ASSERT_TRUE(pous->save());
    ASSERT_EQ(pou->varModifiedTime(), 0u);
    testsupport::markCompiled(*project);
    testsupport::defaultHost().logs()->clear();
    const unsigned int before = pou->varModifiedTime();
    const auto start = static_cast<unsigned int>(QDateTime::currentSecsSinceEpoch());

    GetParam().apply(*pou);

    EXPECT_TRUE(pou->isModified());
    PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*project);
    EXPECT_EQ(info->property("Compile"), GetParam().marksProject ? "false" : "true");
    EXPECT_EQ(info->property("ProgramModifiedTime") != "0", GetParam().marksProject);
    EXPECT_EQ(info->property("CfgModifiedTime"), "0") << "a POU change is a program change";
    if (GetParam().stampsModifyTime) {
        EXPECT_GE(pou->varModifiedTime(), start);
    } else {
        EXPECT_EQ(pou->varModifiedTime(), before);
    }
    if (*GetParam().logLine) {
        EXPECT_TRUE(logged(GetParam().logLine)) << GetParam().logLine;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PouSetter,
    ::testing::Values(
        Setter{"rename", [](PouUnit& p) { p.rename("Renamed"); }, true, true, "程序修改名称:Renamed"},
        Setter{"setType", [](PouUnit& p) { p.setType(PouModel::FBPOU); }, true, true, "程序修改类型:8"},
        Setter{"setVarDeclaration", [](PouUnit& p) { p.setVarDeclaration("PROGRAM Main\nEND_VAR"); }, true, true, ""},
        Setter{"setLogicContext", [](PouUnit& p) { p.setLogicContext("x := 1;"); }, true, true, "程序修改逻辑文本"},
        Setter{"setGraphData", [](PouUnit& p) { p.setGraphData({'\0', 'a'}); }, true, true, ""},
        Setter{"setProperty", [](PouUnit& p) { p.setProperty("Row", "1"); }, true, true, ""},
        Setter{"setFbInstances", [](PouUnit& p) { p.setFbInstances({}); }, true, true, ""},
        Setter{"setCompileTime", [](PouUnit& p) { p.setCompileTime(5); }, false, true, ""},
        Setter{"setFolderId", [](PouUnit& p) { p.setFolderId(3); }, false, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PouModelTest, instanceListTextAndDeclarationStamp)
{
    auto project = createProject("Instances");
    PouUnit* pou = project->subModel<PouModel>()->addPou("Main", PouModel::PRGPOU, PouModel::POU_ST, 0);
    pou->setFbInstances({"A", "B"});
    pou->setFbInstances({});
    EXPECT_EQ(pou->property("FbInstances", "absent"), "");
    EXPECT_TRUE(pou->fbInstances().isEmpty());
    pou->setFbInstancesStr("X;;Y;");
    EXPECT_EQ(pou->fbInstances(), QStringList({"X", "Y"}));
    pou->setFbInstancesStr("");
    EXPECT_EQ(pou->fbInstances(), QStringList({"X", "Y"})) << "an empty text is ignored";
    EXPECT_EQ(pou->property("FbInstances"), "") << "the text form leaves the property alone";

    const long long start = QDateTime::currentMSecsSinceEpoch();
    pou->setVarDeclaration("PROGRAM Main");
    EXPECT_GE(std::stoll(pou->property("VarDeclModifiedTime")), start);
}

TEST_F(PouModelTest, removeAndInsertRestoreAPouByteForByte)
{
    auto project = createProject("Undo");
    auto* pous = project->subModel<PouModel>();
    PouUnit* pou = pous->addPou("Quoted", PouModel::FCPOU, PouModel::POU_CFC, 0);
    fill(*pou, testsupport::awkward::quote + std::string(" ") + testsupport::awkward::chinese);
    const QString path = pous->getObjPath(pou);
    EXPECT_EQ(pous->getObjIndex(pou), "7" + ObjectPath::Separator + "2");
    const QString before = pous->objToData(pou);

    QString data;
    ASSERT_TRUE(pous->removeObject(path, data));
    EXPECT_EQ(data, before);
    EXPECT_FALSE(pous->pou(path.toUInt()));
    testsupport::markCompiled(*project);
    ASSERT_TRUE(pous->insertObject(path, data));
    PouUnit* restored = pous->pou(path.toUInt());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->graphData(), testsupport::everyByte());
    // Everything but the change time, which becomes the time of the insertion.
    QJsonObject a, b;
    ASSERT_TRUE(ObjectData::parse(before, a));
    ASSERT_TRUE(ObjectData::parse(pous->objToData(restored), b));
    a.remove("MODIFYTIME");
    b.remove("MODIFYTIME");
    EXPECT_EQ(a, b);
    EXPECT_TRUE(restored->isModified());
    EXPECT_EQ(testsupport::projectInfo(*project)->property("Compile"), "false");
    EXPECT_EQ(restored->fbInstances(),
              QStringList({"Timer1", QString::fromUtf8(testsupport::awkward::quote) + " " + QString::fromUtf8(testsupport::awkward::chinese)}));

    const QString restoredData = pous->objToData(restored);
    ASSERT_TRUE(pous->save());
    project.reset();
    auto reopened = openProject("Undo");
    PouUnit* loaded = reopened->subModel<PouModel>()->pou(path.toUInt());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(reopened->subModel<PouModel>()->objToData(loaded), restoredData);
    EXPECT_EQ(loaded->graphData(), testsupport::everyByte());
    EXPECT_EQ(loaded->name(), "Quoted");
}

TEST_F(PouModelTest, malformedObjectDataIsRefusedWithoutSideEffects)
{
    auto project = createProject("Refused");
    auto* pous = project->subModel<PouModel>();
    PouUnit* pou = pous->addPou("Main", PouModel::PRGPOU, PouModel::POU_ST, 0);
    pou->setGraphData({'a', 'b'});
    ASSERT_TRUE(pous->save());
    const QString data = pous->objToData(pou);
    const unsigned int next = pou->id() + 1;
    testsupport::markCompiled(*project);

    const QString good = QStringLiteral(R"({"ID":"%1","NAME":"X","TYPE":"2","LANGUAGETYPE":"1","FOLDERID":"0","GRAPHDATA":""})")
                             .arg(next);
    for (const QString& bad :
         {QString("{"), QString("[]"), QString(good).replace("\"GRAPHDATA\":\"\"", "\"GRAPHDATA\":\"%%%\""),
          QString(good).replace("\"TYPE\":\"2\"", "\"TYPE\":\"program\""),
          QString(good).replace("\"FOLDERID\":\"0\"", "\"FOLDERID\":\"-1\"")})
        EXPECT_FALSE(pous->insertObject(QString::number(next), bad)) << bad.toStdString();
    EXPECT_FALSE(pous->insertObject(QString::number(next + 1), good)) << "the id must match the path";
    EXPECT_FALSE(pous->insertObject("100001", QString(good).replace(QString::number(next), "100001")));
    EXPECT_FALSE(pous->insertObject(QString::number(pou->id()), data)) << "the id is in use";
    EXPECT_EQ(testsupport::projectInfo(*project)->property("Compile"), "true") << "nothing was marked";
    EXPECT_EQ(pous->addPou("Next", PouModel::PRGPOU, PouModel::POU_ST, 0)->id(), next);

    // restoreObj refuses bad data before it changes anything.
    pous->save();
    EXPECT_FALSE(pous->restoreObj(pou, QString(data).replace("\"GRAPHDATA\":\"YWI=\"", "\"GRAPHDATA\":\"**\"")));
    EXPECT_FALSE(pous->restoreObj(pou, "not json"));
    EXPECT_FALSE(pous->restoreObj(nullptr, data));
    EXPECT_EQ(pou->graphData(), (std::vector<char>{'a', 'b'}));
    EXPECT_FALSE(pou->isModified());
}

TEST_F(PouModelTest, restoredContentReachesTheFile)
{
    auto project = createProject("Restore");
    auto* pous = project->subModel<PouModel>();
    PouUnit* pou = pous->addPou("Main", PouModel::PRGPOU, PouModel::POU_ST, 0);
    pou->setVarDeclaration("PROGRAM Main // old");
    pou->setProperty("Keep", "k");
    const QString old = pous->objToData(pou);
    pou->setVarDeclaration("PROGRAM Main // new");
    pou->setProperty("Added", "a");
    ASSERT_TRUE(pous->save());

    // Undo of the modification after the save: the file must get the old text back.
    ASSERT_TRUE(pous->restoreObj(pou, old));
    EXPECT_EQ(pou->varDeclaration(), "PROGRAM Main // old");
    EXPECT_EQ(pou->property("Added"), "a") << "properties are merged, not replaced";
    EXPECT_TRUE(pou->isModified());
    ASSERT_TRUE(pous->save());
    EXPECT_EQ(rows(databaseFile("Restore"), "SELECT VarDeclaration FROM POU WHERE Name = 'Main'"),
              QStringList({"PROGRAM Main // old"}));
}

TEST_F(PouModelTest, moveRenameAndReload)
{
    auto project = createProject("Moves");
    auto* pous = project->subModel<PouModel>();
    PouUnit* pou = pous->addPou("Main", PouModel::PRGPOU, PouModel::POU_ST, 0);
    pou->setGraphData({'s'});
    for (const char* folder : {"F1", "F2", "F3"})
        project->subModel<FolderModel>()->addFolder(folder, 0, FolderModel::PouForder);
    ASSERT_TRUE(pous->save());
    const QString path = pous->getObjPath(pou);
    EXPECT_FALSE(pous->moveObject(path, "3"));
    EXPECT_FALSE(pous->moveObject(path, "3" + ObjectPath::Separator + "1" + ObjectPath::Separator));
    EXPECT_EQ(pou->folderId(), 0u);
    EXPECT_FALSE(pou->isModified());
    EXPECT_FALSE(pous->moveObject(path, "4" + ObjectPath::Separator + "1")) << "no folder 4";
    ASSERT_TRUE(pous->moveObject(path, "3" + ObjectPath::Separator + "1"));
    EXPECT_EQ(pous->getObjIndex(pou), "3" + ObjectPath::Separator + "1");
    EXPECT_TRUE(pous->renameObject(path, "Other"));
    EXPECT_FALSE(pous->renameObject("999", "x"));
    EXPECT_EQ(pous->getObjPath(nullptr), "");
    EXPECT_EQ(pous->objToData(nullptr), "");

    pou->setTempProperty("t", "kept");
    pou->setLogicContext("edited");
    pou->setGraphData({'e'});
    ASSERT_TRUE(pou->load());
    EXPECT_EQ(pou->name(), "Main");
    EXPECT_EQ(pou->logicContext(), "");
    EXPECT_EQ(pou->graphData(), std::vector<char>{'s'});
    EXPECT_EQ(pou->property("Row", "none"), "1") << "properties of memory stay, the stored ones are merged in";
    EXPECT_EQ(pou->folderId(), 3u) << "the folder is not read again";
    EXPECT_EQ(pou->tempProperty("t"), "kept");
    EXPECT_FALSE(pou->isModified());
}

} // namespace
