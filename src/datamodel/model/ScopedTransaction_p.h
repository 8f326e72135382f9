#pragma once

#include <QSqlDatabase>
#include <QString>

// A transaction that nests: the outermost one begins and commits the real transaction,
// inner ones are savepoints inside it. A sub-model can therefore write its rows in one
// transaction while a step it calls (the call entries of a task, say) opens its own.
// Without commit(), the destructor rolls the work back.
class ScopedTransaction
{
public:
    explicit ScopedTransaction(QSqlDatabase db);
    ~ScopedTransaction();
    ScopedTransaction(const ScopedTransaction&) = delete;
    ScopedTransaction& operator=(const ScopedTransaction&) = delete;

    bool isActive() const { return m_active; }
    bool commit();
    void rollback();
    // The database's text of the last failure of begin, commit or rollback.
    QString errorText() const { return m_errorText; }

private:
    bool run(const QString& statement);

    QSqlDatabase m_db;
    bool m_active = false;
    QString m_errorText;
};
