#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QString>

// A sub-model whose objects carry a display position, the property "Row", that can be stored
// on its own: the row reaches the file at once while every other unsaved change of the object
// stays pending for the next save. The background save of the display order writes through it.
class DATAMODEL_EXPORT DisplayRowStore
{
public:
    enum Result {
        Stored = 0,   // the row is in the file and in memory
        Pending = 1,  // the object has no row in the file yet: it carries the row to the next save
        NoObject = 2, // no object has that id
        Failed = 3,   // the file refused the write: the object stays modified, `error` says why
    };

    virtual ~DisplayRowStore();

    virtual Result storeDisplayRow(unsigned int id, int row, QString* error) = 0;
};
