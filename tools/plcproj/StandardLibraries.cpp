#include "StandardLibraries.h"

#include "datamodel/model/ProjectFiles.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/program/LibraryModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace plcproj {

QString StandardLibraries::folder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/datamodel/libraries"));
}

bool StandardLibraries::install(const QString& projectFolder, QStringList& installed, QString* error)
{
    const QString source = folder();
    for (const char* library : {LibraryModel::BaseLibrary, LibraryModel::ExpansionLibrary}) {
        const QString file = QDir(source).filePath(QString::fromLatin1(library));
        if (!QFileInfo(file).isFile()) {
            *error = QStringLiteral("the standard library %1 is missing (looked in %2)").arg(QString::fromLatin1(library), source);
            return false;
        }
        std::unique_ptr<PlcLibraryModel> model(
            AbstractPlcProjectModel::openLibrary("plcproj", file.toStdString(), AbstractPlcProjectModel::DefaultPassword));
        auto* infoModel = model ? model->subModel<PrjInfoModel>() : nullptr;
        const QString version = infoModel && infoModel->projectInfo()
                                    ? QString::fromStdString(infoModel->projectInfo()->version())
                                    : QString();
        model.reset();
        if (!LibraryModel::isVersionText(version)) {
            *error = QStringLiteral("%1 is no usable library file (version '%2')").arg(file, version);
            return false;
        }
        // A project folder may come from someone else: nothing is written through a link.
        const Result<QString> folder = ProjectFiles::makeFolder(
            projectFolder, QStringLiteral("Libraries/norvale/%1/%2").arg(QFileInfo(file).completeBaseName(), version));
        const Result<QString> target = folder ? ProjectFiles::join(folder.value(), QString::fromLatin1(library)) : folder;
        const Result<void> noLink = target ? ProjectFiles::refuseLinks(projectFolder, target.value()) : Result<void>();
        if (!target || !noLink) {
            *error = !target ? target.errorString() : noLink.errorString();
            return false;
        }
        QFile::remove(target.value());
        const Result<void> copied = ProjectFiles::copyNew(file, target.value());
        if (!copied) {
            *error = copied.failure().describe();
            return false;
        }
        installed << target.value();
    }
    return true;
}

} // namespace plcproj
