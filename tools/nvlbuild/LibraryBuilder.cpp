#include "LibraryBuilder.h"

#include "datamodel/auxiliary/InternationalModel.h"
#include "datamodel/compiler/SymbolSynchrinizer.h"
#include "datamodel/model/IDDistributor.h"
#include "datamodel/project/PlcLibraryModel.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/FolderModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"
#include "accore/SafeAccore.h"
#include "accore/Symbol.h"
#include "accore/VarContainer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <map>
#include <memory>

namespace nvlbuild {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

FolderModel::FolderType folderType(SourceObject::Kind kind)
{
    switch (kind) {
    case SourceObject::DataType: return FolderModel::DataTypeForder;
    case SourceObject::GlobalList: return FolderModel::GlobleVarForder;
    case SourceObject::Pou: break;
    }
    return FolderModel::PouForder;
}

// Unregisters the library project when the build is over, whichever way it ends.
struct Registration
{
    std::string name;
    ~Registration()
    {
        if (!name.empty())
            ProjectModelManager::instance()->removeProjectModel(name);
    }
};

} // namespace

bool LibraryBuilder::fail(const QString& problem)
{
    m_problems << problem;
    return false;
}

bool LibraryBuilder::build(const QString& output)
{
    const QFileInfo target(output);
    if (!QDir().mkpath(target.absolutePath()))
        return fail(QStringLiteral("cannot create the folder %1").arg(target.absolutePath()));
    // The library is made in a folder of its own beside the output and moved there when it is
    // complete, so that a failed build leaves no file that looks finished.
    QTemporaryDir work(target.absolutePath() + QStringLiteral("/.nvlbuild-XXXXXX"));
    if (!work.isValid())
        return fail(QStringLiteral("cannot create a work folder in %1").arg(target.absolutePath()));
    const std::string name = m_manifest.name.toStdString();
    const QString file = work.filePath(m_manifest.name + QStringLiteral(".nvl"));

    auto library = std::make_unique<PlcLibraryModel>(name, work.path().toStdString(), file.toStdString());
    const std::map<std::string, std::string> params = {
        {"fileName", name},
        {"filePath", file.toStdString()},
        {"projectType", m_manifest.type.toStdString()},
        {"programStyle", "IECStyle"},
        {"author", m_manifest.author.toStdString()},
        {"comments", m_manifest.comments.toStdString()},
        {"createVersion", m_manifest.version.toStdString()}};
    if (!library->create(params))
        return fail(QStringLiteral("creating the library project %1 failed").arg(file));
    AbstractPlcProjectModel* model = library.get();
    if (ProjectModelManager::instance()->addProjectModel(name, model) != ProjectModelManager::Success)
        return fail(QStringLiteral("a project named %1 is open already").arg(m_manifest.name));
    library.release(); // owned by the registry
    Registration registration{name};
    {
        SafeProjectModel hold(name);
        if (!fill(model))
            return false;
    }
    if (!check(name))
        return false;
    {
        SafeProjectModel hold(name);
        if (!translate(model, name) || !finish(model))
            return false;
    }
    ProjectModelManager::instance()->removeProjectModel(name);
    registration.name.clear();
    if (!ProjectModelManager::instance()->waitForRemovals(10000))
        return fail(QStringLiteral("the library project %1 was not closed").arg(file));

    if (QFileInfo::exists(output) && !QFile::remove(output))
        return fail(QStringLiteral("cannot replace %1").arg(output));
    if (!QFile::rename(file, output))
        return fail(QStringLiteral("cannot move %1 to %2").arg(file, output));
    return true;
}

bool LibraryBuilder::fill(AbstractPlcProjectModel* library)
{
    auto* folders = library->subModel<FolderModel>();
    auto* types = library->subModel<DataTypeModel>();
    auto* lists = library->subModel<GlobalVarModel>();
    auto* pous = library->subModel<PouModel>();
    auto* references = library->subModel<LibraryModel>();
    if (!folders || !types || !lists || !pous || !references)
        return fail(QStringLiteral("the library project lacks a sub-model"));
    // A new library file names the standard libraries as its own references; a standard library
    // that referenced itself would be read twice.
    std::vector<LibraryModel::LibraryCfg*> defaults;
    references->allLibs(defaults);
    for (LibraryModel::LibraryCfg* cfg : defaults)
        if (!references->removeLib(cfg->name()))
            return fail(QStringLiteral("cannot remove the reference to %1").arg(q(cfg->name())));

    // Folders by path; "Motion/Single axis" is the folder "Single axis" inside "Motion".
    std::map<QString, FolderModel::Folder*> made;
    auto folderFor = [&](const SourceObject& object) -> unsigned int {
        if (object.folder.isEmpty())
            return 0;
        unsigned int parent = 0;
        QString path;
        for (const QString& part : object.folder.split(QLatin1Char('/'))) {
            path += (path.isEmpty() ? QString() : QStringLiteral("/")) + part;
            FolderModel::Folder*& folder = made[path];
            if (!folder) {
                folder = folders->addFolder(part.toStdString(), parent, folderType(object.kind));
                folder->setProperty("Row", std::to_string(made.size() - 1));
            } else if (folder->type() != folderType(object.kind)) {
                fail(QStringLiteral("%1: the folder %2 holds objects of another kind").arg(object.file, path));
                return IDDistributor::INVALID_ID;
            }
            parent = folder->id();
        }
        return parent;
    };

    int row = 0;
    for (const SourceObject& object : m_manifest.objects) {
        const unsigned int folder = folderFor(object);
        if (folder == IDDistributor::INVALID_ID)
            return false;
        const std::string name = object.name.toStdString();
        const std::string order = std::to_string(row++);
        switch (object.kind) {
        case SourceObject::DataType: {
            auto* unit = types->addDataUnit(name, static_cast<DataTypeModel::PrjDataType>(object.subKind), folder);
            if (!unit)
                return fail(QStringLiteral("%1: the data type cannot be added").arg(object.file));
            unit->setVarDeclaration(object.declaration);
            unit->setProperty("Row", order);
            break;
        }
        case SourceObject::GlobalList: {
            auto* list = lists->addVarTable(name, folder);
            if (!list)
                return fail(QStringLiteral("%1: the global list cannot be added").arg(object.file));
            list->setVarDeclaration(object.declaration);
            list->setProperty("Row", order);
            break;
        }
        case SourceObject::Pou: {
            auto* pou = pous->addPou(name, static_cast<PouModel::PouType>(object.subKind), PouModel::POU_ST, folder);
            if (!pou)
                return fail(QStringLiteral("%1: the POU cannot be added").arg(object.file));
            pou->setVarDeclaration(object.declaration);
            pou->setLogicContext(object.logic);
            pou->setProperty("Row", order);
            break;
        }
        }
    }
    return true;
}

bool LibraryBuilder::check(const std::string& name)
{
    // The same steps as the IDE's synchroniser, in dependency order: every declaration, then
    // every body against all of them.
    SymbolSynchrinizer* sync = SymbolSynchrinizer::instance();
    sync->bindProject(name);
    sync->setSyncStatue(false);
    std::vector<ac::ACMessage> messages;
    auto gather = [&](const std::vector<ac::ACMessage>& found) {
        messages.insert(messages.end(), found.begin(), found.end());
    };
    for (const SourceObject& object : m_manifest.objects) {
        const std::string objectName = object.name.toStdString();
        const SyncType type = object.kind == SourceObject::DataType     ? SyncDataType
                            : object.kind == SourceObject::GlobalList ? SyncGlobalVars
                                                                       : SyncPouDeclaration;
        if (!sync->syncStep(type, objectName))
            fail(QStringLiteral("%1: the declaration was not parsed").arg(object.file));
        SafeProjectModel hold(name);
        AbstractProjectModel* library = hold.project();
        if (object.kind == SourceObject::DataType)
            gather(library->subModel<DataTypeModel>()->dataUnit(object.name)->getVarDeclarationErr());
        else if (object.kind == SourceObject::GlobalList)
            gather(library->subModel<GlobalVarModel>()->varTable(object.name)->getVarDeclarationErr());
        else
            gather(library->subModel<PouModel>()->pou(object.name)->getVarDeclarationErr());
    }
    for (const SourceObject& object : m_manifest.objects) {
        if (object.kind != SourceObject::Pou)
            continue;
        if (!sync->syncStep(SyncPouLogic, object.name.toStdString())) {
            fail(QStringLiteral("%1: the body was not checked").arg(object.file));
            continue;
        }
        SafeProjectModel hold(name);
        gather(hold.project()->subModel<PouModel>()->pou(object.name)->getPouLogicErr());
    }
    for (const ac::ACMessage& message : messages)
        if (message.isError())
            m_problems << q(message.toString());
    return m_problems.isEmpty();
}

bool LibraryBuilder::translate(AbstractPlcProjectModel* library, const std::string& name)
{
    auto* texts = library->subModel<InternationalModel>();
    if (!texts)
        return fail(QStringLiteral("the library project has no translation table"));
    QVector<QString> keys;
    for (const Translation& translation : m_manifest.translations) {
        // A key names an object of the library, or a variable of one: a mistyped key would
        // never be shown.
        const QString object = translation.key.section(QLatin1Char('.'), 0, 0);
        const QString variable = translation.key.section(QLatin1Char('.'), 1);
        bool known = false;
        for (const SourceObject& source : m_manifest.objects)
            known = known || source.name == object;
        if (known && !variable.isEmpty()) {
            ac::SafeAccore core(name);
            ac::ACCore* compiler = core.getAccore();
            const ac::Symbol* symbol = compiler ? compiler->symbol(object.toStdString(), std::string(), 0) : nullptr;
            const auto* container = dynamic_cast<const ac::VarContainer*>(symbol);
            known = container && container->param(variable.toStdString());
        }
        if (!known) {
            fail(QStringLiteral("translation key '%1' names nothing in the library").arg(translation.key));
            continue;
        }
        for (auto it = translation.texts.begin(); it != translation.texts.end(); ++it) {
            const InternationalModel::InternationalNodeType type = texts->languageType(it.key());
            if (type == InternationalModel::GenerationRow) {
                fail(QStringLiteral("the library has no language %1").arg(it.key()));
                continue;
            }
            if (!texts->changKeyTranslate(type, translation.key, it.value()))
                fail(QStringLiteral("the text of '%1' in %2 was not stored").arg(translation.key, it.key()));
        }
        keys << translation.key;
    }
    // Only the keys of this build stay.
    texts->checkAllKeys(keys);
    texts->deleteAllExpireData();
    return m_problems.isEmpty();
}

bool LibraryBuilder::finish(AbstractPlcProjectModel* library)
{
    auto* infoModel = library->subModel<PrjInfoModel>();
    PrjInfoModel::PrjInfo* info = infoModel ? infoModel->projectInfo() : nullptr;
    if (!info)
        return fail(QStringLiteral("the library project has no project information"));
    // Last, because every edit above marked the library as not compiled.
    info->setVersion(m_manifest.version.toStdString());
    info->setAuthor(m_manifest.author.toStdString());
    info->setComments(m_manifest.comments.toStdString());
    info->setProperty("Company", "Norvale");
    info->setProperty("Compile", "true");
    if (!library->save())
        return fail(QStringLiteral("saving the library failed"));

    int types = 0, lists = 0, pous = 0;
    for (const SourceObject& object : m_manifest.objects)
        ++(object.kind == SourceObject::DataType ? types : object.kind == SourceObject::GlobalList ? lists : pous);
    m_summary = QStringLiteral("%1.nvl %2 (%3): %4 data types, %5 global lists, %6 POUs, %7 translated keys")
                    .arg(m_manifest.name, m_manifest.version, m_manifest.type)
                    .arg(types)
                    .arg(lists)
                    .arg(pous)
                    .arg(m_manifest.translations.size());
    return true;
}

} // namespace nvlbuild
