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
    testsupport::makeFolders(*project, FolderModel::DataTypeForder, 5);
    for (const std::string& name : testsupport::awkwardNames()) {
        const std::string typeName = "Type" + std::to_string(ids.size());
        Unit* unit = types->addDataUnit(typeName, DataTypeModel::Enum, 5);
        ASSERT_TRUE(unit);
        EXPECT_TRUE(logged("添加数据类型:" + typeName));
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
        EXPECT_EQ(unit->name(), "Type" + std::to_string(i));
        EXPECT_EQ(unit->type(), DataTypeModel::Enum);
        EXPECT_EQ(unit->varDeclaration(), structText(name));
        EXPECT_EQ(unit->folderId(), 5u);
        EXPECT_EQ(unit->modifiedTime(), times[i]);
        EXPECT_EQ(unit->property("Text"), name);
        EXPECT_EQ(unit->property("Row"), "1");
        EXPECT_FALSE(unit->isModified());
    }
}

// Names used to repeat: two types "Point" were taken, and the core and every lookup saw one.
// (Rows of older files that share a name are found by the lower id: tst_NameIndex.)
TEST_F(DataTypeModelTest, namesAreUniqueIgnoringCase)
{
    auto project = createProject("Repeat");
    auto* types = project->subModel<DataTypeModel>();
    Unit* first = types->addDataUnit("Point", DataTypeModel::Struct, 0);
    ASSERT_TRUE(first);
    EXPECT_FALSE(types->addDataUnit("POINT", DataTypeModel::Struct, 0));
    EXPECT_EQ(types->lastError(), "add data type 'POINT' refused: a data type named 'Point' exists already");
    Unit* second = types->addDataUnit("Vector", DataTypeModel::Struct, 0);
    ASSERT_TRUE(second);
    EXPECT_EQ(types->dataUnit(QString("POINT")), first);
    EXPECT_TRUE(types->removeDataUnit(first));
    EXPECT_FALSE(types->dataUnit(QString("point")));
    EXPECT_TRUE(types->addDataUnit("point", DataTypeModel::Struct, 0)) << "a removed name is free";
    EXPECT_TRUE(types->removeDataUnit(types->dataUnit(QString("point"))));
    EXPECT_TRUE(logged("删除数据类型:Point"));
    std::vector<Unit*> all;
    types->allDataUnits(all);
    EXPECT_EQ(all, std::vector<Unit*>{second});

    // Content changes mark the project for compilation; filing it elsewhere does not.
    PrjInfoModel::PrjInfo* info = testsupport::projectInfo(*project);
    testsupport::markCompiled(*project);
    second->setFolderId(4);
    EXPECT_EQ(info->property("Compile"), "true");
    second->setVarDeclaration("TYPE Vector : STRUCT x, y : REAL; END_STRUCT END_TYPE");
    EXPECT_EQ(info->property("Compile"), "false");
    EXPECT_NE(info->property("ProgramModifiedTime"), "0");
    EXPECT_EQ(info->property("CfgModifiedTime"), "0");
    EXPECT_FALSE(second->property("VarDeclModifiedTime").empty());
}

TEST_F(DataTypeModelTest, removeAndInsertRestoreAType)
{
    auto project = createProject("Undo");
    auto* types = project->subModel<DataTypeModel>();
    testsupport::makeFolders(*project, FolderModel::DataTypeForder, 4);
    Unit* unit = types->addDataUnit("Colour", DataTypeModel::Enum, 2);
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
    EXPECT_EQ(restored->name(), "Colour");
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
    EXPECT_TRUE(restored->rename("Other"));
    ASSERT_TRUE(restored->load());
    EXPECT_EQ(restored->name(), "Colour");
    EXPECT_TRUE(logged("重载数据:Colour"));
    EXPECT_EQ(restored->folderId(), 4u);
}

} // namespace
