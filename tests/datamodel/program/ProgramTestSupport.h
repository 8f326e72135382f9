#pragma once

#include "ModelTestSupport.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/ObjectPath.h"
#include "datamodel/model/PrjInfoModel.h"
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

// The awkward names of every round trip.
inline const std::vector<std::string>& awkwardNames()
{
    static const std::vector<std::string> names = {awkward::quote, awkward::percent, awkward::chinese,
                                                   "Name with 'two' quotes %1%2"};
    return names;
}

} // namespace testsupport
