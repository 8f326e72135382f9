#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/model/Transaction.h"

#include <map>
#include <string>

// The background save of the display order of POUs: POU id -> row number, applied to the
// POUs' "Row" property and written to the file on the host's worker thread. Only the rows
// reach the file; any other unsaved change of a POU stays pending for the next save.
class DATAMODEL_EXPORT DataSaveTransaction : public Transaction
{
    Q_OBJECT
public:
    DataSaveTransaction(std::string projectName, std::map<int, int> rows);
    ~DataSaveTransaction() override;

    const std::string& projectName() const { return m_projectName; }
    const std::map<int, int>& rows() const { return m_rows; }

    // Takes the project from the registry (waiting while another thread holds it) and stores
    // each row of a POU that exists, in ascending id order; a negative row leaves its POU
    // alone. A project that is not registered is left alone. Reports the outcome through
    // DataHandleWorkInstance::dataSaved.
    void run() override;

private:
    std::string m_projectName;
    std::map<int, int> m_rows;
};
