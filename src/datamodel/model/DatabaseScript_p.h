#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// An embedded SQL script of the library: plain SQL whose statements are separated by the
// marker "/*sql*/", because one query runs one statement. Text behind the last marker is not
// a statement.
class DatabaseScript
{
public:
    static constexpr const char* ProjectScript = ":/default_plc.sql";
    static constexpr const char* LibraryScript = ":/default_plc_lib.sql";

    explicit DatabaseScript(const QString& resource);

    bool isValid() const { return !m_statements.isEmpty(); }
    const QStringList& statements() const { return m_statements; }
    // The statement that creates `table` (empty when the script has none).
    QString createStatement(const QString& table) const;

    // The CREATE TRIGGER statements of both scripts: the only code a project or library
    // file may hold.
    static const QStringList& triggerStatements();

    // Runs every statement in order. Statements that fail (comments only, the trigger on a
    // table that no longer exists) are skipped; the result is the number that ran.
    int run(QSqlDatabase& db) const;

private:
    QStringList m_statements;
};
