#include "ProjectCheck.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

#include <functional>

namespace plcproj {

namespace {

// The names of one kind of object, read while holding the project.
std::vector<std::string> names(const std::string& project, const std::function<void(AbstractProjectModel*, std::vector<std::string>&)>& collect)
{
    std::vector<std::string> out;
    SafeProjectModel hold(project);
    if (hold.project())
        collect(hold.project(), out);
    return out;
}

} // namespace

std::vector<ac::ACMessage> ProjectCheck::run(const std::string& projectName)
{
    SymbolSynchrinizer* sync = SymbolSynchrinizer::instance();
    sync->bindProject(projectName);
    std::vector<ac::ACMessage> messages;
    auto gather = [&](const std::vector<ac::ACMessage>& found) {
        messages.insert(messages.end(), found.begin(), found.end());
    };

    const std::vector<std::string> typeNames = names(projectName, [](AbstractProjectModel* p, std::vector<std::string>& out) {
        std::vector<DataTypeModel::DataUnit*> units;
        if (auto* model = p->subModel<DataTypeModel>())
            model->allDataUnits(units);
        for (auto* unit : units)
            out.push_back(unit->name());
    });
    const std::vector<std::string> pouNames = names(projectName, [](AbstractProjectModel* p, std::vector<std::string>& out) {
        std::vector<PouModel::PouUnit*> pous;
        if (auto* model = p->subModel<PouModel>())
            model->allPous(pous, PouModel::AllPouTypes);
        for (auto* pou : pous)
            out.push_back(pou->name());
    });
    // A declaration may use a type, a function block or a global constant declared after
    // it; one quiet pass makes every name known to the core before the pass whose messages
    // count.
    const std::vector<std::string> listNames = names(projectName, [](AbstractProjectModel* p, std::vector<std::string>& out) {
        std::vector<GlobalVarModel::GlobalVarTable*> lists;
        if (auto* model = p->subModel<GlobalVarModel>())
            model->allVarTables(lists);
        for (auto* list : lists)
            out.push_back(list->name());
    });
    for (const std::string& name : typeNames)
        sync->syncStep(SyncDataType, name);
    for (const std::string& name : listNames)
        sync->syncStep(SyncGlobalVars, name);
    for (const std::string& name : pouNames)
        sync->syncStep(SyncPouDeclaration, name);

    for (const std::string& name : typeNames) {
        sync->syncStep(SyncDataType, name);
        SafeProjectModel hold(projectName);
        if (auto* unit = hold.project()->subModel<DataTypeModel>()->dataUnit(QString::fromStdString(name)))
            gather(unit->getVarDeclarationErr());
    }
    for (const std::string& name : listNames) {
        sync->syncStep(SyncGlobalVars, name);
        SafeProjectModel hold(projectName);
        if (auto* list = hold.project()->subModel<GlobalVarModel>()->varTable(QString::fromStdString(name)))
            gather(list->getVarDeclarationErr());
    }
    for (const std::string& name : pouNames) {
        sync->syncStep(SyncPouDeclaration, name);
        SafeProjectModel hold(projectName);
        if (auto* pou = hold.project()->subModel<PouModel>()->pou(QString::fromStdString(name)))
            gather(pou->getVarDeclarationErr());
    }
    for (const std::string& name : pouNames) {
        // Languages without a text handler of the host (graphic ones) have no logic text to check.
        if (!sync->syncStep(SyncPouLogic, name))
            continue;
        SafeProjectModel hold(projectName);
        if (auto* pou = hold.project()->subModel<PouModel>()->pou(QString::fromStdString(name)))
            gather(pou->getPouLogicErr());
    }
    return messages;
}

bool ProjectCheck::hasErrors(const std::vector<ac::ACMessage>& messages)
{
    for (const ac::ACMessage& message : messages)
        if (message.isError())
            return true;
    return false;
}

} // namespace plcproj
