#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <set>
#include <vector>

// The rows of one table that a sub-model knows to be stored, so that a save can delete the
// rows of objects that are no longer in memory without naming every remaining id in one
// statement (SQLite refuses expression trees deeper than 1000) and without reading the table.
// After the model switched to another file the stored rows are unknown; the next sweep then
// reads the ids of the table once.
class StoredRows
{
public:
    StoredRows(QString table, QString idColumn = QStringLiteral("ID"));

    void clear() { m_ids.clear(); m_unknown = false; }
    void add(unsigned int id) { m_ids.insert(id); }
    bool contains(unsigned int id) const { return m_ids.count(id) != 0; }
    std::size_t size() const { return m_ids.size(); }
    bool isUnknown() const { return m_unknown; }
    // The ids deleted by the last sweep.
    const std::vector<unsigned int>& swept() const { return m_swept; }
    // The file changed under the model: read what is stored at the next sweep.
    void setUnknown() { m_unknown = true; }

    // Deletes every stored row whose id is not in memory. Runs inside the caller's transaction;
    // false with the database's text in `error` when a statement failed.
    bool sweep(QSqlDatabase& db, const std::function<bool(unsigned int)>& inMemory, QString* error);
    // The transaction that deleted these rows committed: they are gone for good. Until then
    // (and for ever when the commit failed) the next sweep deletes them again.
    void forget(const std::vector<unsigned int>& deleted);
    // forget() for the rows of the last sweep.
    void confirmSweep() { forget(m_swept); }

private:
    bool readIds(QSqlDatabase& db, QString* error);

    QString m_table;
    QString m_idColumn;
    std::set<unsigned int> m_ids;
    std::vector<unsigned int> m_swept;
    bool m_unknown = false;
};
