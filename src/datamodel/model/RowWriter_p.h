#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class AbstractProjectModel;
class StoredRows;

// Writes the row of one object the way the program models store their objects: update the
// row of the id or insert it, every value bound (so that any name or text is stored
// unchanged). The statements are prepared once per connection and reused, so a save of ten
// thousand rows prepares two statements, not twenty thousand.
class RowWriter
{
public:
    // `columns`: the columns written besides the id, in the order of the values given to write().
    RowWriter(QString table, const QStringList& columns, QString idColumn = QStringLiteral("ID"));

    // `stored`: whether the model knows the row to be in the file. It only decides which
    // statement runs first: a row that is there after all is updated, one that is gone is
    // inserted. False with the database's text in `error` when the row could not be written.
    bool write(AbstractProjectModel* project, unsigned int id, const QVector<QVariant>& values, bool stored,
               QString* error) const;

    // Learns which rows the file holds, as the model switches to another file, so that the
    // next save neither guesses nor reads back the rows it has just written. Without an
    // answer from the file the rows stay unknown and the next save reads them.
    void learnStoredRows(const QSqlDatabase& db, StoredRows& rows) const;

private:
    bool update(AbstractProjectModel* project, const QVariant& id, const QVector<QVariant>& values, bool* found,
                QString* error) const;
    bool insert(AbstractProjectModel* project, const QVariant& id, const QVector<QVariant>& values,
                QString* error) const;

    QString m_ids;
    QString m_update;
    QString m_insert;
};
