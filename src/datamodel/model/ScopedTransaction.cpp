#include "datamodel/model/ScopedTransaction_p.h"

#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>

#include <map>
#include <vector>

namespace {
// SQLite releases or rolls back the innermost savepoint of a name, so one name serves
// every nesting depth.
const QString savepoint = QStringLiteral("datamodel_write");

using Work = std::vector<std::function<void()>>;

// The open levels of every connection (by connection name, which is unique while the
// connection exists), each with the work waiting for the outermost commit. A connection is
// used by one thread at a time; the mutex guards the map across connections.
struct Levels
{
    QMutex mutex;
    std::map<QString, std::vector<Work>> byConnection;
};

Levels& levels()
{
    static Levels all;
    return all;
}

int depthOf(const QString& connection)
{
    QMutexLocker lock(&levels().mutex);
    auto it = levels().byConnection.find(connection);
    return it == levels().byConnection.end() ? 0 : static_cast<int>(it->second.size());
}

int pushLevel(const QString& connection)
{
    QMutexLocker lock(&levels().mutex);
    auto& stack = levels().byConnection[connection];
    stack.emplace_back();
    return static_cast<int>(stack.size());
}

// Ends the innermost level: its work moves to the enclosing level (kept), or is handed back
// when it was the outermost level (kept) or dropped (not kept).
Work popLevel(const QString& connection, bool keep)
{
    QMutexLocker lock(&levels().mutex);
    auto it = levels().byConnection.find(connection);
    if (it == levels().byConnection.end() || it->second.empty())
        return {};
    Work work = std::move(it->second.back());
    it->second.pop_back();
    if (it->second.empty()) {
        levels().byConnection.erase(it);
        return keep ? std::move(work) : Work();
    }
    if (keep) {
        Work& outer = it->second.back();
        for (auto& item : work)
            outer.push_back(std::move(item));
    }
    return {};
}

} // namespace

ScopedTransaction::ScopedTransaction(QSqlDatabase db) : m_db(std::move(db))
{
    m_active = m_db.isOpen() && run(QStringLiteral("SAVEPOINT ") + savepoint);
    if (m_active)
        m_depth = pushLevel(m_db.connectionName());
}

ScopedTransaction::~ScopedTransaction()
{
    if (m_active)
        rollback();
}

bool ScopedTransaction::commit()
{
    if (!m_active)
        return false;
    if (m_depth != depthOf(m_db.connectionName())) {
        // An inner level is still open: committing now would take its writes along.
        m_errorText = QStringLiteral("a transaction nested in this one is still open");
        rollback();
        return false;
    }
    if (!run(QStringLiteral("RELEASE SAVEPOINT ") + savepoint)) {
        rollback();
        return false;
    }
    m_active = false;
    for (auto& work : popLevel(m_db.connectionName(), true))
        work();
    return true;
}

void ScopedTransaction::rollback()
{
    if (!m_active)
        return;
    const QString error = m_errorText;
    const bool rolledBack = run(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint);
    run(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
    // SQLite rolls a whole transaction back by itself after some failures (a full disk, an
    // I/O error): the savepoint is gone then, and the outermost level says so to the driver
    // with a plain ROLLBACK, which ends the failed transaction for good.
    if (!rolledBack && m_depth == 1)
        run(QStringLiteral("ROLLBACK"));
    if (!error.isEmpty())
        m_errorText = error;
    m_active = false;
    popLevel(m_db.connectionName(), false);
}

void ScopedTransaction::afterCommit(const QSqlDatabase& db, std::function<void()> work)
{
    {
        QMutexLocker lock(&levels().mutex);
        auto it = levels().byConnection.find(db.connectionName());
        if (it != levels().byConnection.end() && !it->second.empty()) {
            it->second.back().push_back(std::move(work));
            return;
        }
    }
    work();
}

bool ScopedTransaction::isOpen(const QSqlDatabase& db)
{
    return depthOf(db.connectionName()) > 0;
}

bool ScopedTransaction::run(const QString& statement)
{
    QSqlQuery query(m_db);
    if (query.exec(statement))
        return true;
    m_errorText = query.lastError().text();
    return false;
}
