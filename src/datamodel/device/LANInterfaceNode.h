#pragma once

#include "datamodel/device/PhysicalInterfaceNode.h"

// An Ethernet port, the network interface that a controller conversion replaces.
class DATAMODEL_EXPORT LANInterfaceNode : public PhysicalInterfaceNode
{
public:
    LANInterfaceNode(unsigned int id, const QString& name, DeviceTreeModel* model) : PhysicalInterfaceNode(id, name, model) {}
};
