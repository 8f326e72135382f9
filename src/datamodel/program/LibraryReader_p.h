#pragma once

#include "datamodel/model/Result.h"
#include "datamodel/program/LibraryModel.h"

#include <QString>
#include <QVariantMap>

#include <memory>
#include <string>

class AbstractProjectModel;

// Reads a library file for the library model: finds the password that opens it (the default
// one, else what the user types at the host's prompt), opens it read-only through the project
// (AbstractProjectModel::openLibraryFile), checks that it is a library with a usable version
// (and, when asked, compiled) and collects its objects. A failure carries the library model's
// AddLibErrorCode, a message for the user and the raw cause apart.
class LibraryReader
{
public:
    struct Library
    {
        std::unique_ptr<AbstractProjectModel> project; // opened read-only; owns what data points to
        LibraryModel::LibraryData data;
    };

    explicit LibraryReader(const AbstractProjectModel* project);

    Result<Library> read(const QString& file, const std::string& name, bool checkCompiled) const;
    // The comments of a read library in `language` ("zh_cn"): comment key -> text, the keys
    // those of its translation table (a POU's name, "POU.variable" for a variable). A library
    // without that language shows its first one rather than nothing.
    static QVariantMap comments(const LibraryModel::LibraryData& library, const QString& language);

private:
    Result<QString> acceptedPassword(const QString& file) const;

    const AbstractProjectModel* m_project; // not owned
};
