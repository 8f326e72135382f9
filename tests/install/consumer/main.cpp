// A program built against the installed package: it opens a "QSQLITEX" connection found
// through QT_PLUGIN_PATH alone, and uses the library through its one header.
#include <datamodel/datamodel.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: consumer FILE\n");
        return 2;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITEX", "consumer");
        if (!db.isValid()) {
            std::fprintf(stderr, "driver QSQLITEX not found\n");
            return 1;
        }
        db.setDatabaseName(argv[1]);
        db.setPassword(AbstractPlcProjectModel::DefaultPassword);
        if (!db.open()) {
            std::fprintf(stderr, "open failed: %s\n", qPrintable(db.lastError().text()));
            return 1;
        }
        QSqlQuery query(db);
        query.exec("CREATE TABLE t(a)");
        query.exec("INSERT INTO t VALUES ('installed')");
        query.exec("SELECT a FROM t");
        if (!query.next() || query.value(0).toString() != "installed")
            return 1;
    }
    QSqlDatabase::removeDatabase("consumer");
    // The library's own static operations work against the same driver.
    if (!AbstractPlcProjectModel::checkDbValid("consumer", argv[1]))
        return 1;
    IDDistributor ids(10);
    std::printf("ok %u\n", ids.takenId());
    return 0;
}
