#include "datamodel/model/StoredRows_p.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace {
constexpr std::size_t idsPerStatement = 500;
} // namespace

StoredRows::StoredRows(QString table, QString idColumn)
    : m_table(std::move(table)), m_idColumn(std::move(idColumn))
{
}

bool StoredRows::readIds(QSqlDatabase& db, QString* error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM %2").arg(m_idColumn, m_table))) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    m_ids.clear();
    while (query.next())
        m_ids.insert(query.value(0).toUInt());
    m_unknown = false;
    return true;
}

bool StoredRows::sweep(QSqlDatabase& db, const std::function<bool(unsigned int)>& inMemory, QString* error)
{
    if (m_unknown && !readIds(db, error))
        return false;
    std::vector<unsigned int> gone;
    for (unsigned int id : m_ids)
        if (!inMemory(id))
            gone.push_back(id);
    for (std::size_t first = 0; first < gone.size(); first += idsPerStatement) {
        QStringList ids;
        for (std::size_t i = first; i < gone.size() && i < first + idsPerStatement; ++i)
            ids << QString::number(gone[i]);
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)").arg(m_table, m_idColumn, ids.join(','))))
        {
            if (error)
                *error = query.lastError().text();
            return false;
        }
    }
    m_swept = std::move(gone);
    return true;
}

void StoredRows::forget(const std::vector<unsigned int>& deleted)
{
    for (unsigned int id : deleted)
        m_ids.erase(id);
}
