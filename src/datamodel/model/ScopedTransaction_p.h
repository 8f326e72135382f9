#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

// A transaction that nests: the outermost one on a connection begins and commits the real
// transaction, inner ones are savepoints inside it. A sub-model can therefore write its rows
// in one transaction while a step it calls (the call entries of a task, say) opens its own,
// and the project's save can hold every sub-model's writes in one transaction whose commit is
// the one moment the new state reaches the file. Without commit(), the destructor rolls the
// work back.
//
// Work that may only happen once the writes are durable (clearing modified flags, forgetting
// deleted rows) is registered with afterCommit(): it runs when the outermost transaction has
// committed, and is dropped with the level it was registered in when that level rolls back.
class ScopedTransaction
{
public:
    explicit ScopedTransaction(QSqlDatabase db);
    ~ScopedTransaction();
    ScopedTransaction(const ScopedTransaction&) = delete;
    ScopedTransaction& operator=(const ScopedTransaction&) = delete;

    bool isActive() const { return m_active; }
    // Commits (outermost) or releases the savepoint into the enclosing transaction (inner).
    // A failed commit rolls this level back.
    bool commit();
    void rollback();
    // The database's text of the last failure of begin, commit or rollback.
    QString errorText() const { return m_errorText; }

    // Runs `work` when the outermost transaction open on `db` commits; at once when none is
    // open (a statement outside a transaction is committed when it returns).
    static void afterCommit(const QSqlDatabase& db, std::function<void()> work);
    // Whether a transaction of this class is open on `db`.
    static bool isOpen(const QSqlDatabase& db);

private:
    bool run(const QString& statement);

    QSqlDatabase m_db;
    bool m_active = false;
    int m_depth = 0; // 1 for the outermost level on the connection
    QString m_errorText;
};
