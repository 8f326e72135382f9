#pragma once

#include "LibraryManifest.h"

#include <QString>
#include <QStringList>

class AbstractPlcProjectModel;

namespace nvlbuild {

// Makes a library project file from a manifest: a new library project with the manifest's
// folders, data types, global lists and POUs, every declaration and body checked by the
// compiler core, the comment texts in the translation table, "Compile" set to "true" and the
// version stamped. The file appears at the output path only when all of this succeeded.
class LibraryBuilder
{
public:
    explicit LibraryBuilder(const LibraryManifest& manifest) : m_manifest(manifest) {}

    // False with the reasons in problems(); diagnostics of the core are among them.
    bool build(const QString& output);
    const QStringList& problems() const { return m_problems; }
    QString summary() const { return m_summary; }

private:
    bool fill(AbstractPlcProjectModel* library);
    bool check(const std::string& name);
    bool translate(AbstractPlcProjectModel* library, const std::string& name);
    bool finish(AbstractPlcProjectModel* library);
    bool fail(const QString& problem);

    const LibraryManifest& m_manifest;
    QStringList m_problems;
    QString m_summary;
};

} // namespace nvlbuild
