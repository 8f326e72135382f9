#pragma once

#include "datamodel/exchange/ProjectText.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

class AbstractProjectModel;
class MotionAuxReaderPrivate;

// Reads what MotionAuxWriter wrote and builds it into a new project: every file is read and
// checked first; then the variables of the axes, groups and cam tables are declared in their
// hidden lists (through the models, before the project's save), and the objects are written
// as rows with their ids, replacing what a new project holds (after the save: the models of
// the open project do not know them until it is opened again).
class MotionAuxReader
{
public:
    struct Problem
    {
        QString file;
        int line = 1;
        QString message;
    };

    MotionAuxReader();
    ~MotionAuxReader();

    // False, with problem() naming file and line, for the first broken file.
    bool read(const ProjectText::Files& files);
    const Problem& problem() const;

    bool declareVariables(AbstractProjectModel& project, QString& error) const;
    bool writeRows(QSqlDatabase db, QString& error) const;

private:
    std::unique_ptr<MotionAuxReaderPrivate> d;
};
