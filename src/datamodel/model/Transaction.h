#pragma once

#include "datamodel/model/DatamodelExport.h"

#include "host/api/ITransaction.h"

#include <QObject>

#include <cstdint>

// A unit of work handed to the host's background transaction service, which runs run() on
// its worker thread and deletes the transaction afterwards. Created without a Qt parent: the
// service owns it once it has been handed over.
class DATAMODEL_EXPORT Transaction : public QObject, public host::ITransaction
{
    Q_OBJECT
public:
    Transaction();
    ~Transaction() override;

    // Read by the host's service, not by the library.
    int32_t value() const { return m_value; }
    bool flag() const { return m_flag; }

    // The work step; the base does nothing.
    void run() override;

private:
    int32_t m_value = 0;
    bool m_flag = true;
};
