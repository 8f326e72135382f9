#include "datamodel/program/LibraryChange_p.h"

#include "datamodel/model/HostServices.h"
#include "datamodel/model/ObjectTable_p.h"
#include "datamodel/model/ScopedTransaction_p.h"
#include "datamodel/model/SqlText_p.h"
#include "datamodel/program/LibraryFiles_p.h"
#include "datamodel/program/LibraryInstaller_p.h"
#include "datamodel/program/LibraryModel_p.h"
#include "datamodel/program/LibraryReader_p.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

QString LibraryChange::userText(const Failure& failure)
{
    return failure.errorText.isEmpty() ? failure.errorString : failure.errorString + QStringLiteral(": ") + failure.errorText;
}

LibraryChange::LibraryChange(LibraryModel& model) : m(model) {}

bool LibraryChange::nameTaken(const std::string& name) const
{
    AbstractProjectModel* project = m.projectModel();
    if (!project)
        return false;
    const QString text = q(name);
    auto inModel = [&text](AbstractProjectModel* model) {
        auto* types = model->subModel<DataTypeModel>();
        auto* pous = model->subModel<PouModel>();
        auto* lists = model->subModel<GlobalVarModel>();
        return (types && types->dataUnit(text)) || (pous && pous->pou(text)) || (lists && lists->varTable(text));
    };
    if (inModel(project))
        return true;
    for (const auto& entry : m.d->loaded)
        if (inModel(entry.second.project.get()))
            return true;
    return false;
}

std::string LibraryChange::usedName(const LibraryModel::LibraryData& library) const
{
    for (DataTypeModel::DataUnit* unit : library.dataTypes)
        if (nameTaken(unit->name()))
            return unit->name();
    for (PouModel::PouUnit* pou : library.pous)
        if (nameTaken(pou->name()))
            return pou->name();
    for (GlobalVarModel::GlobalVarTable* list : library.globalVars)
        if (nameTaken(list->name()))
            return list->name();
    return std::string();
}

LibraryModel::LibraryCfg* LibraryChange::add(const QString& projectDir, const QString& libFile, Code& code, QString& message)
{
    const QString name = QFileInfo(libFile).fileName();
    const std::string utf8 = name.toStdString();
    auto fail = [&](const Failure& failure) -> LibraryModel::LibraryCfg* {
        code = static_cast<Code>(failure.code);
        message = userText(failure);
        m.writeLog(HostServices::LogInfo, "添加库失败:" + libFile.toStdString() + ": " + message.toStdString());
        return nullptr;
    };
    if (!LibraryFiles::isPlainFileName(name))
        return fail({LibraryModel::CannotOpen, QStringLiteral("'%1' names no library file").arg(libFile), {}});
    if (m.isLibExit(utf8))
        return fail({LibraryModel::LibraryLoaded, QStringLiteral("a library named %1 is loaded already").arg(name), {}});
    if (!m.hasCore())
        return fail({LibraryModel::CannotOpen, QStringLiteral("the project has no compiler core named '%1'").arg(q(m.coreName())), {}});

    Result<LibraryReader::Library> candidate = LibraryReader(m.projectModel()).read(libFile, utf8, true);
    if (!candidate)
        return fail(candidate.failure());
    const std::string used = usedName(candidate->data);
    if (!used.empty()) {
        fail({LibraryModel::NameInUse, QStringLiteral("the name %1 of library %2 is used already").arg(q(used), name), {}});
        message = q(used);
        return nullptr;
    }

    const std::string path = "/Libraries/userlib/" + utf8;
    const Result<QString> folder = LibraryFiles::checkedLibraryFolder(projectDir, path);
    if (!folder)
        return fail({LibraryModel::FileError, folder.errorString(), {}});
    LibraryInstaller installer(LibraryModel::FileError, projectDir);
    const Result<void> prepared =
        installer.prepare(libFile, folder.value() + QLatin1Char('/') + q(candidate->data.version), name);
    if (!prepared)
        return fail(prepared.failure());
    candidate->data.file = installer.target().toStdString();

    const bool newFileId = std::none_of(m.d->fileIdPaths.begin(), m.d->fileIdPaths.end(),
                                        [&path](const auto& entry) { return entry.second == path; });
    const int fileId = m.path2LibFileId(path, false);
    if (fileId < 0)
        return fail({LibraryModel::FileError, QStringLiteral("no file id is left for %1").arg(name), {}});
    candidate->data.fileId = fileId;
    auto undoFileId = [&] {
        if (newFileId)
            m.forgetFileId(fileId);
    };
    QString coreError;
    if (!m.registerWithCore(candidate->data, utf8, coreError)) {
        m.withdrawFromCore(fileId);
        undoFileId();
        return fail({LibraryModel::CannotOpen, coreError, {}});
    }

    // The rows: a configuration of that name (a library whose file was missing) is reused.
    LibraryModel::LibraryCfg* cfg = m.library(utf8);
    std::unique_ptr<LibraryModel::LibraryCfg> fresh;
    if (!cfg) {
        const unsigned int id = m.d->libraries.nextId();
        if (id == IDDistributor::INVALID_ID) {
            m.withdrawFromCore(fileId);
            undoFileId();
            return fail({LibraryModel::FileError, QStringLiteral("no library id is left for %1").arg(name), {}});
        }
        fresh = std::make_unique<LibraryModel::LibraryCfg>(id, utf8, &m);
        cfg = fresh.get();
    }
    const std::string oldPath = cfg->m_path;
    const StringProperties oldProperties = cfg->m_properties;
    const unsigned int oldTime = cfg->m_mdfTime;
    cfg->m_path = path;
    cfg->setProperty("IsLatestVersion", "false");
    cfg->setProperty("SpecifyVersion", candidate->data.version);
    cfg->setmdfTime(static_cast<unsigned int>(QFileInfo(installer.staged()).lastModified().toSecsSinceEpoch()));
    // The rows and the file in place, or none of them.
    Result<void> installed = Failure{LibraryModel::FileError, QString(), QString()};
    bool written = false;
    {
        ScopedTransaction transaction(m.database());
        written = transaction.isActive() && (!newFileId || m.insertFileIdRow(fileId, path))
                  && (!fresh
                      || m.exec(QStringLiteral("INSERT INTO librarymanager (Id, Name) VALUES(") + QString::number(cfg->id())
                                  + QStringLiteral(", ") + SqlText::literal(name) + QLatin1Char(')'),
                              "adding the row of library " + utf8))
                  && m.writeRow(cfg) && (installed = installer.commit()) && transaction.commit();
        if (!written && m.d->lastError.isEmpty())
            m.d->lastError = transaction.errorText();
    }
    if (!written) {
        cfg->m_path = oldPath;
        cfg->m_properties = oldProperties;
        cfg->m_mdfTime = oldTime;
        m.withdrawFromCore(fileId);
        undoFileId();
        if (!installed.errorString().isEmpty())
            return fail(installed.failure());
        return fail({LibraryModel::FileError, QStringLiteral("the rows of library %1 could not be written").arg(name), m.d->lastError});
    }
    installer.finish();
    if (fresh)
        m.d->libraries.insertLoaded(std::move(fresh));
    m.keepLoaded(utf8, std::move(candidate->project), candidate->data);
    markForRecompilation();
    m.libPouCommentData();
    m.writeLog(HostServices::LogInfo, "添加库:" + utf8);
    return cfg;
}

bool LibraryChange::replace(const std::string& name, const std::string& file, Code& code, QString& message)
{
    auto fail = [&](const Failure& failure) {
        code = static_cast<Code>(failure.code);
        message = userText(failure);
        m.writeLog(HostServices::LogInfo, "替换库失败:" + name + ": " + message.toStdString());
        return false;
    };
    LibraryModel::LibraryCfg* cfg = m.library(name);
    if (!cfg)
        return fail({LibraryModel::CannotOpen, QStringLiteral("no library named %1 is configured").arg(q(name)), {}});
    const QString folder = LibraryFiles::libraryFolder(m.projectDir(), cfg->path());
    if (folder.isEmpty())
        return fail({LibraryModel::CannotOpen,
                     QStringLiteral("the path '%1' of library %2 leads outside the project's Libraries folder")
                         .arg(q(cfg->path()), q(name)),
                     {}});
    if (!m.hasCore())
        return fail({LibraryModel::CannotOpen, QStringLiteral("the project has no compiler core named '%1'").arg(q(m.coreName())), {}});
    Result<LibraryReader::Library> candidate = LibraryReader(m.projectModel()).read(q(file), name, false);
    if (!candidate)
        return fail(candidate.failure());

    // The old library stays in place until the new one is proven usable; for the name check it
    // steps aside, so that its own names do not count as taken.
    LibraryModel::LibraryData oldData;
    std::unique_ptr<AbstractProjectModel> oldProject = m.dropLoaded(name, &oldData);
    auto restore = [&] {
        if (oldProject)
            m.keepLoaded(name, std::move(oldProject), oldData);
    };
    const std::string used = usedName(candidate->data);
    if (!used.empty()) {
        restore();
        fail({LibraryModel::NameInUse, QStringLiteral("the name %1 of the new %2 is used already").arg(q(used), q(name)), {}});
        message = q(used);
        return false;
    }
    LibraryInstaller installer(LibraryModel::FileError, m.projectDir());
    const Result<void> prepared =
        installer.prepare(q(file), folder + QLatin1Char('/') + q(candidate->data.version), q(name));
    const bool newFileId = !oldProject && std::none_of(m.d->fileIdPaths.begin(), m.d->fileIdPaths.end(), [&cfg](const auto& entry) {
        return entry.second == cfg->path();
    });
    const int fileId = !prepared ? -1 : oldProject ? oldData.fileId : m.path2LibFileId(cfg->path(), true);
    auto undoFileId = [&] {
        if (newFileId && fileId > 0) {
            m.deleteFileIdRow(fileId);
            m.forgetFileId(fileId);
        }
    };
    if (!prepared || fileId < 0) {
        restore();
        return fail(prepared ? Failure{LibraryModel::FileError, QStringLiteral("no file id is left for %1").arg(q(name)), {}}
                             : prepared.failure());
    }
    candidate->data.file = installer.target().toStdString();

    // After the next open the project must read what it reads now: pin the version unless the
    // new file is the latest one anyway.
    const std::map<std::string, std::string> oldProperties = cfg->propertys();
    const unsigned int oldTime = cfg->mdfTime();
    if (cfg->property("IsLatestVersion", "false") != "true"
        || LibraryFiles::compareVersions(LibraryFiles::latestVersion(folder), q(candidate->data.version)) != 0) {
        cfg->setProperty("IsLatestVersion", "false");
        cfg->setProperty("SpecifyVersion", candidate->data.version);
    }
    cfg->setmdfTime(static_cast<unsigned int>(QFileInfo(installer.staged()).lastModified().toSecsSinceEpoch()));
    Result<void> installed;
    if (!m.writeRow(cfg) || !(installed = installer.commit())) {
        cfg->m_properties.map() = oldProperties;
        cfg->m_mdfTime = oldTime;
        m.writeRow(cfg); // the row as it was, for a commit that failed after the row was written
        undoFileId();
        restore();
        return fail(installed ? Failure{LibraryModel::FileError, QStringLiteral("the row of library %1 could not be written").arg(q(name)),
                                        m.d->lastError}
                              : installed.failure());
    }
    installer.finish();

    candidate->data.fileId = fileId;
    if (oldProject)
        m.withdrawFromCore(fileId);
    QString coreError;
    if (!m.registerWithCore(candidate->data, name, coreError))
        m.writeLog(HostServices::LogInfo, "library " + name + " is not known to the compiler core: "
                                            + coreError.toStdString());
    m.keepLoaded(name, std::move(candidate->project), candidate->data);
    oldProject.reset(); // the old library's model closes now
    markForRecompilation();
    m.libPouCommentData();
    m.writeLog(HostServices::LogInfo, "替换库");
    return true;
}

bool LibraryChange::remove(const std::string& libraryName)
{
    // A copy: the caller may hand in the name of the configuration that is deleted here.
    const std::string name = libraryName;
    LibraryModel::LibraryCfg* cfg = m.library(name);
    if (!cfg) {
        m.writeLog(HostServices::LogInfo, "删除库失败: no library named " + name);
        return false;
    }
    int fileId = m.getLibraryId(name);
    if (fileId < 0)
        for (const auto& [id, path] : m.d->fileIdPaths)
            if (path == cfg->path())
                fileId = id;
    bool removed = false;
    {
        ScopedTransaction transaction(m.database());
        removed = transaction.isActive()
                  && m.exec(QStringLiteral("delete from librarymanager where id = ") + SqlText::literal(QString::number(cfg->id())),
                          "deleting the row of library " + name)
                  && (fileId <= 0 || m.deleteFileIdRow(fileId)) && transaction.commit();
    }
    if (!removed) {
        m.writeLog(HostServices::LogInfo, "删除库失败:" + name);
        return false;
    }
    if (fileId > 0) {
        m.withdrawFromCore(fileId);
        m.forgetFileId(fileId);
    }
    m.dropLoaded(name);
    m.d->libraries.erase(cfg);
    markForRecompilation();
    m.libPouCommentData();
    m.writeLog(HostServices::LogInfo, "删除库:" + name);
    return true;
}

void LibraryChange::unload(const std::string& libraryName)
{
    const std::string name = libraryName; // the caller's text may be the key erased here
    auto it = m.d->loaded.find(name);
    if (it == m.d->loaded.end())
        return;
    const int fileId = it->second.data.fileId;
    m.withdrawFromCore(fileId);
    m.dropLoaded(name);
    m.deleteFileIdRow(fileId);
    m.forgetFileId(fileId);
    m.libPouCommentData();
}

void LibraryChange::forgetFile(int fileId)
{
    m.withdrawFromCore(fileId);
    m.deleteFileIdRow(fileId);
    m.forgetFileId(fileId);
}

void LibraryChange::markForRecompilation() const
{
    if (AbstractProjectModel* project = m.projectModel(); project && project->type() == AbstractProjectModel::Project)
        m.markProjectModified(false);
}
