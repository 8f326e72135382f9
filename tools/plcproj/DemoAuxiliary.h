#pragma once

#include "Output.h"

#include <QJsonObject>

class AbstractPlcProjectModel;

namespace plcproj {

// The demo's soft component comments, watch list and HMI list (DemoAuxiliary.cpp).
bool fillAuxiliary(AbstractPlcProjectModel* project);
QJsonObject describeAuxiliary(AbstractPlcProjectModel* project);
void printAuxiliary(const Output& out, const QJsonObject& auxiliary);

} // namespace plcproj
