// Axis groups and traces, and undo and redo of adding, removing and renaming every motion
// object through the project's command stack, with the hidden variable lists kept in step.
#include "MotionTestSupport.h"

#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/undo/ModelCommand.h"
#include "datamodel/undo/ProjectModelStack.h"

#include <QSignalSpy>

using testsupport::MotionTest;

namespace {

class MotionModelsTest : public MotionTest
{
protected:
    ProjectModelStack stack;
    void TearDown() override
    {
        stack.clear();
        MotionTest::TearDown();
    }
};

TEST_F(MotionModelsTest, groupsAreNumberedAndHoldNoAxesAtFirst)
{
    open("VX7_1616MT");
    AxisGroupModel::AxisGroupTable* g0 = groups()->addAxisGroupTable("G0");
    AxisGroupModel::AxisGroupTable* g1 = groups()->addAxisGroupTable("G1");
    ASSERT_TRUE(g0 && g1);
    for (const char* slot : {"X-Axis", "Y-Axis", "Z-Axis", "Aus-Axis"})
        EXPECT_EQ(g0->property(slot), QStringLiteral("-1")) << slot;
    EXPECT_EQ(g0->property("Version"), QStringLiteral("0.2.0.0"));
    EXPECT_EQ(g0->property("AxisGroupTypeID"), QStringLiteral("5"));
    EXPECT_NE(g0->property("AxisGroupId").toUInt(), 0u);
    EXPECT_NE(g0->property("AxisGroupId"), g1->property("AxisGroupId"));
    EXPECT_EQ(g0->propertys().size(), AxisGroupModel::defaultParameters().size());
    EXPECT_EQ(groups()->addAxisGroupTable("G2")->property("AxisGroupNo"), QStringLiteral("2"));
    ASSERT_TRUE(groups()->removeAxisGroupTable(g0));
    EXPECT_EQ(groups()->addAxisGroupTable("G3")->property("AxisGroupNo"), QStringLiteral("0"));
    EXPECT_EQ(groups()->addAxisGroupTable("g3"), nullptr) << "names are compared without case";
    EXPECT_EQ(coreType("HiddenAxisGroupVar", "G3"), "AXES_GROUP_REF");
    EXPECT_TRUE(coreType("HiddenAxisGroupVar", "G0").empty());
    EXPECT_EQ(groups()->getAxisGroupStateMap().value(AxisGroupModel::SynchronousMotion),
              QStringLiteral("Synchronous Motion"));

    QSignalSpy changed(g1, &ModelObject::dataChanged);
    g1->setProperty("X-Axis", "3");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(1).toString(), QStringLiteral("AxisGroupView"));
    EXPECT_EQ(compileFlag(), "false");

    g1->setProperty("Comment", testsupport::QuoteText + testsupport::PercentText + testsupport::ChineseText);
    const auto before = g1->propertys();
    const unsigned int id = g1->id();
    reopen();
    ASSERT_TRUE(groups()->axisGroupTable(id));
    EXPECT_EQ(groups()->axisGroupTable(id)->propertys(), before);
    EXPECT_EQ(groups()->axisGroupTable(id)->name(), "G1");
}

TEST_F(MotionModelsTest, theSmallerFamilyHasFewerCamTables)
{
    open("NX5_1410MT");
    EXPECT_EQ(cams()->getEcamTableMax(), 8);
    EXPECT_EQ(cams()->getEcamPointMax(), 360);
    ASSERT_TRUE(cams()->addEcamTable("Cam"));
    EXPECT_EQ(cams()->ecamTypeId(), 6u);
    EXPECT_EQ(cams()->getDeviceName(), QStringLiteral("NX5_1410MT"));
}

TEST_F(MotionModelsTest, aGroupWithoutDeviceTreeKeepsDeviceIdZero)
{
    open("VX7_1616MT");
    ASSERT_TRUE(project->save());
    ASSERT_TRUE(QSqlQuery(project->db()).exec("DELETE FROM DeviceTree"));
    ProjectModelManager::instance()->removeProjectModel(name);
    project = openProject(name).release();
    ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(name, project), ProjectModelManager::Success);
    ASSERT_FALSE(project->subModel<DeviceTreeModel>()->getRootNode());
    AxisGroupModel::AxisGroupTable* group = groups()->addAxisGroupTable("G");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->property("AxisGroupId"), QStringLiteral("0"));
    EXPECT_EQ(group->property("AxisGroupTypeID"), QStringLiteral("0"));
    EXPECT_EQ(group->property("AxisGroupNo"), QStringLiteral("0"));
    EXPECT_EQ(groups()->addAxisGroupTable("H")->property("AxisGroupNo"), QStringLiteral("1"));
    EXPECT_EQ(axes()->addAxisTable("A"), nullptr);
    EXPECT_EQ(axes()->lastError(), QStringLiteral("the controller offers no axes"));
    EXPECT_EQ(axes()->getDeviceName(), QString());
}

TEST_F(MotionModelsTest, tracesKeepTheirVariablesAndIgnoreTheDownloadCounter)
{
    open("VX7_1616MT");
    TraceModel::TraceTable* trace = traces()->addTraceTable(testsupport::QuoteText.toStdString());
    ASSERT_TRUE(trace);
    EXPECT_TRUE(trace->propertys().empty());
    ASSERT_TRUE(project->save());
    EXPECT_FALSE(trace->isModified());
    QSignalSpy changed(trace, &ModelObject::dataChanged);
    trace->setProperty("DownLoadNum", "3");
    EXPECT_FALSE(trace->isModified());
    EXPECT_EQ(changed.count(), 0);

    trace->appendTraceVar({testsupport::ChineseText.toStdString(), true, 4});
    trace->appendTraceVar({"Main.x[1]", false, -1});
    trace->setProperty("Title", testsupport::PercentText.toStdString());
    ASSERT_EQ(changed.count(), 3);
    EXPECT_EQ(changed.at(1).at(1).toString(), QStringLiteral("trace"));
    EXPECT_EQ(changed.at(2).at(2).toString(), QStringLiteral("Title"));
    const auto vars = trace->traceVarPropertys();
    const unsigned int id = trace->id();
    EXPECT_TRUE(traces()->moveObject(QString::number(id), "5"));
    EXPECT_FALSE(traces()->moveObject("4242", "5"));
    EXPECT_FALSE(traces()->moveObject(QString::number(id), ""));
    reopen();
    TraceModel::TraceTable* back = traces()->traceTable(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name(), testsupport::QuoteText.toStdString());
    EXPECT_EQ(back->traceVarPropertys(), vars);
    EXPECT_EQ(back->property("Title"), testsupport::PercentText.toStdString());
    EXPECT_EQ(back->property("DownLoadNum"), "0");
    EXPECT_EQ(traces()->getObjIndex(back), QStringLiteral("5"));

    // A stored counter of 7 loads as 0; an element without ActiveDrawing reads as false, 0.
    {
        QSqlQuery update(project->db());
        update.prepare("UPDATE Trace SET Properties = ? WHERE Id = ?");
        update.addBindValue(QStringLiteral(R"({"DownLoadNum":"7","TraceVars":"{\"TraceVars\":[{\"VarName\":\"v\",\"x\":1}]}"})"));
        update.addBindValue(id);
        ASSERT_TRUE(update.exec());
    }
    ASSERT_TRUE(traces()->open());
    back = traces()->traceTable(id);
    EXPECT_EQ(back->property("DownLoadNum"), "0");
    ASSERT_EQ(back->traceVarPropertys().size(), 1u);
    EXPECT_EQ(back->traceVarPropertys()[0], (TraceModel::TraceVarProperty{"v", false, 0}));
}

TEST_F(MotionModelsTest, undoAndRedoOfAddRemoveAndRenameForEveryKind)
{
    open("VX7_1616MT");
    struct Kind
    {
        SubModel* model;
        ModelObject* object;
        const char* list; // null: a trace declares nothing
    };
    AxisModel::AxisTable* axis = axes()->addAxisTable("Ax");
    AxisGroupModel::AxisGroupTable* group = groups()->addAxisGroupTable("Gr");
    EcamModel::EcamTable* cam = cams()->addEcamTable("Cm");
    ASSERT_TRUE(cam && cam->addPoint(0, {}) && cam->addPoint(1, {}));
    TraceModel::TraceTable* trace = traces()->addTraceTable("Tr");
    const std::vector<Kind> kinds = {{axes(), axis, "HiddenAxisVar"},
                                     {groups(), group, "HiddenAxisGroupVar"},
                                     {cams(), cam, "EcamVars"},
                                     {traces(), trace, nullptr}};
    auto nameOf = [](SubModel* model, const QString& path) -> std::string {
        if (auto* m = dynamic_cast<AxisModel*>(model))
            return m->axisTable(path.toUInt()) ? m->axisTable(path.toUInt())->name() : std::string();
        if (auto* m = dynamic_cast<AxisGroupModel*>(model))
            return m->axisGroupTable(path.toUInt()) ? m->axisGroupTable(path.toUInt())->name() : std::string();
        if (auto* m = dynamic_cast<EcamModel*>(model))
            return m->ecamTable(path.toUInt()) ? m->ecamTable(path.toUInt())->name() : std::string();
        auto* m = dynamic_cast<TraceModel*>(model);
        return m->traceTable(path.toUInt()) ? m->traceTable(path.toUInt())->name() : std::string();
    };
    for (const Kind& kind : kinds) {
        const QString path = kind.model->getObjPath(kind.object);
        const std::string original = nameOf(kind.model, path);
        const std::string renamed = original + "2";
        SCOPED_TRACE(original);
        ASSERT_TRUE(kind.model->renameObject(path, QString::fromStdString(renamed)));
        stack.pushCommand(new ModelRenameCommand(kind.object, kind.model, QString::fromStdString(original),
                                                 QString::fromStdString(renamed)));
        stack.undo();
        EXPECT_EQ(nameOf(kind.model, path), original);
        if (kind.list) {
            EXPECT_FALSE(coreType(kind.list, original).empty());
            EXPECT_TRUE(coreType(kind.list, renamed).empty());
        }
        stack.redo();
        EXPECT_EQ(nameOf(kind.model, path), renamed);

        auto* remove = new ModelRemoveCommand(kind.object, kind.model);
        QString data;
        ASSERT_TRUE(kind.model->removeObject(path, data));
        stack.pushCommand(remove);
        EXPECT_TRUE(nameOf(kind.model, path).empty());
        if (kind.list) {
            EXPECT_TRUE(coreType(kind.list, renamed).empty());
        }
        stack.undo();
        EXPECT_EQ(nameOf(kind.model, path), renamed);
        if (kind.list) {
            EXPECT_FALSE(coreType(kind.list, renamed).empty());
        }
        stack.redo();
        EXPECT_TRUE(nameOf(kind.model, path).empty());
        stack.undo();
        ASSERT_EQ(nameOf(kind.model, path), renamed);
    }
    // The cam came back with its points and their ids; the axis with a device id.
    EcamModel::EcamTable* back = cams()->ecamTable("Cm2");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pointCount(), 2);
    EXPECT_NE(axes()->axisTable("Ax2")->property("AxisID").toUInt(), 0u);

    // Undo of an insertion removes the object and its variable; redo brings both back.
    AxisModel::AxisTable* added = axes()->addAxisTable("Added");
    ASSERT_TRUE(added);
    const QString path = axes()->getObjPath(added);
    stack.pushCommand(new ModelInsertCommand(added, axes()));
    stack.undo();
    EXPECT_FALSE(axes()->axisTable(path.toUInt()));
    EXPECT_TRUE(coreType("HiddenAxisVar", "Added").empty());
    stack.redo();
    EXPECT_TRUE(axes()->axisTable(path.toUInt()));
    EXPECT_EQ(coreType("HiddenAxisVar", "Added"), "AXIS_REF");

    // What the file holds after a save matches memory, hidden lists included.
    reopen();
    EXPECT_EQ(coreCount("HiddenAxisVar"), 2);
    EXPECT_EQ(coreCount("HiddenAxisGroupVar"), 1);
    EXPECT_EQ(coreCount("EcamVars"), 1);
    EXPECT_EQ(cams()->ecamTable("Cm2")->pointCount(), 2);
}

TEST_F(MotionModelsTest, propertyChangesAndPointsAreUndoneThroughChangeProperty)
{
    open("VX7_1616MT");
    EcamModel::EcamTable* cam = cams()->addEcamTable("Cam");
    ASSERT_TRUE(cam->addPoint(0, {}));
    const QString before = EcamModel::pointsToJson(cam->getAllPoint());
    EcamData p;
    p.mainAxis = 5;
    ASSERT_TRUE(cam->addPoint(1, p));
    const QString after = EcamModel::pointsToJson(cam->getAllPoint());
    stack.pushCommand(new ModelModifyCommand(cam, cams(), "points", before, after));
    stack.undo();
    EXPECT_EQ(cam->pointCount(), 1);
    stack.redo();
    ASSERT_EQ(cam->pointCount(), 2);
    EXPECT_EQ(cam->getAllCamPoint()[1].mainAxis, 5);
    EXPECT_FALSE(cams()->changeProperty(cams()->getObjPath(cam), "points", after, "{\"points\":[{\"ID\":1}]}"));
    EXPECT_EQ(cam->pointCount(), 2) << "unreadable points change nothing";

    AxisModel::AxisTable* axis = axes()->addAxisTable("A");
    ASSERT_TRUE(axes()->changeProperty(axes()->getObjPath(axis), "MaxVel", "10", "99"));
    stack.pushCommand(new ModelModifyCommand(axis, axes(), "MaxVel", "10", "99"));
    stack.undo();
    EXPECT_EQ(axis->property("MaxVel"), QStringLiteral("10"));
}

// An imported project writes its motion objects as rows and has the hidden lists declare them
// in one step: the lists then hold exactly those variables, in the order given.
TEST_F(MotionModelsTest, hiddenListsDeclareExactlyTheNamesGivenOrNothingChanges)
{
    open("VX7_1616MT");
    ASSERT_TRUE(axes()->addAxisTable("Old"));
    auto listText = [this](const char* list) {
        return project->subModel<GlobalVarModel>()->varTable(QString::fromLatin1(list))->varDeclaration();
    };
    QString error;
    ASSERT_TRUE(AxisModel::declareVariables(project, {"Second", "First"}, &error)) << error.toStdString();
    const std::string text = listText("HiddenAxisVar");
    EXPECT_EQ(text.find("Old"), std::string::npos) << text;
    ASSERT_NE(text.find("Second"), std::string::npos) << text;
    EXPECT_LT(text.find("Second"), text.find("First")) << "the order given";
    EXPECT_EQ(coreType("HiddenAxisVar", "First"), "AXIS_REF");
    EXPECT_EQ(coreCount("HiddenAxisVar"), 2);

    ASSERT_TRUE(AxisGroupModel::declareVariables(project, {"Pair"}, &error)) << error.toStdString();
    EXPECT_EQ(coreType("HiddenAxisGroupVar", "Pair"), "AXES_GROUP_REF");
    ASSERT_TRUE(EcamModel::declareVariables(project, {"Cam_1"}, &error)) << error.toStdString();
    EXPECT_EQ(coreType("EcamVars", "Cam_1"), "CAM_TABLE_REF");

    // A name that is no identifier, or one given twice, is refused and the list stays.
    for (const std::vector<std::string>& names : {std::vector<std::string>{"Good", "not an identifier"},
                                                  std::vector<std::string>{"Twice", "TWICE"}}) {
        error.clear();
        EXPECT_FALSE(EcamModel::declareVariables(project, names, &error));
        EXPECT_TRUE(error.contains(QString::fromStdString(names[1]))) << error.toStdString();
        EXPECT_NE(listText("EcamVars").find("Cam_1"), std::string::npos);
        EXPECT_EQ(listText("EcamVars").find("Good"), std::string::npos);
    }
}

} // namespace
