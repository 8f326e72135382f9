// Data types: round trips, names that repeat, and the undo slots.
#include "ProgramTestSupport.h"

#include "datamodel/project/PlcProjectModel.h"
#include "datamodel/program/DataTypeModel.h"

using testsupport::ModelTest;

namespace {

using Unit = DataTypeModel::DataUnit;

class DataTypeModelTest : public ModelTest
{
};

std::string structText(const std::string& name)
{
    return "TYPE " + name + " :\nSTRUCT\n  x : INT;\n  label : STRING(20) := '" + name + "';\nEND_STRUCT\nEND_TYPE";
}

TEST_F(DataTypeModelTest, everyStoredFieldSurvivesSaveAndReopen)
{
    auto project = createProject("Types");
    auto* types = project->subModel<DataTypeModel>();
    std::vector<unsigned int> ids, times;
    for (const std::string& name : testsupport::awkwardNames()) {
        Unit* unit = types->addDataUnit(name, DataTypeModel::Enum, 5);
        ASSERT_TRUE(unit);
        EXPECT_TRUE(logged("添加数据类型:" + name));
        unit->setVarDeclaration(structText(name));
        unit->setProperty("Row", "1");
        unit->setProperty("Text", name);
        ids.push_back(unit->id());
        times.push_back(unit->modifiedTime());
    }
    ASSERT_TRUE(types->save());
    EXPECT_TRUE(logged("保存数据"));
    project.reset();

    auto reopened = openProject("Types");
    ASSERT_TRUE(reopened);
    auto* loaded = reopened->subModel<DataTypeModel>();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string& name = testsupport::awkwardNames()[i];
        Unit* unit = loaded->dataUnit(ids[i]);
        ASSERT_TRUE(unit) << name;
        EXPECT_EQ(unit->name(), name);
        EXPECT_EQ(unit->type(), DataTypeModel::Enum);
        EXPECT_EQ(unit->varDeclaration(), structText(name));
        EXPECT_EQ(unit->folderId(), 5u);
        EXPECT_EQ(unit->modifiedTime(), times[i]);
        EXPECT_EQ(unit->property("Text"), name);
        EXPECT_EQ(unit->property("Row"), "1");
        EXPECT_FALSE(unit->isModified());
    }
}

TEST_F(DataTypeModelTest, namesMayRepeatAndTheLowerIdIsFound)
{
    auto project = createProject("Repeat");
    auto* types = project->subModel<DataTypeModel>();
    Unit* first = types->addDataUnit("Point", DataTypeModel::Struct, 0);
    Unit* second = types->addDataUnit("Point", DataTypeModel::Struct, 0);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->id(), second->id());
    EXPECT_EQ(types->dataUnit(QString("POINT")), first);
    EXPECT_TRUE(types->removeDataUnit(first));
    EXPECT_EQ(types->dataUnit(QString("point")), second);
    EXPECT_TRUE(logged("删除数据类型:Point"));
    std::vector<Unit*> all;
    types->allDataUnits(all);
    EXPECT_EQ(all, std::vector<Unit*>{second});

    // Content changes mark the project for compilation; filing it elsewhere does not.
    PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*project);
    testsupport::markCompiled(*project);
    second->setFolderId(4);
    EXPECT_EQ(info->property("Compile"), "true");
    second->setVarDeclaration("TYPE Point : STRUCT x, y : REAL; END_STRUCT END_TYPE");
    EXPECT_EQ(info->property("Compile"), "false");
    EXPECT_NE(info->property("ProgramModifiedTime"), "0");
    EXPECT_EQ(info->property("CfgModifiedTime"), "0");
    EXPECT_FALSE(second->property("VarDeclModifiedTime").empty());
}

TEST_F(DataTypeModelTest, removeAndInsertRestoreAType)
{
    auto project = createProject("Undo");
    auto* types = project->subModel<DataTypeModel>();
    Unit* unit = types->addDataUnit(testsupport::awkward::chinese, DataTypeModel::Enum, 2);
    unit->setVarDeclaration("TYPE Colour : (Red, Green := 5, Blue); END_TYPE");
    unit->setProperty("Row", "6");
    const QString path = types->getObjPath(unit);
    EXPECT_EQ(types->getObjIndex(unit), "2" + ObjectPath::Separator + "6");
    const QString before = types->objToData(unit);
    testsupport::markCompiled(*project);

    QString data;
    ASSERT_TRUE(types->removeObject(path, data));
    EXPECT_EQ(data, before);
    EXPECT_EQ(testsupport::projectInfo(*project)->property("Compile"), "false");
    ASSERT_TRUE(types->insertObject(path, data));
    Unit* restored = types->dataUnit(path.toUInt());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->name(), testsupport::awkward::chinese);
    EXPECT_EQ(restored->type(), DataTypeModel::Enum);
    EXPECT_EQ(restored->varDeclaration(), "TYPE Colour : (Red, Green := 5, Blue); END_TYPE");
    EXPECT_EQ(restored->folderId(), 2u);
    EXPECT_EQ(restored->property("Row"), "6");
    EXPECT_TRUE(restored->isModified());
    EXPECT_FALSE(types->insertObject(path, data));
    EXPECT_FALSE(types->insertObject("9", "{\"ID\":\"9\",\"TYPE\":\"enum\"}"));
    EXPECT_FALSE(types->dataUnit(9));

    ASSERT_TRUE(types->save());
    ASSERT_TRUE(types->moveObject(path, "4" + ObjectPath::Separator + "0"));
    EXPECT_FALSE(types->moveObject("12345", "4" + ObjectPath::Separator + "0"));
    restored->rename("Other");
    ASSERT_TRUE(restored->load());
    EXPECT_EQ(restored->name(), testsupport::awkward::chinese);
    EXPECT_TRUE(logged(std::string("重载数据:") + testsupport::awkward::chinese));
    EXPECT_EQ(restored->folderId(), 4u);
}

} // namespace
