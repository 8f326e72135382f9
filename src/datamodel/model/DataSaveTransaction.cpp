#include "datamodel/model/DataSaveTransaction.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/DataHandleWorkInstance.h"
#include "datamodel/model/DisplayRowStore.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/model/SoftAssert_p.h"
#include "datamodel/model/SubModel.h"

namespace {

const std::string module = "DataSaveTransaction";

int outcomeOf(DisplayRowStore::Result result)
{
    switch (result) {
    case DisplayRowStore::Stored:
        return DataHandleWorkInstance::RowStored;
    case DisplayRowStore::Pending:
        return DataHandleWorkInstance::RowPending;
    case DisplayRowStore::NoObject:
        return DataHandleWorkInstance::NoPou;
    case DisplayRowStore::Failed:
        break;
    }
    return DataHandleWorkInstance::RowFailed;
}

} // namespace

DataSaveTransaction::DataSaveTransaction(std::string projectName, std::map<int, int> rows)
    : m_projectName(std::move(projectName)), m_rows(std::move(rows))
{
}

DataSaveTransaction::~DataSaveTransaction() = default;

void DataSaveTransaction::run()
{
    QMap<int, int> outcomes;
    bool found = false;
    {
        // Held for the whole loop: the front end and the synchroniser wait meanwhile.
        SafeProjectModel safe(m_projectName, false);
        AbstractProjectModel* project = safe.project();
        found = project != nullptr;
        auto* store = project ? dynamic_cast<DisplayRowStore*>(project->subModel("PouModel")) : nullptr;
        if (!project) {
            HostServices::log(module, HostServices::LogInfo,
                              "display order not saved: project '" + m_projectName + "' is not open");
        } else {
            DATAMODEL_ASSERT(store, found = false);
        }
        for (const auto& [id, row] : m_rows) {
            if (!store)
                break;
            if (row < 0 || id < 0) {
                outcomes.insert(id, id < 0 ? DataHandleWorkInstance::NoPou : DataHandleWorkInstance::RowSkipped);
                continue;
            }
            QString error;
            const DisplayRowStore::Result result = store->storeDisplayRow(static_cast<unsigned int>(id), row, &error);
            if (result == DisplayRowStore::Failed)
                HostServices::log(module, HostServices::LogError,
                                  "display row of POU " + std::to_string(id) + " in '" + m_projectName
                                      + "' not saved: " + error.toStdString());
            outcomes.insert(id, outcomeOf(result));
        }
    }
    emit DataHandleWorkInstance::getInstance().dataSaved(QString::fromStdString(m_projectName), found, outcomes);
}
