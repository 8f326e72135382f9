#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// Statements run on an encrypted file straight through SQLCipher, past the driver and its
// authorizer: how someone who prepares a hostile file writes it.
bool rawExec(const QString& file, const QString& sql, const QString& key = QStringLiteral("kv rond"),
             QString* error = nullptr);
// One column (the first by default) of every row of a query, as text, through SQLCipher alone.
QStringList rawRows(const QString& file, const QString& sql, const QString& key = QStringLiteral("kv rond"),
                    int column = 0);

// Makes every write of a row of `table` for which `condition` is false fail with "CHECK
// constraint failed: NAME", as a file written by another program may: the constraint is
// added to the table's definition in place (the rows' format does not change), and
// connections that are open read the new definition at their next statement. A trigger
// would do the same, but the library does not open files that hold one.
// Without a condition every insert and update fails (the constraint names every column, since
// an update checks only the constraints that name a column it changes).
bool refuseWrites(const QString& file, const QString& table, const QString& name, const QString& condition = QString());
// Takes the constraint `name` of refuseWrites() off `table` again.
bool allowWrites(const QString& file, const QString& table, const QString& name);

} // namespace testsupport
