#include "datamodel/model/DatabaseScript_p.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>

namespace {
const QString marker = QStringLiteral("/*sql*/");
} // namespace

DatabaseScript::DatabaseScript(const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString text = QString::fromUtf8(file.readAll());
    int position = 0;
    for (int end = text.indexOf(marker, position); end >= 0; end = text.indexOf(marker, position)) {
        m_statements << text.mid(position, end - position);
        position = end + marker.size();
    }
}

const QStringList& DatabaseScript::triggerStatements()
{
    static const QStringList triggers = [] {
        const QRegularExpression head(QStringLiteral("CREATE\\s+TRIGGER\\s"), QRegularExpression::CaseInsensitiveOption);
        QStringList statements;
        for (const char* resource : {ProjectScript, LibraryScript}) {
            const DatabaseScript script(QString::fromLatin1(resource));
            for (const QString& statement : script.statements())
                if (head.match(statement).hasMatch())
                    statements << statement;
        }
        return statements;
    }();
    return triggers;
}

QString DatabaseScript::createStatement(const QString& table) const
{
    const QRegularExpression head(QStringLiteral("CREATE\\s+TABLE\\s+%1\\s*\\(").arg(QRegularExpression::escape(table)),
                                  QRegularExpression::CaseInsensitiveOption);
    for (const QString& statement : m_statements)
        if (head.match(statement).hasMatch())
            return statement.trimmed();
    return QString();
}

int DatabaseScript::run(QSqlDatabase& db) const
{
    int ran = 0;
    for (const QString& statement : m_statements) {
        QSqlQuery query(db);
        if (query.exec(statement))
            ++ran;
    }
    return ran;
}
