// A database file from someone else holds data, never code: what the driver refuses at open
// and what its authorizer denies on every connection.
#include "ScopedConnection.h"

#include "sqlitex/QSqlitexDriver.h"
#include "support/RawDatabase.h"
#include "support/TempDir.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

const QString ownTrigger = QStringLiteral("CREATE TRIGGER clean_items AFTER DELETE ON Box\n"
                                          "BEGIN\n    DELETE FROM Item WHERE BoxId = old.rowid;\nEND");

class SqlitexPolicy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ScopedConnection c(file);
        c.db().driver()->setProperty(QSqlitexDriver::TrustedTriggersProperty, QStringList{ownTrigger});
        ASSERT_TRUE(c.open()) << c.db().lastError().text().toStdString();
        ASSERT_TRUE(c.exec(QStringLiteral("CREATE TABLE Box(Id INTEGER PRIMARY KEY, Name TEXT)")));
        ASSERT_TRUE(c.exec(QStringLiteral("CREATE TABLE Item(Id INTEGER PRIMARY KEY, BoxId INTEGER, Name TEXT)")));
        ASSERT_TRUE(c.exec(ownTrigger));
        ASSERT_TRUE(c.exec(QStringLiteral("INSERT INTO Box VALUES(1, 'a'), (2, 'b')")));
        ASSERT_TRUE(c.exec(QStringLiteral("INSERT INTO Item VALUES(1, 1, 'x'), (2, 2, 'y')")));
    }

    // Opens the file as its user does, declaring only the trigger of its own schema.
    std::unique_ptr<ScopedConnection> openAsUser()
    {
        auto c = std::make_unique<ScopedConnection>(file);
        c->db().driver()->setProperty(QSqlitexDriver::TrustedTriggersProperty, QStringList{ownTrigger});
        c->open();
        return c;
    }

    testsupport::TempDir temp;
    const QString file = temp.filePath("box.db");
};

struct Planted
{
    const char* name;
    const char* sql;
    const char* refusal; // what the message names
};

class PlantedCode : public SqlitexPolicy, public ::testing::WithParamInterface<Planted>
{
};

TEST_P(PlantedCode, fileIsRefusedBeforeAnyOtherStatementNamingTheObject)
{
    ASSERT_TRUE(testsupport::rawExec(file, QString::fromUtf8(GetParam().sql)));
    auto c = openAsUser();
    ASSERT_FALSE(c->db().isOpen());
    const QSqlError error = c->db().lastError();
    EXPECT_EQ(error.nativeErrorCode().toInt(), QSqlitexDriver::UntrustedFileError);
    EXPECT_TRUE(error.text().contains(QString::fromUtf8(GetParam().refusal))) << error.text().toStdString();
    EXPECT_TRUE(error.text().contains("that no project file has: not opened")) << error.text().toStdString();
    // Nothing ran: the rows are as they were.
    EXPECT_EQ(testsupport::rawRows(file, "SELECT count(*) FROM Item"), QStringList{"2"});
}

INSTANTIATE_TEST_SUITE_P(
    Schema, PlantedCode,
    ::testing::Values(
        Planted{"foreignTrigger",
                "CREATE TRIGGER t_evil AFTER INSERT ON Box BEGIN DELETE FROM Item; END", "a trigger 't_evil'"},
        // A trigger under the name of the user's own, with other statements in it.
        Planted{"ownNameOtherBody",
                "DROP TRIGGER clean_items; CREATE TRIGGER clean_items AFTER DELETE ON Box BEGIN DELETE FROM Item; END",
                "a trigger 'clean_items'"},
        Planted{"view", "CREATE VIEW v_all AS SELECT * FROM Item", "a view 'v_all'"},
        Planted{"expressionIndex", "CREATE INDEX i_expr ON Item(lower(Name))", "an index on expressions 'i_expr'"},
        Planted{"partialIndex", "CREATE INDEX i_part ON Item(Name) WHERE BoxId > 0", "a partial index 'i_part'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SqlitexPolicy, extraTablesColumnsAndPlainIndexesStayReadableData)
{
    ASSERT_TRUE(testsupport::rawExec(file, "CREATE TABLE Newer(Id INTEGER PRIMARY KEY, Note TEXT);"
                                           "ALTER TABLE Item ADD COLUMN Colour TEXT DEFAULT 'red';"
                                           "CREATE UNIQUE INDEX i_name ON Item(Name);"));
    auto c = openAsUser();
    ASSERT_TRUE(c->db().isOpen()) << c->db().lastError().text().toStdString();
    EXPECT_EQ(c->scalar("SELECT Colour FROM Item WHERE Id = 1").toString(), "red");
    // The declared trigger still does its work.
    ASSERT_TRUE(c->exec("DELETE FROM Box WHERE Id = 1"));
    EXPECT_EQ(c->scalar("SELECT count(*) FROM Item").toInt(), 1);
}

TEST_F(SqlitexPolicy, codePlantedWhileOpenDoesNotRun)
{
    auto c = openAsUser();
    ASSERT_TRUE(c->db().isOpen());
    ASSERT_TRUE(testsupport::rawExec(file, "CREATE TRIGGER t_evil AFTER INSERT ON Box BEGIN DELETE FROM Item; END"));
    QSqlQuery insert(c->db());
    EXPECT_FALSE(insert.exec("INSERT INTO Box VALUES(3, 'c')")) << "the insert would fire the stranger's trigger";
    EXPECT_TRUE(insert.lastError().text().contains("not authorized")) << insert.lastError().text().toStdString();
    EXPECT_EQ(c->scalar("SELECT count(*) FROM Item").toInt(), 2);
    EXPECT_EQ(testsupport::rawRows(file, "SELECT count(*) FROM Box"), QStringList{"2"});
}

TEST_F(SqlitexPolicy, authorizerDeniesWhatNoUserOfTheDriverDoes)
{
    auto c = openAsUser();
    ASSERT_TRUE(c->db().isOpen());
    QSqlQuery q(c->db());
    const QString other = temp.filePath("other.db");
    for (const QString& sql :
         {QStringLiteral("ATTACH DATABASE '%1' AS other KEY ''").arg(other), QStringLiteral("SELECT load_extension('x')"),
          QStringLiteral("PRAGMA writable_schema = ON"), QStringLiteral("PRAGMA journal_mode = OFF"),
          QStringLiteral("PRAGMA cell_size_check = OFF"), QStringLiteral("PRAGMA mmap_size = 1000000"),
          QStringLiteral("CREATE TRIGGER t_new AFTER INSERT ON Box BEGIN SELECT 1; END"),
          QStringLiteral("CREATE VIEW v_new AS SELECT 1")}) {
        EXPECT_FALSE(q.exec(sql)) << sql.toStdString();
    }
    EXPECT_FALSE(QFile::exists(other)) << "ATTACH creates no file";
    // Reading PRAGMAs and those that only take an argument work; the hardening is in place.
    ASSERT_TRUE(q.exec("PRAGMA table_info(Item)"));
    EXPECT_TRUE(q.next());
    EXPECT_EQ(c->scalar("PRAGMA cell_size_check").toInt(), 1);
    EXPECT_EQ(c->scalar("PRAGMA mmap_size").toInt(), 0);
    // The declared trigger may be created again.
    ASSERT_TRUE(c->exec("DROP TRIGGER clean_items"));
    EXPECT_TRUE(c->exec(ownTrigger));
}

TEST_F(SqlitexPolicy, valuesPastTheLengthLimitAreNeitherStoredNorRead)
{
    auto c = openAsUser();
    ASSERT_TRUE(c->db().isOpen());
    QSqlQuery q(c->db());
    EXPECT_FALSE(q.exec("INSERT INTO Item VALUES(9, 1, zeroblob(65 * 1024 * 1024))"));
    EXPECT_TRUE(q.exec("INSERT INTO Item VALUES(9, 1, zeroblob(1024 * 1024))"));
    c.reset();
    // A file that holds a bigger value (written without the limit) cannot make the reader
    // allocate it.
    ASSERT_TRUE(testsupport::rawExec(file, "UPDATE Item SET Name = zeroblob(70 * 1024 * 1024) WHERE Id = 9"));
    c = openAsUser();
    ASSERT_TRUE(c->db().isOpen());
    QSqlQuery read(c->db());
    EXPECT_FALSE(read.exec("SELECT Name FROM Item WHERE Id = 9") && read.next() && read.value(0).toByteArray().size() > 0);
    EXPECT_EQ(c->scalar("SELECT Name FROM Item WHERE Id = 1").toString(), "x");
}

} // namespace
