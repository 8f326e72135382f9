#pragma once

#include "datamodel/device/DeviceTreeNode.h"

// A port of the controller: its description lies under the controller's "Interfaces".
class DATAMODEL_EXPORT PhysicalInterfaceNode : public DeviceTreeNode
{
public:
    PhysicalInterfaceNode(unsigned int id, const QString& name, DeviceTreeModel* model) : DeviceTreeNode(id, name, model) {}
};
