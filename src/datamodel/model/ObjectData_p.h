#pragma once

#include "datamodel/model/IDDistributor.h"
#include "datamodel/model/ObjectPath.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <string>

// The data text of one object as the command stack keeps it: a compact JSON object whose
// members are all texts. Undoing a removal or redoing an insertion re-creates the object from
// it, so every reader here refuses what it cannot read instead of guessing, and the caller
// changes nothing until the whole text has been read.
class ObjectData
{
public:
    // Column names, and the member names of object data, that most tables share.
    static inline const QString Id = QStringLiteral("ID");
    static inline const QString Name = QStringLiteral("NAME");
    static inline const QString Type = QStringLiteral("TYPE");
    static inline const QString FolderId = QStringLiteral("FOLDERID");
    static inline const QString ModifyTime = QStringLiteral("MODIFYTIME");
    static inline const QString Properties = QStringLiteral("PROPERTIES");

    // False unless `data` is a JSON object.
    static bool parse(const QString& data, QJsonObject& object);
    static QString toText(const QJsonObject& object);

    // A member's text; empty when it is missing or not a text.
    static QString text(const QJsonObject& object, const QString& key);
    static std::string utf8(const QJsonObject& object, const QString& key);
    // A text column read as UTF-8. Statements select text columns as blobs (see
    // textColumn) so that the bytes arrive as stored, without a detour through UTF-16.
    static std::string utf8(const QVariant& column);
    // "CAST(column AS BLOB) AS column".
    static QString textColumn(const QString& column);
    // A member holding a decimal number. A missing or empty member reads as 0; any other
    // text that is no number of that kind gives false.
    static bool toUnsigned(const QJsonObject& object, const QString& key, unsigned int& value);
    static bool toInt(const QJsonObject& object, const QString& key, int& value);
    // A member holding Base64; false for text that is not Base64.
    static bool toBytes(const QJsonObject& object, const QString& key, QByteArray& bytes);

    // The id under which an object is re-created: the member "ID" must name the same id as
    // `path`, lie within the allocator's range and be free.
    static bool freeId(const QJsonObject& object, const QString& path, const IDDistributor& ids, unsigned int& id);

    // The index of an object filed in a folder: folder id, separator, "Row" property.
    template <typename Filed>
    static QString index(const Filed& object)
    {
        return ObjectPath::index(object.folderId(), QString::fromStdString(object.property("Row", std::string())));
    }

    // Files an object under the folder and row that `index` names; `fileUnder` stores the
    // folder id (a folder's parent is its setParentId). False, and nothing changes, unless the
    // index has exactly two pieces and the first is a folder id.
    template <typename Filed>
    static bool move(Filed& object, const QString& index,
                     void (Filed::*fileUnder)(unsigned int) = &Filed::setFolderId)
    {
        QString folder, row;
        unsigned int folderId = 0;
        if (!ObjectPath::splitIndex(index, folder, row) || !ObjectPath::toId(folder, folderId))
            return false;
        (object.*fileUnder)(folderId);
        object.setProperty("Row", row.toStdString());
        return true;
    }
};
