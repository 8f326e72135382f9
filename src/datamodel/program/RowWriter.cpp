#include "datamodel/program/RowWriter.h"

#include "datamodel/model/AbstractPlcProjectModel.h"

#include <QSqlError>
#include <QSqlQuery>

RowWriter::RowWriter(QString table, const QStringList& columns, QString idColumn)
{
    QStringList assignments, marks;
    for (const QString& column : columns) {
        assignments << column + QStringLiteral("=?");
        marks << QStringLiteral("?");
    }
    m_select = QStringLiteral("SELECT %1 FROM %2 WHERE %1=?").arg(idColumn, table);
    m_update = QStringLiteral("UPDATE %1 SET %2 WHERE %3=?").arg(table, assignments.join(QStringLiteral(", ")), idColumn);
    m_insert = QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, %4)")
                   .arg(table, idColumn, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

bool RowWriter::write(AbstractPlcProjectModel* project, unsigned int id, const QVector<QVariant>& values,
                      QString* error) const
{
    if (!project) {
        if (error)
            *error = QStringLiteral("the model belongs to no project");
        return false;
    }
    const QVariant key(static_cast<qlonglong>(id));
    QSqlQuery& select = project->preparedQuery(m_select);
    select.bindValue(0, key);
    if (!select.exec()) {
        if (error)
            *error = select.lastError().text();
        return false;
    }
    const bool exists = select.next();
    select.finish(); // a statement left open would hold the file's read lock

    QSqlQuery& write = project->preparedQuery(exists ? m_update : m_insert);
    const int first = exists ? 0 : 1;
    for (int i = 0; i < values.size(); ++i)
        write.bindValue(first + i, values[i]);
    write.bindValue(exists ? values.size() : 0, key);
    if (!write.exec()) {
        if (error)
            *error = write.lastError().text();
        return false;
    }
    return true;
}
