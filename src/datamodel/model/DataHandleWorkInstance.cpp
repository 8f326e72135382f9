#include "datamodel/model/DataHandleWorkInstance.h"

#include "datamodel/model/DataSaveTransaction.h"
#include "datamodel/model/HostServices.h"

#include "host/api/IApplication.h"
#include "host/api/IBackgroundTransaction.h"

#include <memory>

DataHandleWorkInstance::DataHandleWorkInstance()
{
    // The signal crosses from the worker thread to receivers that live elsewhere.
    qRegisterMetaType<QMap<int, int>>("QMap<int,int>");
}

DataHandleWorkInstance::~DataHandleWorkInstance() = default;

DataHandleWorkInstance& DataHandleWorkInstance::getInstance()
{
    static DataHandleWorkInstance instance;
    return instance;
}

bool DataHandleWorkInstance::timeConsumDataSave(const std::string& projectName, const std::map<int, int>& rows,
                                                DataHandleType)
{
    if (!HostServices::application()) {
        HostServices::log("DataHandleWorkInstance", HostServices::LogInfo,
                          "display order of '" + projectName + "' not saved: no host application");
        return false;
    }
    auto* service = HostServices::get<host::IBackgroundTransaction>();
    if (!service) {
        HostServices::log("DataHandleWorkInstance", HostServices::LogInfo,
                          "display order of '" + projectName + "' not saved: no background transaction service");
        return false;
    }
    auto transaction = std::make_unique<DataSaveTransaction>(projectName, rows);
    service->addTransaction(transaction.release(), true); // the service owns it now
    return true;
}
