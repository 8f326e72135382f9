#pragma once

#include "support/TempDir.h"

#include "datamodel/project/AbstractPlcProjectModel.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace host {
class DefaultApplication;
}
class PlcLibraryModel;
class PlcProjectModel;

namespace testsupport {

// The default host (installed once per test program) and the "QSQLITEX" driver.
host::DefaultApplication& defaultHost();

// A test with a temporary folder and the default host. Log entries of earlier tests are
// cleared so that each test sees its own.
class ModelTest : public ::testing::Test
{
protected:
    void SetUp() override;

    // Creation parameters of a project in `dir` (the database file lies in the folder).
    std::map<std::string, std::string> params(const std::string& name, const std::string& type = "Project",
                                              const std::string& style = "IECStyle") const;
    std::string databaseFile(const std::string& name, const std::string& type = "Project") const;

    // A new user project (type "Project") or library project created in the temp folder.
    std::unique_ptr<PlcProjectModel> createProject(const std::string& name, const std::string& style = "IECStyle");
    std::unique_ptr<PlcLibraryModel> createLibrary(const std::string& name, const std::string& type = "UserLib");
    std::unique_ptr<PlcProjectModel> openProject(const std::string& name, bool writable = true,
                                                 const QString& password = AbstractPlcProjectModel::DefaultPassword);

    // Rows of a query on a fresh read-only connection, each row its columns joined by "|".
    QStringList rows(const std::string& file, const QString& statement,
                     const QString& password = AbstractPlcProjectModel::DefaultPassword) const;
    bool logged(const std::string& text) const;

    TempDir temp;
};

} // namespace testsupport
