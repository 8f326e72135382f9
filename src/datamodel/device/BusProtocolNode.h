#pragma once

#include "datamodel/device/DeviceTreeNode.h"

// A protocol on an interface: its description lies under the interface's "Protocols".
class DATAMODEL_EXPORT BusProtocolNode : public DeviceTreeNode
{
public:
    BusProtocolNode(unsigned int id, const QString& name, DeviceTreeModel* model) : DeviceTreeNode(id, name, model) {}
};
