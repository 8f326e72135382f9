#include "datamodel/program/LibraryReader_p.h"

#include "datamodel/model/DatabaseConnection_p.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/TranslationTable.h"
#include "datamodel/program/LibraryFiles_p.h"

#include "host/api/IDialogs.h"

#include <QFileInfo>

namespace {

// A user who keeps typing wrong passwords is asked this often, then the library is refused.
constexpr int MaxPasswordPrompts = 5;

Failure cannotOpen(const QString& message, const QString& cause = QString())
{
    return Failure{LibraryModel::CannotOpen, message, cause};
}

// A library registers its translations under the name of the class that implements them.
TranslationTable* translationsOf(AbstractProjectModel* library)
{
    return library ? dynamic_cast<TranslationTable*>(library->subModel("InternationalModel")) : nullptr;
}

} // namespace

LibraryReader::LibraryReader(const AbstractProjectModel* project) : m_project(project) {}

Result<QString> LibraryReader::acceptedPassword(const QString& file) const
{
    const QFileInfo info(file);
    if (!info.isFile())
        return cannotOpen(QStringLiteral("the library file %1 does not exist").arg(file));
    if (info.size() == 0)
        return cannotOpen(QStringLiteral("%1 is empty, not a library file").arg(file));
    QString password = AbstractProjectModel::DefaultPassword;
    for (int prompts = 0;; ++prompts) {
        {
            ScopedConnection probe("LibraryModel", file.toStdString(), password, false);
            if (probe.isOpen())
                return password;
            // Only a file that may be an encrypted database is worth a password: the driver
            // tells a wrong password apart from a file of another kind.
            if (probe.errorNumber() != AbstractProjectModel::WrongPasswordError)
                return cannotOpen(QStringLiteral("%1 is not a library file").arg(file), probe.errorText());
        }
        if (prompts == MaxPasswordPrompts)
            return cannotOpen(QStringLiteral("%1: wrong password").arg(file));
        auto* dialogs = HostServices::get<host::IDialogs>();
        bool ok = false;
        const QString typed = dialogs ? dialogs->text(QStringLiteral("Library Password"), QStringLiteral("Password"),
                                                      true, &ok)
                                      : QString();
        if (!ok)
            return Failure{LibraryModel::PasswordCancelled,
                           QStringLiteral("the password prompt for %1 was cancelled").arg(file), QString()};
        password = typed;
    }
}

Result<LibraryReader::Library> LibraryReader::read(const QString& file, const std::string& name,
                                                   bool checkCompiled) const
{
    Result<QString> password = acceptedPassword(file);
    if (!password)
        return password.failure();
    Library library;
    library.project = m_project ? m_project->openLibraryFile(name, file.toStdString(), password.value()) : nullptr;
    AbstractProjectModel* project = library.project.get();
    auto* infoModel = project ? project->subModel<PrjInfoModel>() : nullptr;
    PrjInfoModel::PrjInfo* info = infoModel ? infoModel->projectInfo() : nullptr;
    if (!info)
        return cannotOpen(QStringLiteral("%1 is not a library file: it holds no project information").arg(file));
    const AbstractProjectModel::ProjectType type = info->type();
    if (type != AbstractProjectModel::UserLib && type != AbstractProjectModel::FirmwareLib
        && type != AbstractProjectModel::CompiledLib)
        return cannotOpen(QStringLiteral("%1 is a user project, not a library").arg(file));
    // The version names a folder below the project: nothing but numbers and dots.
    const QString version = QString::fromStdString(info->version());
    if (!LibraryFiles::isVersionText(version))
        return cannotOpen(QStringLiteral("%1 has the version '%2', which is no version number").arg(file, version));
    if (checkCompiled && info->property("Compile", "false") != "true")
        return Failure{LibraryModel::NotCompiled, QStringLiteral("%1 is not compiled").arg(file), QString()};

    LibraryModel::LibraryData& data = library.data;
    data.project = project;
    data.file = file.toStdString();
    data.version = version.toStdString();
    data.type = type;
    data.info = info;
    if (auto* folders = project->subModel<FolderModel>())
        folders->allFolders(data.folders, FolderModel::AllFolderTypes);
    if (auto* types = project->subModel<DataTypeModel>())
        types->allDataUnits(data.dataTypes);
    if (auto* pous = project->subModel<PouModel>())
        pous->allPous(data.pous, PouModel::AllPouTypes);
    if (auto* lists = project->subModel<GlobalVarModel>())
        lists->allVarTables(data.globalVars);
    if (TranslationTable* texts = translationsOf(project)) {
        data.translations = texts->getAllInternationalNode();
        data.languages = texts->languages();
    }
    return library;
}

QVariantMap LibraryReader::comments(const LibraryModel::LibraryData& library, const QString& language)
{
    TranslationTable* texts = translationsOf(library.project);
    int type = texts ? texts->languageType(language) : 0;
    if (type == 0 && texts && !texts->languages().isEmpty())
        type = texts->languageType(texts->languages().first());
    QVariantMap comments;
    for (const TranslationTable::InternationalNodeStruct& node : library.translations)
        if (node.type == type)
            comments.insert(node.key, node.context);
    return comments;
}
