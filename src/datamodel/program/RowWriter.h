#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class AbstractPlcProjectModel;

// Writes the row of one object the way the program models store their objects: select the
// row by id, then update it or insert it, every value bound (so that any name or text is
// stored unchanged). The statements are prepared once per connection and reused, so a save of
// ten thousand rows prepares three statements, not twenty thousand.
class RowWriter
{
public:
    // `columns`: the columns written besides the id, in the order of the values given to write().
    RowWriter(QString table, const QStringList& columns, QString idColumn = QStringLiteral("ID"));

    // False with the database's text in `error` when a statement failed.
    bool write(AbstractPlcProjectModel* project, unsigned int id, const QVector<QVariant>& values,
               QString* error) const;

private:
    QString m_select;
    QString m_update;
    QString m_insert;
};
