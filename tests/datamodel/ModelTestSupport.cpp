#include "ModelTestSupport.h"

#include "datamodel/device/DefaultDeviceNodes.h"
#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace testsupport {

host::DefaultApplication& defaultHost()
{
    static host::DefaultApplication* app = [] {
        QSqlitexDriver::registerDriver();
        auto* created = new host::DefaultApplication(); // lives as long as the test program
        created->install();
        DefaultDeviceNodes::registerDefaultDeviceNodes();
        return created;
    }();
    return *app;
}

void ModelTest::SetUp()
{
    defaultHost().logs()->clear();
}

std::string ModelTest::databaseFile(const std::string& name, const std::string& type) const
{
    return temp.file(name + (type == "Project" ? ".nvp" : ".nvl"));
}

std::map<std::string, std::string> ModelTest::params(const std::string& name, const std::string& type,
                                                     const std::string& style) const
{
    return {{"fileName", name},           {"filePath", databaseFile(name, type)},
            {"projectType", type},        {"programStyle", style},
            {"author", "Li Wei"},         {"comments", "packaging line"},
            {"createVersion", "1.2.0"}, {"deviceType", "VX7_1616MT"}};
}

std::unique_ptr<PlcProjectModel> ModelTest::createProject(const std::string& name, const std::string& style)
{
    auto project = std::make_unique<PlcProjectModel>(name, temp.path().toStdString(), databaseFile(name));
    EXPECT_TRUE(project->create(params(name, "Project", style))) << "creating project " << name;
    return project;
}

std::unique_ptr<PlcLibraryModel> ModelTest::createLibrary(const std::string& name, const std::string& type)
{
    auto library = std::make_unique<PlcLibraryModel>(name, temp.path().toStdString(), databaseFile(name, type));
    EXPECT_TRUE(library->create(params(name, type))) << "creating library " << name;
    return library;
}

std::unique_ptr<PlcProjectModel> ModelTest::openProject(const std::string& name, bool writable, const QString& password)
{
    auto project = std::make_unique<PlcProjectModel>(name, temp.path().toStdString(), databaseFile(name));
    if (!project->open(name, databaseFile(name), password.toStdString(), writable))
        return nullptr;
    return project;
}

QStringList ModelTest::rows(const std::string& file, const QString& statement, const QString& password) const
{
    QStringList out;
    ScopedConnection connection("test", file, password, false);
    if (!connection.isOpen())
        return {QStringLiteral("<open failed: %1>").arg(connection.errorText())};
    QSqlQuery query(connection.db());
    if (!query.exec(statement))
        return {QStringLiteral("<query failed>")};
    while (query.next()) {
        QStringList columns;
        for (int i = 0; i < query.record().count(); ++i)
            columns << (query.value(i).isNull() ? QStringLiteral("NULL") : query.value(i).toString());
        out << columns.join('|');
    }
    return out;
}

bool ModelTest::logged(const std::string& text) const
{
    return !defaultHost().logs()->find(text).empty();
}

} // namespace testsupport
