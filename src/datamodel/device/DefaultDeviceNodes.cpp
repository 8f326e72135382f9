#include "datamodel/device/DefaultDeviceNodes.h"

#include "datamodel/device/BusProtocolNode.h"
#include "datamodel/device/DeviceTreeNodeFactory.h"
#include "datamodel/device/LANInterfaceNode.h"
#include "datamodel/device/ModuleDeviceNode.h"
#include "datamodel/device/PLCDeviceBaseNode.h"
#include "datamodel/device/PhysicalInterfaceNode.h"
#include "datamodel/device/ProtocolDeviceNode.h"
#include "datamodel/device/SlotDeviceNode.h"

#include <functional>
#include <vector>

namespace {

// A node of one device type on the base class that places it in the tree.
template <typename Base>
class DescribedNode final : public Base
{
public:
    DescribedNode(QString typeId, unsigned int id, const QString& name, DeviceTreeModel* model)
        : Base(id, name, model), m_typeId(std::move(typeId))
    {
    }
    QString getTypeID() const override { return m_typeId; }

private:
    const QString m_typeId;
};

template <typename Base>
class DescribedNodeFactory final : public DeviceTreeNodeFactory
{
public:
    explicit DescribedNodeFactory(QString typeId) : m_typeId(std::move(typeId)) {}
    DeviceTreeNode* create(unsigned int id, const QString& name, DeviceTreeModel* model) const override
    {
        return new DescribedNode<Base>(m_typeId, id, name, model); // owned by the caller
    }

private:
    const QString m_typeId;
};

struct Kind
{
    QStringList typeIds;
    std::function<std::unique_ptr<DeviceTreeNodeFactory>(const QString&)> make;
};

template <typename Base>
Kind kind(QStringList typeIds)
{
    return {std::move(typeIds), [](const QString& id) { return std::make_unique<DescribedNodeFactory<Base>>(id); }};
}

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> table = {
        kind<PLCDeviceBaseNode>({"PLCDeviceNode"}),
        kind<ProtocolDeviceNode>({"LocalBusProtocolNode"}),
        kind<SlotDeviceNode>({"BDSlotDeviceNode"}),
        kind<LANInterfaceNode>({"LANInterfaceNode"}),
        kind<PhysicalInterfaceNode>({"SerialInterfaceNode", "EtherCATInterfaceNode", "CANInterfaceNode"}),
        kind<BusProtocolNode>({"ModbusTcpProtocolNode", "ModbusRtuProtocolNode", "NNLinkProtocolNode",
                               "FreePortProtocolNode", "EtherCATMasterProtocolNode", "CANopenMasterProtocolNode"}),
        kind<ModuleDeviceNode>({"VX7IOModuleNode", "NX5IOModuleNode", "NX5BDModuleNode", "EtherCATSlaveNode",
                                "ModbusTcpSlaveNode", "ModbusRtuSlaveNode", "NNLinkStationNode", "CANopenSlaveNode"}),
    };
    return table;
}

} // namespace

void DefaultDeviceNodes::registerDefaultDeviceNodes()
{
    for (const Kind& k : kinds())
        for (const QString& typeId : k.typeIds)
            if (!deviceTreeNodeFactorys().contains(typeId))
                registerDeviceTreeNodeFactory(typeId, k.make(typeId));
}

QStringList DefaultDeviceNodes::typeIds()
{
    QStringList out;
    for (const Kind& k : kinds())
        out += k.typeIds;
    return out;
}
