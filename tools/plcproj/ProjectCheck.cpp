#include "ProjectCheck.h"

#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/PouModel.h"

namespace plcproj {

namespace {

// The names of the objects of one kind, read while holding the project.
struct Names
{
    std::vector<std::string> types, lists, pous;
};

Names namesOf(const std::string& project)
{
    Names names;
    SafeProjectModel hold(project);
    AbstractProjectModel* plc = hold.project();
    if (!plc)
        return names;
    auto collect = [](const auto& objects, std::vector<std::string>& out) {
        for (const DeclaredObject* object : objects)
            out.push_back(object->name());
    };
    if (auto* model = plc->subModel<DataTypeModel>()) {
        std::vector<DataTypeModel::DataUnit*> all;
        model->allDataUnits(all);
        collect(all, names.types);
    }
    if (auto* model = plc->subModel<GlobalVarModel>()) {
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        model->allVarTables(all);
        collect(all, names.lists);
    }
    if (auto* model = plc->subModel<PouModel>()) {
        std::vector<PouModel::PouUnit*> all;
        model->allPous(all, PouModel::AllPouTypes);
        collect(all, names.pous);
    }
    return names;
}

// The object of that kind and name (through the models' name indexes).
DeclaredObject* find(AbstractProjectModel* plc, SyncType type, const std::string& name)
{
    const QString wanted = QString::fromStdString(name);
    switch (type) {
    case SyncDataType: return plc->subModel<DataTypeModel>()->dataUnit(wanted);
    case SyncGlobalVars: return plc->subModel<GlobalVarModel>()->varTable(wanted);
    default: return plc->subModel<PouModel>()->pou(wanted);
    }
}

} // namespace

std::vector<ac::ACMessage> ProjectCheck::run(const std::string& projectName, const Progress& progress)
{
    SymbolSynchrinizer* sync = SymbolSynchrinizer::instance();
    sync->bindProject(projectName);
    const Names names = namesOf(projectName);
    std::vector<ac::ACMessage> messages;

    // Syncs every object of one kind; with `gather`, keeps the messages the core left.
    auto pass = [&](const QString& step, SyncType type, const std::vector<std::string>& objects, bool gather) {
        int done = 0;
        for (const std::string& name : objects) {
            // Languages without a text handler of the host (graphic ones) have no logic text.
            const bool synced = sync->syncStep(type, name);
            if (gather && (synced || type != SyncPouLogic)) {
                SafeProjectModel hold(projectName);
                if (DeclaredObject* object = hold.project() ? find(hold.project(), type, name) : nullptr) {
                    const std::vector<ac::ACMessage> found =
                        type == SyncPouLogic ? static_cast<PouModel::PouUnit*>(object)->getPouLogicErr()
                                             : object->getVarDeclarationErr();
                    messages.insert(messages.end(), found.begin(), found.end());
                }
            }
            if (progress)
                progress(step, ++done, static_cast<int>(objects.size()));
        }
    };

    sync->beginPass();
    // A declaration may use a type, a function block or a global constant declared after
    // it; one quiet pass makes every name known to the core before the pass whose messages
    // count.
    pass(QStringLiteral("reading data types"), SyncDataType, names.types, false);
    pass(QStringLiteral("reading global variable lists"), SyncGlobalVars, names.lists, false);
    pass(QStringLiteral("reading POU declarations"), SyncPouDeclaration, names.pous, false);
    pass(QStringLiteral("data types"), SyncDataType, names.types, true);
    pass(QStringLiteral("global variable lists"), SyncGlobalVars, names.lists, true);
    pass(QStringLiteral("POU declarations"), SyncPouDeclaration, names.pous, true);
    pass(QStringLiteral("POU logic"), SyncPouLogic, names.pous, true);
    sync->endPass();
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
