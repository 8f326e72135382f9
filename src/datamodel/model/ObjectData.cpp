#include "datamodel/model/ObjectData_p.h"

#include <QJsonDocument>
#include <QJsonValue>

bool ObjectData::parse(const QString& data, QJsonObject& object)
{
    const QJsonDocument doc = QJsonDocument::fromJson(data.toUtf8());
    if (!doc.isObject())
        return false;
    object = doc.object();
    return true;
}

QString ObjectData::toText(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString ObjectData::text(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

std::string ObjectData::utf8(const QJsonObject& object, const QString& key)
{
    return text(object, key).toStdString();
}

std::string ObjectData::utf8(const QVariant& column)
{
    if (column.type() == QVariant::ByteArray) {
        const QByteArray bytes = column.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return column.toString().toStdString();
}

QString ObjectData::textColumn(const QString& column)
{
    return QStringLiteral("CAST(%1 AS BLOB) AS %1").arg(column);
}

bool ObjectData::toUnsigned(const QJsonObject& object, const QString& key, unsigned int& value)
{
    const QString number = text(object, key);
    if (number.isEmpty()) {
        value = 0;
        return true;
    }
    bool ok = false;
    const unsigned int read = number.toUInt(&ok);
    if (ok)
        value = read;
    return ok;
}

bool ObjectData::toInt(const QJsonObject& object, const QString& key, int& value)
{
    const QString number = text(object, key);
    if (number.isEmpty()) {
        value = 0;
        return true;
    }
    bool ok = false;
    const int read = number.toInt(&ok);
    if (ok)
        value = read;
    return ok;
}

bool ObjectData::toBytes(const QJsonObject& object, const QString& key, QByteArray& bytes)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(text(object, key).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    bytes = decoded.decoded;
    return true;
}

bool ObjectData::freeId(const QJsonObject& object, const QString& path, const IDDistributor& ids, unsigned int& id)
{
    unsigned int fromData = 0, fromPath = 0;
    if (!ObjectPath::toId(text(object, QStringLiteral("ID")), fromData) || !ObjectPath::toId(path, fromPath))
        return false;
    // An id beyond the allocator could never be marked used and would be handed out twice.
    if (fromData != fromPath || fromData > ids.maxId() || ids.isUsed(fromData))
        return false;
    id = fromData;
    return true;
}
