#include "datamodel/model/ScopedTransaction_p.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
// SQLite releases or rolls back the innermost savepoint of a name, so one name serves
// every nesting depth.
const QString savepoint = QStringLiteral("datamodel_write");
} // namespace

ScopedTransaction::ScopedTransaction(QSqlDatabase db) : m_db(std::move(db))
{
    m_active = m_db.isOpen() && run(QStringLiteral("SAVEPOINT ") + savepoint);
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
    if (!run(QStringLiteral("RELEASE SAVEPOINT ") + savepoint)) {
        rollback();
        return false;
    }
    m_active = false;
    return true;
}

void ScopedTransaction::rollback()
{
    if (!m_active)
        return;
    const QString error = m_errorText;
    run(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint);
    run(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
    if (!error.isEmpty())
        m_errorText = error;
    m_active = false;
}

bool ScopedTransaction::run(const QString& statement)
{
    QSqlQuery query(m_db);
    if (query.exec(statement))
        return true;
    m_errorText = query.lastError().text();
    return false;
}
