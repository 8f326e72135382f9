#pragma once

#include <QString>
#include <QStringList>

// Texts that name and place an object outside its sub-model, as the command stack keeps them.
// The path of most objects is their id in decimal; the index of a filed object is its parent
// folder id, the separator, and its "Row" property.
class ObjectPath
{
public:
    // The one field separator of every composite text (23 characters).
    static inline const QString Separator = QStringLiteral("[*PROJECT_MODEL_STACK*]");

    static QString fromId(unsigned int id) { return QString::number(id); }

    // The id named by a path; false when the path is not an unsigned decimal number.
    static bool toId(const QString& path, unsigned int& id)
    {
        bool ok = false;
        id = path.toUInt(&ok);
        return ok;
    }

    static QString index(unsigned int parentId, const QString& row)
    {
        return QString::number(parentId) + Separator + row;
    }

    // Splits an index into its two pieces; false unless there are exactly two.
    static bool splitIndex(const QString& index, QString& first, QString& second)
    {
        const QStringList pieces = index.split(Separator);
        if (pieces.size() != 2)
            return false;
        first = pieces[0];
        second = pieces[1];
        return true;
    }

    static QString join(const QStringList& fields) { return fields.join(Separator); }
};
