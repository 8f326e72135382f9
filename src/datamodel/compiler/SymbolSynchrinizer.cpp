#include "datamodel/compiler/SymbolSynchrinizer.h"

#include "datamodel/compiler/CoreRegistration_p.h"
#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/IdReferences_p.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"
#include "accore/BasicDataType.h"
#include "accore/ASTTree.h"
#include "accore/ProjectVars.h"
#include "accore/SafeAccore.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "host/api/IProgramLanguageManager.h"

#include <QDateTime>
#include <QDebug>

#include <functional>

namespace {

const char* const module = "SymbolSynchrinizer";
// A sync that keeps failing (its object or its project keeps changing under it) is given up
// after this many tries instead of circling through the queue for ever.
constexpr int maxAttempts = 3;

long long nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// One declared object found by name, in the project or in a library.
struct Found
{
    DeclaredObject* object = nullptr;
    bool inProject = true;
    int libraryId = -1;

    explicit operator bool() const { return object != nullptr; }
    int id() const { return object ? int(object->id()) : -1; }
    std::string declaration() const { return object ? object->varDeclaration() : std::string(); }
    // The POU, when the object is one.
    PouModel::PouUnit* pou() const
    {
        return object && object->kind() == DeclaredObject::PouKind ? static_cast<PouModel::PouUnit*>(object) : nullptr;
    }
};

enum Kinds { Units = 1, Pous = 2, Lists = 4, All = Units | Pous | Lists };

int kindsOf(SyncType type)
{
    return type == SyncDataType ? Units : type == SyncGlobalVars ? Lists : Pous;
}

// Looks a name up in one project model: data units, then POUs, then global variable lists.
// A library's objects are compared without regard to case, as the project's own lookups do.
Found findIn(AbstractProjectModel* project, const std::string& name, int kinds)
{
    Found found;
    if (!project)
        return found;
    if (kinds & Units)
        if (auto* model = project->subModel<DataTypeModel>())
            found.object = model->dataUnit(q(name));
    if (!found && (kinds & Pous))
        if (auto* model = project->subModel<PouModel>())
            found.object = model->pou(q(name));
    if (!found && (kinds & Lists))
        if (auto* model = project->subModel<GlobalVarModel>())
            found.object = model->varTable(q(name));
    return found;
}

// The libraries of a project in the library model's order, with their ids; stops when
// `visit` returns false. Libraries that are configured but not loaded are passed over.
void forEachLibrary(AbstractProjectModel* project, const std::function<bool(AbstractProjectModel*, int)>& visit)
{
    auto* libraries = project ? project->subModel<LibraryModel>() : nullptr;
    if (!libraries)
        return;
    for (const std::string& name : libraries->getAllLibName()) {
        AbstractProjectModel* library = libraries->libProjectModel(name);
        if (library && !visit(library, libraries->getLibraryId(name)))
            return;
    }
}

Found find(AbstractProjectModel* project, const std::string& name, int kinds)
{
    Found found = findIn(project, name, kinds);
    if (found)
        return found;
    forEachLibrary(project, [&](AbstractProjectModel* library, int libraryId) {
        found = findIn(library, name, kinds);
        found.inProject = false;
        found.libraryId = libraryId;
        return !found;
    });
    return found;
}

// Visits every data unit, POU (programs, functions, function blocks) and global variable list
// of a project model, in this order; stops when `visit` returns false.
void forEachObject(AbstractProjectModel* project, int kinds, const std::function<bool(DeclaredObject*)>& visit)
{
    if (!project)
        return;
    auto visitAll = [&visit](const auto& objects) {
        for (DeclaredObject* object : objects)
            if (!visit(object))
                return false;
        return true;
    };
    if (auto* model = (kinds & Units) ? project->subModel<DataTypeModel>() : nullptr) {
        std::vector<DataTypeModel::DataUnit*> all;
        model->allDataUnits(all);
        if (!visitAll(all))
            return;
    }
    if (auto* model = (kinds & Pous) ? project->subModel<PouModel>() : nullptr) {
        std::vector<PouModel::PouUnit*> all;
        model->allPous(all, PouModel::AllPouTypes);
        if (!visitAll(all))
            return;
    }
    if (auto* model = (kinds & Lists) ? project->subModel<GlobalVarModel>() : nullptr) {
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        model->allVarTables(all);
        visitAll(all);
    }
}

} // namespace

SymbolSynchrinizer* SymbolSynchrinizer::instance()
{
    static SymbolSynchrinizer* synchroniser = new SymbolSynchrinizer();
    return synchroniser;
}

SymbolSynchrinizer::SymbolSynchrinizer()
{
    qRegisterMetaType<SyncType>("SyncType");
    qRegisterMetaType<std::string>("std::string");
    // The single instance lives as long as the process: the holder is never removed.
    IdReferences::addHolder([this](const AbstractProjectModel& project, const std::string& subModel, unsigned int id) {
        return keepsId(project, subModel, id);
    });
}

bool SymbolSynchrinizer::keepsId(const AbstractProjectModel& project, const std::string& subModel, unsigned int id) const
{
    if (m_symbolIndex.empty() || project.name() != boundProject())
        return false;
    if (subModel == PouModel::staticMetaObject.className())
        return m_uidUses.count(combine(id, static_cast<unsigned int>(project.getFileID()))) != 0;
    if (subModel == LibraryModel::staticMetaObject.className())
        return m_fileIdUses.count(id & 0xFFFFu) != 0;
    return false;
}

SymbolSynchrinizer::~SymbolSynchrinizer()
{
    quit();
    wait();
}

void SymbolSynchrinizer::bindProject(const std::string& projectName)
{
    std::lock_guard<std::mutex> lock(m_nameMutex);
    m_project = projectName;
}

std::string SymbolSynchrinizer::boundProject() const
{
    std::lock_guard<std::mutex> lock(m_nameMutex);
    return m_project;
}

void SymbolSynchrinizer::start()
{
    clearSyncQueue();
    m_running = true;
    QThread::start(QThread::InheritPriority);
}

void SymbolSynchrinizer::quit()
{
    qDebug("SymbolSynchrinizer thread quit");
    m_running = false;
    clearSyncQueue();
    m_semaphore.release();
    m_pauseWake.notify_all();
    QThread::quit();
}

void SymbolSynchrinizer::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_pauseMutex);
    m_pauseWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !m_running.load(); });
}

bool SymbolSynchrinizer::addToSyncQueue(SyncType type, const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    for (const SyncData& entry : m_queue)
        if (entry.type == type && entry.name == name)
            return true;
    m_queue.push_back(SyncData{type, name, 0});
    m_semaphore.release();
    return true;
}

bool SymbolSynchrinizer::sync(SyncType type, const std::string& name)
{
    addToSyncQueue(type, name);
    return true;
}

void SymbolSynchrinizer::clearSyncQueue()
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_queue.clear();
}

std::size_t SymbolSynchrinizer::queueSize() const
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    return m_queue.size();
}

bool SymbolSynchrinizer::syncModel(const std::string& text, SyncType type, const std::string& name)
{
    SafeProjectModel project(boundProject());
    if (!project.project())
        return false;
    if (type > SyncGlobalVars)
        return true; // other kinds store nothing and are no failure
    const Found found = findIn(project.project(), name, kindsOf(type));
    if (!found)
        return false;
    if (type == SyncPouLogic)
        found.pou()->setLogicContext(text);
    else
        found.object->setVarDeclaration(text);
    return true;
}

bool SymbolSynchrinizer::syncModelSymbol(const std::string& text, SyncType type, const std::string& name)
{
    return syncModel(text, type, name) && sync(type, name);
}

bool SymbolSynchrinizer::getDataFromSyncQueue(SyncData& out)
{
    return _getDataFromSyncQueue(out) == Take::Taken;
}

// The project is taken BEFORE the queue mutex: a thread that holds the project and queues an
// entry (the GUI thread) must never wait for the queue mutex while this thread holds it and
// waits for the project.
SymbolSynchrinizer::Take SymbolSynchrinizer::_getDataFromSyncQueue(SyncData& out)
{
    const std::string name = boundProject();
    if (name.empty() || queueSize() == 0)
        return Take::Nothing;
    SafeProjectModel project(name);
    if (!project.project()) {
        // Entries of a project that is gone would wait for ever: give them up.
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (!m_queue.empty())
            HostServices::log(module, HostServices::LogInfo,
                              "project '" + name + "' is not open: " + std::to_string(m_queue.size())
                                  + " queued syncs dropped");
        m_queue.clear();
        return Take::Nothing;
    }
    const long long now = nowMs();
    std::lock_guard<std::mutex> lock(m_queueMutex);
    if (m_queue.empty())
        return Take::Nothing;
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        const Found found = findIn(project.project(), it->name, kindsOf(it->type));
        if (!found) {
            m_queue.erase(it);
            return Take::NotYet;
        }
        const long long last =
            it->type == SyncPouLogic ? found.pou()->syncLogicTime() : found.object->syncTime();
        if (now - last >= 1000) {
            out = *it;
            m_queue.erase(it);
            return Take::Taken;
        }
    }
    return Take::NotYet;
}

bool SymbolSynchrinizer::_canSync(const std::string& name)
{
    if (HostServices::cookie(QStringLiteral("IDE/ActionState"), QStringLiteral("idle")).toString()
        != QLatin1String("idle"))
        return false;
    if (HostServices::isTransferBusy())
        return false;
    const std::string project = boundProject();
    bool referenced = false;
    {
        ac::SafeAccore core(project);
        if (!core.getAccore())
            return false;
        referenced = core.getAccore()->isRefSymbol(name);
    }
    if (!referenced)
        return true;
    SafeProjectModel model(project);
    auto* info = model.project() ? model.project()->subModel<PrjInfoModel>() : nullptr;
    if (!info || !info->projectInfo())
        return false;
    return info->projectInfo()->property("Compile") != "true";
}

bool SymbolSynchrinizer::syncImmediately(SyncType type, const std::string& name)
{
    if (!_canSync(name))
        return false;
    return _syncImmediately(type, name, false);
}

void SymbolSynchrinizer::beginPass()
{
    {
        ac::SafeAccore core(boundProject());
        if (core.getAccore())
            core.getAccore()->clearSymbolCache();
    }
    m_inPass = true;
}

void SymbolSynchrinizer::endPass()
{
    m_inPass = false;
}

bool SymbolSynchrinizer::prepareCore(const std::string& projectName, bool flag)
{
    ac::SafeAccore core(projectName, flag);
    if (!core.getAccore())
        return false;
    if (!m_inPass)
        core.getAccore()->clearSymbolCache();
    return true;
}

bool SymbolSynchrinizer::_syncImmediately(SyncType type, const std::string& name, bool flag, bool paced)
{
    if (m_skipSync)
        return true;
    bool done = false;
    switch (type) {
    case SyncPouDeclaration:
    case SyncDataType:
    case SyncGlobalVars:
        done = syncDeclaration(type, name, flag);
        break;
    case SyncPouLogic:
        done = syncLogic(name, flag);
        break;
    default:
        done = true; // nothing to parse
        break;
    }
    if (!done)
        return false;
    if (paced)
        QThread::msleep(2);
    emit syncComplied(type, name);
    return true;
}

// Declarations: read the text holding the project, parse holding the core, store the
// messages holding the project again; never both at once.
bool SymbolSynchrinizer::syncDeclaration(SyncType type, const std::string& name, bool flag)
{
    const std::string projectName = boundProject();
    if (!prepareCore(projectName, flag))
        return false;
    const int kind = kindsOf(type);
    std::string objectName, text;
    int fileId = 0, parseKind = ac::PK_UNKNOWN;
    {
        SafeProjectModel project(projectName, flag);
        AbstractProjectModel* plc = project.project();
        if (!plc)
            return false;
        fileId = plc->getFileID();
        const Found found = findIn(plc, name, kind);
        if (!found)
            return false;
        text = found.declaration();
        objectName = found.object->name();
        parseKind = found.object->coreParseKind();
        // A POU's messages are cleared before the parse; those of a type or a list when the new
        // ones are stored.
        if (found.pou())
            found.object->varDeclarationErrClear();
    }
    std::vector<ac::ACMessage> messages;
    {
        ac::SafeAccore core(projectName, flag);
        ac::ACCore* accore = core.getAccore();
        if (!accore)
            return false;
        accore->reset(ac::ACCore::ClearMessages);
        const DeclaredObject::Kind declared = type == SyncDataType     ? DeclaredObject::DataTypeKind
                                              : type == SyncGlobalVars ? DeclaredObject::GlobalVarKind
                                                                       : DeclaredObject::PouKind;
        CoreRegistration::parse(*accore, declared, text, objectName, fileId, parseKind);
        messages = accore->errors();
    }
    SafeProjectModel project(projectName, flag);
    const Found found = findIn(project.project(), name, kind);
    if (!found)
        return false;
    if (!found.pou())
        found.object->varDeclarationErrClear();
    found.object->addVarDeclarationErr(messages);
    found.object->setSyncTime(nowMs());
    return true;
}

bool SymbolSynchrinizer::syncLogic(const std::string& name, bool flag)
{
    const std::string projectName = boundProject();
    if (!prepareCore(projectName, flag))
        return false;
    std::string pouName, text;
    int fileId = 0, language = 0;
    {
        SafeProjectModel project(projectName, flag);
        AbstractProjectModel* plc = project.project();
        if (!plc)
            return false;
        fileId = plc->getFileID();
        PouModel::PouUnit* pou = findIn(plc, name, Pous).pou();
        if (!pou)
            return false;
        pouName = pou->name();
        language = pou->languageType();
        pou->pouLogicErrClear();
        text = pou->logicContext();
    }
    auto* languages = HostServices::get<host::IProgramLanguageManager>();
    host::IProgramLanguageHandler* handler = languages ? languages->handler(language) : nullptr;
    if (!handler)
        return false;
    std::vector<ac::ACMessage> messages;
    {
        ac::SafeAccore core(projectName, flag);
        ac::ACCore* accore = core.getAccore();
        if (!accore)
            return false;
        accore->reset(ac::ACCore::ClearMessages);
        std::unique_ptr<ac::ASTTree> tree = handler->parse(text, name, fileId);
        if (!tree || !accore->symbolPOU(pouName))
            return false;
        accore->checkPOU(tree->root(), pouName, -1, nullptr);
        messages = accore->errors();
    }
    handler->adjustMessages(messages, pouName);
    SafeProjectModel project(projectName, flag);
    PouModel::PouUnit* pou = findIn(project.project(), name, Pous).pou();
    if (!pou)
        return false;
    pou->addPouLogicErr(messages);
    pou->setSyncLogicTime(nowMs());
    return true;
}

void SymbolSynchrinizer::run()
{
    qDebug("SymbolSynchrinizer thread run");
    if (!m_running)
        return;
    while (m_running) {
        if (queueSize() != 0 && m_semaphore.available() == 0)
            m_semaphore.release();
        m_semaphore.acquire();
        if (!m_running)
            break;
        SyncData entry;
        const Take take = _getDataFromSyncQueue(entry);
        if (take == Take::Nothing)
            continue; // wait for the next entry without polling
        if (take == Take::NotYet) {
            pause(1000);
            continue;
        }
        if (!_canSync(entry.name))
            continue; // refused entries are dropped
        if (!_syncImmediately(entry.type, entry.name, false)) {
            if (++entry.attempts < maxAttempts) {
                std::lock_guard<std::mutex> lock(m_queueMutex);
                bool queued = false;
                for (const SyncData& other : m_queue)
                    queued = queued || (other.type == entry.type && other.name == entry.name);
                if (!queued) {
                    m_queue.push_back(entry);
                    m_semaphore.release();
                }
            } else {
                HostServices::log(module, HostServices::LogInfo,
                                  "sync of '" + entry.name + "' given up after " + std::to_string(maxAttempts)
                                      + " failed tries");
            }
        }
        pause(1000);
    }
}

bool SymbolSynchrinizer::changeParam(SyncType type, const std::string& objectName, const std::string& varName,
                                     const std::function<bool(ac::VarContainer&)>& change)
{
    {
        ac::SafeAccore core(boundProject());
        ac::ACCore* accore = core.getAccore();
        if (!accore)
            return false;
        ac::VarContainer* container = nullptr;
        if (type == SyncPouDeclaration)
            container = accore->symbolPOU(objectName);
        else if (type == SyncGlobalVars)
            container = accore->symbolGVL(objectName);
        if (!container || !change(*container))
            return false;
    }
    emit paramUpdate(type, objectName, varName);
    return true;
}

bool SymbolSynchrinizer::addParam(SyncType type, const std::string& objectName, const std::string& varName,
                                  const std::string& typeText, int scope)
{
    return changeParam(type, objectName, varName, [&](ac::VarContainer& container) {
        return container.addParam(varName, typeText, scope, -1);
    });
}

bool SymbolSynchrinizer::removeParam(SyncType type, const std::string& objectName, const std::string& varName)
{
    return changeParam(type, objectName, varName,
                       [&](ac::VarContainer& container) { return container.removeParam(varName); });
}

void SymbolSynchrinizer::addSymbolErr(const std::string& objectName, const std::string& part,
                                      std::vector<ac::ACMessage>& messages, int symbolType, bool clear)
{
    const int kinds = symbolType == ac::ST_DATATYPE ? Units
                    : symbolType == ac::ST_POU      ? Pous
                    : symbolType == ac::ST_GVL      ? Lists
                                                    : 0;
    if (kinds == 0)
        return;
    SafeProjectModel project(boundProject());
    const Found found = findIn(project.project(), objectName, kinds);
    if (!found)
        return;
    // A POU's messages are those of its declaration ("decl") or of its logic ("impl").
    if (PouModel::PouUnit* pou = found.pou(); pou && part != "decl") {
        if (part != "impl")
            return;
        if (clear)
            pou->pouLogicErrClear();
        pou->addPouLogicErr(messages);
        return;
    }
    if (clear)
        found.object->varDeclarationErrClear();
    found.object->addVarDeclarationErr(messages);
}

bool SymbolSynchrinizer::isSync(const std::string& name)
{
    // A POU first, then a data unit, then a list: the first object of the name decides. The
    // models' name indexes find it; lists are compared without regard to case here as the
    // other kinds are, which their own lookup does for ASCII letters only.
    SafeProjectModel project(boundProject());
    AbstractProjectModel* plc = project.project();
    if (!plc)
        return true;
    DeclaredObject* found = nullptr;
    if (auto* pous = plc->subModel<PouModel>())
        found = pous->pou(q(name));
    if (!found)
        if (auto* units = plc->subModel<DataTypeModel>())
            found = units->dataUnit(q(name));
    if (!found)
        if (auto* lists = plc->subModel<GlobalVarModel>())
            found = lists->varTableIgnoringCase(q(name));
    return found ? found->declarationInSync() : true;
}

bool SymbolSynchrinizer::isSync()
{
    SafeProjectModel project(boundProject());
    bool inSync = true;
    forEachObject(project.project(), All, [&](DeclaredObject* object) { return inSync = object->declarationInSync(); });
    return inSync;
}

bool SymbolSynchrinizer::isProjectModify()
{
    SafeProjectModel project(boundProject());
    bool modified = false;
    forEachObject(project.project(), All, [&](DeclaredObject* object) { return !(modified = object->isModified()); });
    return modified;
}

bool SymbolSynchrinizer::getProjectSymbol(std::vector<std::string>& lists, std::vector<std::string>& types,
                                          std::vector<std::string>& pous, bool projectOnly)
{
    SafeProjectModel project(boundProject());
    AbstractProjectModel* plc = project.project();
    if (!plc)
        return false;
    const long long now = nowMs();
    auto collect = [&](DeclaredObject* object) {
        const DeclaredObject::Kind kind = object->kind();
        (kind == DeclaredObject::GlobalVarKind ? lists : kind == DeclaredObject::DataTypeKind ? types : pous)
            .push_back(object->name());
        return true;
    };
    // The project's own objects count as synchronised from now on.
    auto collectSynced = [&](DeclaredObject* object) {
        object->setSyncTime(now);
        return collect(object);
    };
    forEachObject(plc, Lists, collectSynced);
    forEachObject(plc, Units, collectSynced);
    forEachObject(plc, Pous, collectSynced);
    if (!projectOnly) {
        forEachLibrary(plc, [&](AbstractProjectModel* library, int) {
            forEachObject(library, Lists, collect);
            forEachObject(library, Units, collect);
            forEachObject(library, Pous, collect);
            return true;
        });
    }
    if (plc->type() == AbstractProjectModel::Project) {
        ac::SafeAccore core(boundProject());
        if (core.getAccore() && core.getAccore()->getProjectVars())
            for (const std::string& name : core.getAccore()->getProjectVars()->projectInternaleVar())
                pous.push_back(name);
    }
    return true;
}

int SymbolSynchrinizer::getIdByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    return find(project.project(), name, All).id();
}

int SymbolSynchrinizer::getLibFileIdByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    const Found found = find(project.project(), name, All);
    if (!found)
        return -1;
    AbstractProjectModel* plc = project.project();
    return found.inProject ? (plc ? plc->getFileID() : -1) : found.libraryId;
}

int SymbolSynchrinizer::getPouIdByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    return find(project.project(), name, Pous).id();
}

std::string SymbolSynchrinizer::getVarDeclarationByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    return find(project.project(), name, All).declaration();
}

std::string SymbolSynchrinizer::getLogicContextByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    PouModel::PouUnit* pou = find(project.project(), name, Pous).pou();
    return pou ? pou->logicContext() : std::string();
}

std::vector<char> SymbolSynchrinizer::getGraphDataByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    PouModel::PouUnit* pou = find(project.project(), name, Pous).pou();
    return pou ? pou->graphData() : std::vector<char>();
}

unsigned int SymbolSynchrinizer::getModifyTimetByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    const Found found = findIn(project.project(), name, All);
    return found ? found.object->modifiedTime() : 0u;
}

int SymbolSynchrinizer::getProgramTypeByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    const Found found = find(project.project(), name, All);
    if (!found)
        return NotFound;
    switch (found.object->kind()) {
    case DeclaredObject::DataTypeKind: return DataTypeUnit;
    case DeclaredObject::GlobalVarKind: return GlobalVarList;
    case DeclaredObject::PouKind: break;
    }
    const PouModel::PouLanguageType language = found.pou()->languageType();
    return language == PouModel::POU_ST ? StPou : language == PouModel::POU_LD_JAPAN ? LadderPou : NotFound;
}

bool SymbolSynchrinizer::isPRGPou(const std::string& name)
{
    SafeProjectModel project(boundProject());
    auto* pous = project.project() ? project.project()->subModel<PouModel>() : nullptr;
    PouModel::PouUnit* pou = pous ? pous->pou(q(name)) : nullptr;
    return pou && pou->type() == PouModel::PRGPOU;
}

bool SymbolSynchrinizer::insertSymbolIndexAndPouUUID(unsigned int symIndex, unsigned int pouUID)
{
    if (!m_symbolIndex.emplace(symIndex, pouUID).second)
        return false;
    ++m_uidUses[pouUID];
    ++m_fileIdUses[pouUID & 0xFFFFu];
    return true;
}

bool SymbolSynchrinizer::removeSymbolIndex(unsigned int symIndex)
{
    auto entry = m_symbolIndex.find(symIndex);
    if (entry == m_symbolIndex.end())
        return false;
    auto forget = [](std::map<unsigned int, int>& uses, unsigned int key) {
        auto it = uses.find(key);
        if (it != uses.end() && --it->second <= 0)
            uses.erase(it);
    };
    forget(m_uidUses, entry->second);
    forget(m_fileIdUses, entry->second & 0xFFFFu);
    m_symbolIndex.erase(entry);
    return true;
}

unsigned int SymbolSynchrinizer::symIndex2PouUID(unsigned int symIndex) const
{
    auto it = m_symbolIndex.find(symIndex);
    return it == m_symbolIndex.end() ? 0u : it->second;
}

unsigned int SymbolSynchrinizer::pouId2SymIndex(unsigned int pouId)
{
    int fileId = 0;
    {
        SafeProjectModel project(boundProject());
        if (AbstractProjectModel* plc = project.project())
            fileId = plc->getFileID();
    }
    const unsigned int uid = combine(pouId, static_cast<unsigned int>(fileId));
    for (const auto& [index, value] : m_symbolIndex)
        if (value == uid)
            return index;
    return 0;
}

unsigned int SymbolSynchrinizer::pouName2PouUID(const std::string& name)
{
    const unsigned int id = static_cast<unsigned int>(getPouIdByName(name));
    const unsigned int file = static_cast<unsigned int>(getLibFileIdByName(name));
    return (id << 16) | (file & 0xFFFFu);
}

std::string SymbolSynchrinizer::pouUID2PouName(unsigned int uid)
{
    unsigned int pouId = 0, fileId = 0;
    retract(uid, pouId, fileId);
    SafeProjectModel project(boundProject());
    AbstractProjectModel* plc = project.project();
    if (!plc)
        return std::string();
    if (fileId == static_cast<unsigned int>(plc->getFileID() & 0xFFFF)) {
        auto* pous = plc->subModel<PouModel>();
        PouModel::PouUnit* pou = pous ? pous->pou(pouId) : nullptr;
        return pou ? pou->name() : std::string();
    }
    // The low half names the library: POU ids repeat from one library to the next.
    std::string name;
    forEachLibrary(plc, [&](AbstractProjectModel* library, int libraryId) {
        if ((static_cast<unsigned int>(libraryId) & 0xFFFFu) != fileId)
            return true;
        auto* pous = library->subModel<PouModel>();
        PouModel::PouUnit* pou = pous ? pous->pou(pouId) : nullptr;
        if (pou)
            name = pou->name();
        return false;
    });
    return name;
}

QString SymbolSynchrinizer::pouName2FileName(const std::string& name, QString& viewName)
{
    const QString project = q(boundProject());
    SafeProjectModel model(boundProject());
    if (!model.project())
        return QString();
    const Found found = findIn(model.project(), name, All);
    if (!found)
        return QString();
    QString folder;
    switch (found.object->kind()) {
    case DeclaredObject::PouKind:
        if (found.pou()->languageType() == PouModel::POU_ST)
            viewName = QStringLiteral("st");
        else if (found.pou()->languageType() == PouModel::POU_LD_JAPAN)
            viewName = QStringLiteral("lad");
        folder = QStringLiteral(".Programing.pou.");
        break;
    case DeclaredObject::DataTypeKind:
        viewName = QStringLiteral("DataTypeView");
        folder = QStringLiteral(".Programing.Data Type.");
        break;
    case DeclaredObject::GlobalVarKind:
        viewName = QStringLiteral("GlobalVarView");
        folder = QStringLiteral(".Programing.Global Var.");
        break;
    }
    return project + folder + viewName + QString::number(found.object->id());
}

QString SymbolSynchrinizer::fbInstance2FileName(const std::string& instance, const std::string& pouName,
                                               QString& viewName)
{
    pouName2FileName(pouName, viewName);
    return QStringLiteral("FB.%1.%2").arg(q(boundProject()), q(instance) + "_" + QString::number(getIdByName(pouName)));
}

std::vector<std::string> SymbolSynchrinizer::getHiddenItemNames()
{
    return {"DevicePOU", "IOMappingVars", "HiddenAxisVar", "HiddenAxisGroupVar", "EcamVars"};
}

void SymbolSynchrinizer::sendSyncOperation(SyncType type, int operationType, const std::string& name)
{
    emit syncOperation(type, operationType, name);
}
