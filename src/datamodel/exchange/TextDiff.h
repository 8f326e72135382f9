#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QByteArray>
#include <QString>

// The difference of two texts as a unified diff (as diff -u and git diff print it).
class DATAMODEL_EXPORT TextDiff
{
public:
    // Empty when the texts are equal; otherwise "--- nameA", "+++ nameB" and the hunks with
    // `context` unchanged lines around each change. Very long texts that differ throughout are
    // shown as one replacement instead of the shortest script.
    static QByteArray unified(const QByteArray& a, const QByteArray& b, const QString& nameA, const QString& nameB,
                              int context = 3);
};
