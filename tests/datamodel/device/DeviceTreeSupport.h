#pragma once

#include "ModelTestSupport.h"

#include "datamodel/device/DeviceTreeModel.h"
#include "datamodel/device/DeviceTreeNode.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/DefaultApplication.h"
#include "host/SettingsStore.h"

#include <QString>

#include <memory>
#include <string>

namespace testsupport {

// A user project on one of the sample controllers, description texts in English.
class DeviceTreeTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        defaultHost().settings()->setValue(QStringLiteral("General/Language"), QStringLiteral("en_US"));
    }

    std::unique_ptr<PlcProjectModel> create(const std::string& name, const std::string& device)
    {
        auto project = std::make_unique<PlcProjectModel>(name, temp.path().toStdString(), databaseFile(name));
        auto p = params(name);
        p["deviceType"] = device;
        EXPECT_TRUE(project->create(p)) << "creating " << name << " on " << device;
        return project;
    }

    static DeviceTreeModel* tree(AbstractProjectModel* project) { return project->subModel<DeviceTreeModel>(); }

    // The first child of `node` called `name`, or null.
    static DeviceTreeNode* child(const DeviceTreeNode* node, const QString& name)
    {
        for (DeviceTreeNode* c : node->getChildNodes())
            if (c->getName() == name)
                return c;
        return nullptr;
    }

    static QStringList childNames(const DeviceTreeNode* node)
    {
        QStringList out;
        for (const DeviceTreeNode* c : node->getChildNodes())
            out << c->getName();
        return out;
    }
};

} // namespace testsupport
