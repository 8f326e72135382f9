// Queries through "QSQLITEX" as a Qt SQL user writes them: bound values of every kind,
// scrolling, transactions, row counts, odd statement texts and connections that go away
// while queries still hold them.
#include "ScopedConnection.h"

#include "sqlitex/QSqlitexDriver.h"
#include "support/TempDir.h"

#include <QDir>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <limits>
#include <memory>

Q_DECLARE_OPAQUE_POINTER(sqlite3_stmt*)
Q_DECLARE_METATYPE(sqlite3_stmt*)

namespace {

// How many virtual machine steps the query's SQLite statement has made in its life.
int statementSteps(const QSqlQuery& query)
{
    const QVariant handle = query.result()->handle();
    EXPECT_STREQ(handle.typeName(), "sqlite3_stmt*");
    sqlite3_stmt* statement = handle.value<sqlite3_stmt*>();
    return statement ? sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_VM_STEP, 0) : 0;
}

class SqlitexQuery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        c = std::make_unique<ScopedConnection>(dir.filePath(QStringLiteral("q.db")));
        ASSERT_TRUE(c->open()) << c->db().lastError().text().toStdString();
        ASSERT_TRUE(c->exec(QStringLiteral("CREATE TABLE Pou(Id INTEGER PRIMARY KEY, Name TEXT, Value, Size DOUBLE)")));
    }
    void TearDown() override { c.reset(); }

    void insertRows(int count)
    {
        QSqlQuery insert(c->db());
        ASSERT_TRUE(insert.prepare(QStringLiteral("INSERT INTO Pou(Id, Name) VALUES(?, ?)")));
        for (int i = 0; i < count; ++i) {
            insert.bindValue(0, i);
            insert.bindValue(1, QStringLiteral("row%1").arg(i));
            ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
        }
    }

    testsupport::TempDir dir;
    std::unique_ptr<ScopedConnection> c;
};

} // namespace

TEST_F(SqlitexQuery, PositionalAndNamedPlaceholdersBindTheirValues)
{
    QSqlQuery insert(c->db());
    ASSERT_TRUE(insert.prepare(QStringLiteral("INSERT INTO Pou(Id, Name, Value, Size) VALUES(?, ?, ?, ?)")));
    int stepsOfFirstExec = 0;
    for (int i = 1; i <= 50; ++i) {
        insert.addBindValue(i);
        insert.addBindValue(QStringLiteral("p%1").arg(i));
        insert.addBindValue(i * 10);
        insert.addBindValue(i / 4.0);
        ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
        if (i == 1)
            stepsOfFirstExec = statementSteps(insert);
    }
    // exec() after exec() runs the same SQLite statement again instead of preparing anew:
    // its step count keeps growing.
    ASSERT_GT(stepsOfFirstExec, 0);
    EXPECT_EQ(statementSteps(insert), 50 * stepsOfFirstExec);
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT sum(Value) FROM Pou")).toInt(), 12750);

    // Ten named values, and a name that is used twice.
    ASSERT_TRUE(c->exec(QStringLiteral("CREATE TABLE Ten(a, b, c, d, e, f, g, h, i, j)")));
    QSqlQuery named(c->db());
    ASSERT_TRUE(named.prepare(QStringLiteral("INSERT INTO Ten VALUES(:A, :B, :C, :D, :E, :F, :G, :H, :I, :J)")));
    const QString names = QStringLiteral("JIHGFEDCBA");
    for (int i = 0; i < names.size(); ++i)
        named.bindValue(QLatin1Char(':') + names.at(i), QStringLiteral("v") + names.at(i));
    ASSERT_TRUE(named.exec()) << named.lastError().text().toStdString();
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT a || b || c || d || e || f || g || h || i || j FROM Ten")).toString(),
              QStringLiteral("vAvBvCvDvEvFvGvHvIvJ"));

    QSqlQuery twice(c->db());
    ASSERT_TRUE(twice.prepare(QStringLiteral("SELECT Name FROM Pou WHERE Id = :id OR Value = :id * 10 ORDER BY Id")));
    twice.bindValue(QStringLiteral(":id"), 7);
    ASSERT_TRUE(twice.exec()) << twice.lastError().text().toStdString();
    ASSERT_TRUE(twice.next());
    EXPECT_EQ(twice.value(0).toString(), QStringLiteral("p7"));
    EXPECT_FALSE(twice.next());

    // A placeholder without a value is an error, not a silent NULL.
    QSqlQuery missing(c->db());
    ASSERT_TRUE(missing.prepare(QStringLiteral("INSERT INTO Pou(Id, Name) VALUES(?, ?)")));
    missing.addBindValue(1000);
    EXPECT_FALSE(missing.exec());
    EXPECT_EQ(missing.lastError().type(), QSqlError::StatementError);
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT count(*) FROM Pou WHERE Id = 1000")).toInt(), 0);
}

namespace {

struct RoundTrip
{
    const char* name;
    QVariant in;
    QVariant out; // what reading gives back; invalid: the same as `in`
};

QByteArray everyByte()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

class SqlitexValues : public SqlitexQuery, public ::testing::WithParamInterface<RoundTrip>
{
};

} // namespace

TEST_P(SqlitexValues, ReadBackAsWritten)
{
    const RoundTrip& row = GetParam();
    const QVariant expected = row.out.isValid() ? row.out : row.in;
    QSqlQuery insert(c->db());
    ASSERT_TRUE(insert.prepare(QStringLiteral("INSERT INTO Pou(Id, Value) VALUES(1, :value)")));
    insert.bindValue(QStringLiteral(":value"), row.in);
    ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();

    for (const bool forwardOnly : {true, false}) {
        QSqlQuery select(c->db());
        select.setForwardOnly(forwardOnly);
        ASSERT_TRUE(select.exec(QStringLiteral("SELECT Value, typeof(Value) FROM Pou")));
        ASSERT_TRUE(select.next());
        const QVariant value = select.value(0);
        EXPECT_EQ(select.isNull(0), expected.isNull()) << select.value(1).toString().toStdString();
        EXPECT_EQ(value.isNull(), expected.isNull());
        if (!expected.isNull()) {
            EXPECT_EQ(value.userType(), expected.userType()) << value.typeName();
            EXPECT_EQ(value, expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sqlitex, SqlitexValues,
    ::testing::Values(RoundTrip{"Null", QVariant(), {}}, RoundTrip{"NullString", QVariant(QString()), {}},
                      RoundTrip{"Int64Max", qlonglong(std::numeric_limits<qint64>::max()), {}},
                      RoundTrip{"Int64Min", qlonglong(std::numeric_limits<qint64>::min()), {}},
                      RoundTrip{"Int", 42, qlonglong(42)}, RoundTrip{"Bool", true, qlonglong(1)},
                      RoundTrip{"UInt64AboveInt64", quint64(18446744073709551615ull), QStringLiteral("18446744073709551615")},
                      RoundTrip{"Double", 3.141592653589793, {}}, RoundTrip{"TinyDouble", 4.9e-324, {}},
                      RoundTrip{"HugeDouble", -1.7976931348623157e308, {}},
                      RoundTrip{"Chinese", QString::fromUtf8(testsupport::awkward::chinese), {}},
                      RoundTrip{"AccentsAndEmoji", QString::fromUtf8(u8"Größe café \U0001F600 end"), {}},
                      RoundTrip{"LoneSurrogate", QString(QChar(0xd800)) + QStringLiteral("x"), QStringLiteral("?x")},
                      RoundTrip{"Quote", QString::fromUtf8(testsupport::awkward::quote), {}},
                      RoundTrip{"Percent", QString::fromUtf8(testsupport::awkward::percent), {}},
                      RoundTrip{"EmptyText", QStringLiteral(""), {}}, RoundTrip{"EveryByte", everyByte(), {}},
                      RoundTrip{"EmptyBlob", QByteArray(""), {}}),
    [](const ::testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.name); });

TEST_F(SqlitexQuery, TransactionsCommitAndRollBack)
{
    EXPECT_TRUE(c->db().driver()->hasFeature(QSqlDriver::Transactions));
    ASSERT_TRUE(c->db().transaction());
    insertRows(3);
    ASSERT_TRUE(c->db().rollback());
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT count(*) FROM Pou")).toInt(), 0);

    ASSERT_TRUE(c->db().transaction());
    insertRows(3);
    ASSERT_TRUE(c->db().commit());
    EXPECT_FALSE(c->db().commit()); // no transaction is open any more
    EXPECT_EQ(c->db().lastError().type(), QSqlError::TransactionError);
    EXPECT_EQ(c->db().lastError().nativeErrorCode(), QStringLiteral("1"));

    c->db().close();
    ASSERT_TRUE(c->open());
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT count(*) FROM Pou")).toInt(), 3);
}

TEST_F(SqlitexQuery, RowsAffectedAndLastInsertIdBelongToTheStatement)
{
    insertRows(5);
    QSqlQuery q(c->db());
    ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO Pou(Name) VALUES('auto')")));
    EXPECT_EQ(q.numRowsAffected(), 1);
    EXPECT_EQ(q.lastInsertId(), QVariant(qlonglong(5)));

    ASSERT_TRUE(q.exec(QStringLiteral("UPDATE Pou SET Value = 1 WHERE Id < 3")));
    EXPECT_EQ(q.numRowsAffected(), 3);
    EXPECT_FALSE(q.lastInsertId().isValid()); // an UPDATE inserted nothing
    ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE Other(a)")));
    EXPECT_EQ(q.numRowsAffected(), 0); // not the 3 of the UPDATE before
    ASSERT_TRUE(q.exec(QStringLiteral("DELETE FROM Pou WHERE Id > 100")));
    EXPECT_EQ(q.numRowsAffected(), 0);

    // Rows that a trigger deletes are not the statement's own. (A connection runs only the
    // triggers that were declared before it was opened.)
    const QString clean = QStringLiteral("CREATE TRIGGER clean AFTER DELETE ON Pou BEGIN DELETE FROM Other; END");
    c->db().close();
    c->db().driver()->setProperty(QSqlitexDriver::TrustedTriggersProperty, QStringList{clean});
    ASSERT_TRUE(c->open());
    ASSERT_TRUE(c->exec(clean));
    ASSERT_TRUE(c->exec(QStringLiteral("INSERT INTO Other VALUES(1), (2), (3), (4)")));
    ASSERT_TRUE(q.exec(QStringLiteral("DELETE FROM Pou WHERE Id = 0")));
    EXPECT_EQ(q.numRowsAffected(), 1);
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT count(*) FROM Other")).toInt(), 0);
}

TEST_F(SqlitexQuery, ResultsScrollOrReadForwardOnly)
{
    insertRows(10);
    QSqlQuery scroll(c->db());
    ASSERT_TRUE(scroll.exec(QStringLiteral("SELECT Id, Name AS PouName FROM Pou ORDER BY Id")));
    EXPECT_EQ(scroll.size(), -1);
    EXPECT_EQ(scroll.record().indexOf(QStringLiteral("pouname")), 1);
    EXPECT_EQ(scroll.record().fieldName(1), QStringLiteral("PouName"));
    ASSERT_TRUE(scroll.last());
    EXPECT_EQ(scroll.value(0).toInt(), 9);
    ASSERT_TRUE(scroll.previous());
    EXPECT_EQ(scroll.value(QStringLiteral("PouName")).toString(), QStringLiteral("row8"));
    ASSERT_TRUE(scroll.first());
    EXPECT_EQ(scroll.value(0).toInt(), 0);
    ASSERT_TRUE(scroll.seek(5));
    EXPECT_EQ(scroll.value(0).toInt(), 5);
    ASSERT_TRUE(scroll.seek(-2, true));
    EXPECT_EQ(scroll.value(0).toInt(), 3);
    EXPECT_FALSE(scroll.seek(10));
    EXPECT_FALSE(scroll.isValid());

    QSqlQuery forward(c->db());
    forward.setForwardOnly(true);
    ASSERT_TRUE(forward.exec(QStringLiteral("SELECT Id FROM Pou ORDER BY Id")));
    int expected = 0;
    while (forward.next())
        EXPECT_EQ(forward.value(0).toInt(), expected++);
    EXPECT_EQ(expected, 10);
    EXPECT_FALSE(forward.previous());

    ASSERT_TRUE(forward.exec(QStringLiteral("SELECT Id FROM Pou ORDER BY Id")));
    ASSERT_TRUE(forward.seek(4));
    EXPECT_EQ(forward.value(0).toInt(), 4);
    ASSERT_TRUE(forward.last());
    EXPECT_EQ(forward.value(0).toInt(), 9);
    EXPECT_EQ(forward.at(), 9);
    EXPECT_FALSE(forward.next());

    ASSERT_TRUE(forward.exec(QStringLiteral("SELECT Id FROM Pou WHERE Id < 0")));
    EXPECT_TRUE(forward.isSelect());
    EXPECT_FALSE(forward.next());
    EXPECT_FALSE(forward.last());
}

TEST_F(SqlitexQuery, OnlyTheFirstStatementOfATextRunsAndEmptyTextsFail)
{
    QSqlQuery q(c->db());
    ASSERT_TRUE(q.exec(QStringLiteral("-- leading comment\n;; SELECT 1; INSERT INTO Pou(Id) VALUES(1)")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT count(*) FROM Pou")).toInt(), 0);

    for (const QString& text : {QStringLiteral("-- nothing but a comment"), QStringLiteral("/* neither */ ;"),
                                QStringLiteral(" ; ")}) {
        EXPECT_FALSE(q.exec(text)) << text.toStdString();
        EXPECT_EQ(q.lastError().type(), QSqlError::StatementError);
        EXPECT_FALSE(q.prepare(text));
        EXPECT_FALSE(q.exec());
    }
    EXPECT_FALSE(q.exec(QStringLiteral("SELEC Name FROM Pou")));
    EXPECT_EQ(q.lastError().nativeErrorCode(), QStringLiteral("1"));
    EXPECT_TRUE(q.lastError().databaseText().contains(QStringLiteral("syntax error")));
    EXPECT_FALSE(q.lastError().driverText().isEmpty());
}

TEST_F(SqlitexQuery, QueriesOutliveTheirConnection)
{
    insertRows(20);
    auto forward = std::make_unique<QSqlQuery>(c->db());
    forward->setForwardOnly(true);
    ASSERT_TRUE(forward->exec(QStringLiteral("SELECT Id FROM Pou")));
    ASSERT_TRUE(forward->next());
    QSqlQuery scroll(c->db());
    ASSERT_TRUE(scroll.exec(QStringLiteral("SELECT Id FROM Pou")));
    ASSERT_TRUE(scroll.next());
    QSqlQuery prepared(c->db());
    ASSERT_TRUE(prepared.prepare(QStringLiteral("SELECT Name FROM Pou WHERE Id = ?")));

    c->db().close();
    EXPECT_FALSE(forward->next());
    EXPECT_FALSE(forward->value(0).isValid());
    EXPECT_FALSE(scroll.next());
    prepared.addBindValue(1);
    EXPECT_FALSE(prepared.exec());

    // The same query objects work again once the connection is open again.
    ASSERT_TRUE(c->open());
    ASSERT_TRUE(forward->exec(QStringLiteral("SELECT count(*) FROM Pou")));
    ASSERT_TRUE(forward->next());
    EXPECT_EQ(forward->value(0).toInt(), 20);

    // Removing the connection deletes its driver while `forward` and `scroll` still hold
    // results of it.
    ASSERT_TRUE(forward->exec(QStringLiteral("SELECT Id FROM Pou")));
    // (QSqlQuery::exec(text) itself would crash without a driver; Qt's own affair.)
    c.reset();
    EXPECT_FALSE(forward->next());
    EXPECT_FALSE(scroll.next());
    EXPECT_FALSE(prepared.exec());
    forward.reset();
}

TEST_F(SqlitexQuery, ThousandConnectionCyclesLeaveNothingBehind)
{
    const QStringList namesBefore = QSqlDatabase::connectionNames();
    const auto openFiles = [] {
        return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
    };
    const int filesBefore = openFiles();
    // An empty password skips the key derivation, which alone would take half a minute.
    const QString file = dir.filePath(QStringLiteral("plain.db"));
    for (int i = 0; i < 1000; ++i) {
        const QString name = QStringLiteral("cycle_%1").arg(i);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(QSqlitexDriver::DriverName), name);
            db.setDatabaseName(file);
            ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    EXPECT_EQ(QSqlDatabase::connectionNames(), namesBefore);
    EXPECT_EQ(openFiles(), filesBefore);
}

TEST_F(SqlitexQuery, DriverDescribesTablesAndEscapesNames)
{
    const QSqlDriver* driver = c->db().driver();
    const QString odd = QStringLiteral("O'Brien \"Axis\"");
    const QString escaped = driver->escapeIdentifier(odd, QSqlDriver::TableName);
    EXPECT_EQ(escaped, QStringLiteral("\"O'Brien \"\"Axis\"\"\""));
    EXPECT_EQ(driver->escapeIdentifier(escaped, QSqlDriver::TableName), escaped);
    ASSERT_TRUE(c->exec(QStringLiteral("CREATE TABLE %1(Id INTEGER PRIMARY KEY, Data BLOB NOT NULL)").arg(escaped)));
    // Views are code a file could bring along: none is made, and none is listed.
    QSqlQuery view(c->db());
    EXPECT_FALSE(view.exec(QStringLiteral("CREATE VIEW Names AS SELECT Name FROM Pou")));

    EXPECT_EQ(c->db().tables(), (QStringList{QStringLiteral("Pou"), odd}));
    EXPECT_TRUE(c->db().tables(QSql::Views).isEmpty());
    const QSqlRecord record = c->db().record(odd);
    ASSERT_EQ(record.count(), 2);
    EXPECT_EQ(record.field(1).name(), QStringLiteral("Data"));
    EXPECT_EQ(record.field(1).type(), QVariant::ByteArray);
    EXPECT_EQ(record.field(1).requiredStatus(), QSqlField::Required);
    const QSqlIndex key = c->db().primaryIndex(odd);
    ASSERT_EQ(key.count(), 1);
    EXPECT_EQ(key.fieldName(0), QStringLiteral("Id"));

    // A blob written as a literal comes back as the same bytes.
    QSqlField blob(QStringLiteral("Data"), QVariant::ByteArray);
    blob.setValue(everyByte());
    ASSERT_TRUE(c->exec(QStringLiteral("INSERT INTO %1(Data) VALUES(%2)").arg(escaped, driver->formatValue(blob))));
    EXPECT_EQ(c->scalar(QStringLiteral("SELECT Data FROM %1").arg(escaped)).toByteArray(), everyByte());

    for (const auto feature : {QSqlDriver::PreparedQueries, QSqlDriver::PositionalPlaceholders,
                               QSqlDriver::NamedPlaceholders, QSqlDriver::BLOB, QSqlDriver::Unicode,
                               QSqlDriver::LastInsertId})
        EXPECT_TRUE(driver->hasFeature(feature)) << feature;
    EXPECT_FALSE(driver->hasFeature(QSqlDriver::QuerySize));
}
