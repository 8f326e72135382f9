#pragma once

#include "../device/DeviceTreeSupport.h"

#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/motion/AxisGroupModel.h"
#include "datamodel/motion/AxisModel.h"
#include "datamodel/motion/EcamModel.h"
#include "datamodel/motion/TraceModel.h"
#include "host/CookieStore.h"

#include "accore/ACCore.h"
#include "accore/SafeAccore.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolVariable.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Names and texts that trip up quoting, formatting and encodings.
inline const QString QuoteText = QStringLiteral("it's 'quoted'");
inline const QString PercentText = QStringLiteral("%1 and %2");
inline const QString ChineseText = QStringLiteral("轴配置 电子凸轮");

// A user project on a sample controller, registered under its name (as the command stack and
// the synchroniser find it) and released again after the test.
class MotionTest : public DeviceTreeTest
{
protected:
    void open(const std::string& device, const std::string& style = "IECStyle")
    {
        name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        auto created = std::make_unique<PlcProjectModel>(name, temp.path().toStdString(), databaseFile(name));
        auto p = params(name, "Project", style);
        p["deviceType"] = device;
        ASSERT_TRUE(created->create(p));
        project = created.release();
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(name, project), ProjectModelManager::Success);
        defaultHost().cookies()->setValue("Project.Name", QString::fromStdString(name));
    }
    // Saves, drops the project and opens its file again.
    void reopen()
    {
        ASSERT_TRUE(project->save());
        ProjectModelManager::instance()->removeProjectModel(name);
        project = openProject(name).release();
        ASSERT_TRUE(project);
        ASSERT_EQ(ProjectModelManager::instance()->addProjectModel(name, project), ProjectModelManager::Success);
    }
    void TearDown() override
    {
        if (project)
            ProjectModelManager::instance()->removeProjectModel(name);
        defaultHost().cookies()->remove("Project.Name");
    }

    AxisModel* axes() const { return project->subModel<AxisModel>(); }
    AxisGroupModel* groups() const { return project->subModel<AxisGroupModel>(); }
    EcamModel* cams() const { return project->subModel<EcamModel>(); }
    TraceModel* traces() const { return project->subModel<TraceModel>(); }

    // The type of the variable `variable` of the hidden list `list` in the project's core;
    // empty when the core does not declare it.
    std::string coreType(const char* list, const std::string& variable) const
    {
        ac::SafeAccore core(name);
        ac::SymbolGVL* gvl = core.getAccore() ? core.getAccore()->symbolGVL(list) : nullptr;
        ac::SymbolVariable* var = gvl ? gvl->param(variable) : nullptr;
        return var && var->dataType() ? var->dataType()->name() : std::string();
    }
    int coreCount(const char* list) const
    {
        ac::SafeAccore core(name);
        ac::SymbolGVL* gvl = core.getAccore() ? core.getAccore()->symbolGVL(list) : nullptr;
        return gvl ? gvl->paramsCount() : -1;
    }
    std::string compileFlag() const
    {
        return project->subModel<PrjInfoModel>()->projectInfo()->property("Compile");
    }
    QStringList fileRows(const QString& statement) const { return rows(databaseFile(name), statement); }

    std::string name;
    AbstractProjectModel* project = nullptr; // owned by the registry
};

} // namespace testsupport
