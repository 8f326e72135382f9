#include "datamodel/program/HiddenObjects_p.h"

#include "datamodel/model/TableSubModel_p.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

void HiddenObjects::create(AbstractProjectModel& project)
{
    if (auto* lists = project.subModel<GlobalVarModel>()) {
        for (const char* name : {"HiddenAxisVar", "HiddenAxisGroupVar", "IOMappingVars", "EcamVars"}) {
            const unsigned int id = lists->findExact(name) ? IDDistributor::INVALID_ID : lists->newObjectId(name);
            if (id == IDDistributor::INVALID_ID)
                continue;
            GlobalVarModel::GlobalVarTable* list =
                lists->insertNew(std::make_unique<GlobalVarModel::GlobalVarTable>(id, name, 0, lists));
            list->setProperty("Hidden", "true");
            list->setVarDeclaration("VAR_GLOBAL\nEND_VAR");
            list->save();
        }
        // Device variables moved to the I/O mapping list.
        while (GlobalVarModel::GlobalVarTable* retired = lists->findExact("DeviceVars"))
            if (!lists->eraseObject(retired))
                break;
    }
    if (auto* pous = project.subModel<PouModel>()) {
        const unsigned int id = pous->findExact("DevicePOU") ? IDDistributor::INVALID_ID : pous->newObjectId("DevicePOU");
        if (id != IDDistributor::INVALID_ID) {
            auto* pou = pous->insertNew(
                std::make_unique<PouModel::PouUnit>(id, "DevicePOU", PouModel::PRGPOU, PouModel::POU_ST, pous));
            pou->setVarDeclaration("PROGRAM DevicePOU \nVAR\nEND_VAR\n");
            pou->setProperty("Hidden", "true");
            pou->save();
        }
    }
}
