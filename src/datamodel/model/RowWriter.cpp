#include "datamodel/model/RowWriter_p.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/StoredRows_p.h"

#include <QSqlError>
#include <QSqlQuery>

RowWriter::RowWriter(QString table, const QStringList& columns, QString idColumn)
{
    QStringList assignments, marks;
    for (const QString& column : columns) {
        assignments << column + QStringLiteral("=?");
        marks << QStringLiteral("?");
    }
    m_ids = QStringLiteral("SELECT %1 FROM %2").arg(idColumn, table);
    m_update = QStringLiteral("UPDATE %1 SET %2 WHERE %3=?").arg(table, assignments.join(QStringLiteral(", ")), idColumn);
    m_insert = QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, %4)")
                   .arg(table, idColumn, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

bool RowWriter::update(AbstractProjectModel* project, const QVariant& id, const QVector<QVariant>& values,
                       bool* found, QString* error) const
{
    QSqlQuery& query = project->preparedQuery(m_update);
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    query.bindValue(values.size(), id);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    *found = query.numRowsAffected() > 0;
    return true;
}

bool RowWriter::insert(AbstractProjectModel* project, const QVariant& id, const QVector<QVariant>& values,
                       QString* error) const
{
    QSqlQuery& query = project->preparedQuery(m_insert);
    query.bindValue(0, id);
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i + 1, values[i]);
    if (query.exec())
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

bool RowWriter::write(AbstractProjectModel* project, unsigned int id, const QVector<QVariant>& values, bool stored,
                      QString* error) const
{
    if (!project) {
        if (error)
            *error = QStringLiteral("the model belongs to no project");
        return false;
    }
    const QVariant key(static_cast<qlonglong>(id));
    bool found = false;
    if (stored) {
        if (!update(project, key, values, &found, error))
            return false;
        // The row went meanwhile (with its folder, say): it is written anew.
        return found || insert(project, key, values, error);
    }
    QString insertError;
    if (insert(project, key, values, &insertError))
        return true;
    // The row was there after all: update it. Otherwise the insert's failure is the cause.
    if (update(project, key, values, &found, nullptr) && found)
        return true;
    if (error)
        *error = insertError;
    return false;
}

void RowWriter::learnStoredRows(const QSqlDatabase& db, StoredRows& rows) const
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(m_ids)) {
        rows.setUnknown();
        return;
    }
    rows.clear();
    while (query.next())
        rows.add(query.value(0).toUInt());
}
