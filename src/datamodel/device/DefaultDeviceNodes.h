#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QStringList>

// The node classes of the sample hardware (hardware/): one concrete class per device type id,
// built on the library's node bases (a controller on PLCDeviceBaseNode, an Ethernet port on
// LANInterfaceNode, other ports on PhysicalInterfaceNode, a protocol on an interface on
// BusProtocolNode, the local bus on ProtocolDeviceNode, a board slot on SlotDeviceNode,
// modules and bus slaves on ModuleDeviceNode). A host that ships these descriptions calls
// registerDefaultDeviceNodes() once at start-up, as the command-line tool and the tests do.
class DATAMODEL_EXPORT DefaultDeviceNodes
{
public:
    // Registers a factory for every type id of typeIds() not registered yet; existing
    // registrations of the host stay.
    static void registerDefaultDeviceNodes();
    static QStringList typeIds();
};
