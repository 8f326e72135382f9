#include "StandardLibraries.h"

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
        const QString folder = QStringLiteral("%1/Libraries/norvale/%2/%3")
                                   .arg(projectFolder, QFileInfo(file).completeBaseName(), version);
        const QString target = QDir(folder).filePath(QString::fromLatin1(library));
        QFile::remove(target);
        if (!QDir().mkpath(folder) || !QFile::copy(file, target)) {
            *error = QStringLiteral("cannot copy %1 to %2").arg(file, target);
            return false;
        }
        installed << target;
    }
    return true;
}

} // namespace plcproj
