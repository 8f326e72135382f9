#pragma once

// The one door to the project data model: every exported class.

#include "datamodel/model/AbstractPlcProjectModel.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/BitMap.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/ModelObject.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/ObjectProperties.h"
#include "datamodel/model/PlcLibraryModel.h"
#include "datamodel/model/PlcProjectModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/model/SubModel.h"
