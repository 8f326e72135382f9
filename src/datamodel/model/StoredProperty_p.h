#pragma once

#include <QSqlDatabase>
#include <QString>

// One property of one stored row, written alone: the row's Properties column is read, the one
// key set in it and the column written back, in one transaction. Whatever else the object has
// changed in memory stays out of the file.
class StoredProperty
{
public:
    enum Outcome { Written, NoRow, Failed };

    // `table` and `idColumn` name the row, `key` and `value` the property. Failed with the
    // database's text in `error`.
    static Outcome write(const QSqlDatabase& db, const QString& table, const QString& idColumn, unsigned int id,
                         const QString& key, const QString& value, QString* error);
};
