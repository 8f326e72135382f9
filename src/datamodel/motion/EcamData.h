#pragma once

#include <cstdint>

// One key point of an electronic cam table: the slave position for a master ("main") axis
// position, with velocity, acceleration and the curve type towards the next point. The same
// 40 bytes as in the controller's cam configuration file.
struct EcamData
{
    double mainAxis = 0;
    double slaveAxis = 0;
    double velocity = 0;
    double acceleration = 0;
    uint16_t camCurveType = 0;
    uint16_t align1 = 0;
    uint16_t align2 = 0;
    uint16_t align3 = 0;

    bool operator==(const EcamData& o) const
    {
        return mainAxis == o.mainAxis && slaveAxis == o.slaveAxis && velocity == o.velocity
               && acceleration == o.acceleration && camCurveType == o.camCurveType && align1 == o.align1
               && align2 == o.align2 && align3 == o.align3;
    }
    bool operator!=(const EcamData& o) const { return !(*this == o); }
};

// A key point with its id (unique within the project).
struct EcamPointData
{
    uint32_t id = 0;
    EcamData data;
};
