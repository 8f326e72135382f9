#pragma once

#include "ModelTestSupport.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/PouModel.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"
#include "support/RawDatabase.h"

#include <QSqlError>
#include <QSqlQuery>

#include <string>
#include <vector>

namespace testsupport {

// Runs one statement on the file through a connection of its own, as another program would:
// straight through SQLCipher, without the rules the library's connections follow.
inline ::testing::AssertionResult execOn(const std::string& file, const QString& statement)
{
    QString error;
    if (!rawExec(QString::fromStdString(file), statement, AbstractPlcProjectModel::DefaultPassword, &error))
        return ::testing::AssertionFailure() << statement.toStdString() << ": " << error.toStdString();
    return ::testing::AssertionSuccess();
}

// Graph data holding every byte value once.
inline std::vector<char> everyByte()
{
    std::vector<char> bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

inline PrjInfoModel::PrjInfo* projectInfo(AbstractProjectModel& project)
{
    auto* model = project.subModel<PrjInfoModel>();
    return model ? model->projectInfo() : nullptr;
}

// Forgets the compilation state, so that the next change must set it again.
inline void markCompiled(AbstractProjectModel& project)
{
    PrjInfoModel::PrjInfo* info = projectInfo(project);
    info->setProperty("Compile", "true");
    info->setProperty("ProgramModifiedTime", "0");
    info->setProperty("CfgModifiedTime", "0");
}

// Folders of one type with the ids 1 to `count` in a new project, to file objects in.
inline void makeFolders(AbstractProjectModel& project, FolderModel::FolderType type, int count)
{
    auto* folders = project.subModel<FolderModel>();
    for (int i = 1; i <= count; ++i)
        folders->addFolder("Folder" + std::to_string(i), 0, type);
}

// POUs "P2", "P3", ... up to the id `maxId` (DevicePOU has id 1 in a user project), for
// tasks to call: a call of a POU id that no POU has is refused.
inline void makePous(AbstractProjectModel& project, unsigned int maxId)
{
    auto* pous = project.subModel<PouModel>();
    for (unsigned int id = 2; id <= maxId; ++id)
        pous->addPou("P" + std::to_string(id), PouModel::PRGPOU, PouModel::POU_ST, 0);
}

// The awkward names of every round trip (of folders and tasks; POUs, lists and types are
// named by identifiers, and carry awkward texts instead).
inline const std::vector<std::string>& awkwardNames()
{
    static const std::vector<std::string> names = {awkward::quote, awkward::percent, awkward::chinese,
                                                   "Name with 'two' quotes %1%2"};
    return names;
}

} // namespace testsupport
