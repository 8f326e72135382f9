#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <map>
#include <string>

// Hands slow writes to the host's background transaction service ("BackgroundTransaction.name").
// One instance per process, created on first use.
class DATAMODEL_EXPORT DataHandleWorkInstance : public QObject
{
    Q_OBJECT
public:
    // What the caller saves; the display order of POUs is the one kind there is.
    enum DataHandleType { PouDisplayOrder = 0 };

    // What became of one entry of a display order save, by POU id (dataSaved).
    enum RowOutcome {
        RowStored = 0,  // in the file and in memory
        RowPending = 1, // the POU has never been saved: the row goes with its next save
        NoPou = 2,      // no POU has that id
        RowSkipped = 3, // a negative row: the POU was left alone
        RowFailed = 4,  // the file refused it: the POU stays modified (see the log)
    };

    static DataHandleWorkInstance& getInstance();

    // Packs the rows (POU id -> row) of the registered project `projectName` into a
    // transaction and hands it to the host's service, which runs it on its worker. False, and
    // no transaction is made, without a host or without the service. `type` is not used.
    bool timeConsumDataSave(const std::string& projectName, const std::map<int, int>& rows, DataHandleType type);

signals:
    // Emitted on the worker thread when a display order save has run: `projectFound` false
    // when the project was not registered; `outcomes` holds a RowOutcome per POU id.
    void dataSaved(const QString& projectName, bool projectFound, const QMap<int, int>& outcomes);

private:
    DataHandleWorkInstance();
    ~DataHandleWorkInstance() override;
};
