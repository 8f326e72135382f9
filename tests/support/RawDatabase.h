#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// Statements run on an encrypted file straight through SQLCipher, past the driver and its
// authorizer: how someone who prepares a hostile file writes it.
bool rawExec(const QString& file, const QString& sql, const QString& key = QStringLiteral("kv rond"),
             QString* error = nullptr);
// The first column of every row of a query, as text, through SQLCipher alone.
QStringList rawRows(const QString& file, const QString& sql, const QString& key = QStringLiteral("kv rond"));

} // namespace testsupport
