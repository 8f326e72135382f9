#pragma once

#include "datamodel/exchange/ProjectText.h"
#include "datamodel/motion/EcamData.h"

#include <vector>

class AbstractProjectModel;

// Writes the objects that live in tables of their own beside the program tree: axes, axis
// groups, cam tables (their key points one per line in a file of their own), traces, watch
// lists, the HMI list, the soft component comments and the translation table. One file per
// object where objects have names, so that a comparison of two exports names the objects
// that changed. Ids are written as they are: axis groups name their axes by id, and the
// device tree keeps the device ids that axes, groups and cam tables hold.
class MotionAuxWriter
{
public:
    static void write(const AbstractProjectModel& project, ProjectText::Files& files);
    // A cam table's points file: CamPointsHead, then one line per key point in row order.
    // Numbers are written in their shortest form that reads back to the same value.
    static QByteArray pointsText(const std::vector<EcamPointData>& points);
};
