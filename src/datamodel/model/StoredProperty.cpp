#include "datamodel/model/StoredProperty_p.h"

#include "datamodel/model/ObjectData_p.h"
#include "datamodel/model/ObjectProperties.h"
#include "datamodel/model/ScopedTransaction_p.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

StoredProperty::Outcome failed(const QString& text, QString* error)
{
    if (error)
        *error = text;
    return StoredProperty::Failed;
}

} // namespace

StoredProperty::Outcome StoredProperty::write(const QSqlDatabase& db, const QString& table, const QString& idColumn,
                                              unsigned int id, const QString& key, const QString& value,
                                              QString* error)
{
    ScopedTransaction transaction(db);
    if (!transaction.isActive())
        return failed(transaction.errorText(), error);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3=?")
                      .arg(ObjectData::textColumn(ObjectData::Properties), table, idColumn));
    query.addBindValue(static_cast<qlonglong>(id));
    if (!query.exec())
        return failed(query.lastError().text(), error);
    if (!query.next())
        return NoRow;
    QStringProperties properties;
    // A column that holds no JSON object loads no property either: the written text keeps
    // what a reader would see, plus the new key.
    QStringProperties::fromJson(QString::fromStdString(ObjectData::utf8(query.value(0))),
                                [&properties](const QString& k, const QString& v) { properties.set(k, v); });
    query.finish();
    properties.set(key, value);

    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?").arg(table, ObjectData::Properties, idColumn));
    update.addBindValue(properties.toJson());
    update.addBindValue(static_cast<qlonglong>(id));
    if (!update.exec())
        return failed(update.lastError().text(), error);
    if (!transaction.commit())
        return failed(transaction.errorText(), error);
    return Written;
}
