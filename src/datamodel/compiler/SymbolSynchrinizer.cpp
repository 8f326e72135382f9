#include "datamodel/compiler/SymbolSynchrinizer.h"

#include "datamodel/model/AbstractProjectModel.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/PrjInfoModel.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/program/DataTypeModel.h"
#include "datamodel/program/GlobalVarModel.h"
#include "datamodel/program/LibraryModel.h"
#include "datamodel/program/PouModel.h"

#include "accore/ACCore.h"
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

bool sameName(const std::string& a, const std::string& b)
{
    return q(a).compare(q(b), Qt::CaseInsensitive) == 0;
}

// One model object found by name, in the project or in a library.
struct Found
{
    PouModel::PouUnit* pou = nullptr;
    DataTypeModel::DataUnit* unit = nullptr;
    GlobalVarModel::GlobalVarTable* list = nullptr;
    bool inProject = true;
    int libraryId = -1;

    explicit operator bool() const { return pou || unit || list; }
    int id() const { return pou ? int(pou->id()) : unit ? int(unit->id()) : list ? int(list->id()) : -1; }
    std::string declaration() const
    {
        return pou ? pou->varDeclaration() : unit ? unit->varDeclaration() : list ? list->varDeclaration() : std::string();
    }
    const std::string& name() const { return pou ? pou->name() : unit ? unit->name() : list->name(); }
    const StringProperties& properties() const
    {
        return pou ? pou->properties() : unit ? unit->properties() : list->properties();
    }
    bool isModified() const { return pou ? pou->isModified() : unit ? unit->isModified() : list->isModified(); }
    // The time of the last sync of the declaration (a POU's declaration time).
    long long lastSync() const { return pou ? pou->syncVarDecTime() : unit ? unit->synceTime() : list->synceTime(); }
    void setLastSync(long long time) const
    {
        if (pou)
            pou->setSyncVarDecTime(time);
        else if (unit)
            unit->setSynceTime(time);
        else
            list->setSynceTime(time);
    }
    // Stale when the declaration changed after the last sync.
    bool inSync() const { return lastSync() >= std::stoll("0" + properties().value("VarDeclModifiedTime", "0")); }
};

enum Kinds { Units = 1, Pous = 2, Lists = 4, All = 7 };

// Looks a name up in one project model: data units, then POUs, then global variable lists.
// A library's objects are compared without regard to case, as the project's own lookups do.
Found findIn(AbstractProjectModel* project, const std::string& name, int kinds)
{
    Found found;
    if (!project)
        return found;
    if (kinds & Units)
        if (auto* model = project->subModel<DataTypeModel>())
            found.unit = model->dataUnit(q(name));
    if (!found && (kinds & Pous))
        if (auto* model = project->subModel<PouModel>())
            found.pou = model->pou(q(name));
    if (!found && (kinds & Lists))
        if (auto* model = project->subModel<GlobalVarModel>())
            found.list = model->varTable(q(name));
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
void forEachObject(AbstractProjectModel* project, int kinds, const std::function<bool(const Found&)>& visit)
{
    if (!project)
        return;
    if (auto* model = (kinds & Units) ? project->subModel<DataTypeModel>() : nullptr) {
        std::vector<DataTypeModel::DataUnit*> all;
        model->allDataUnits(all);
        for (auto* unit : all) {
            Found found;
            found.unit = unit;
            if (!visit(found))
                return;
        }
    }
    if (auto* model = (kinds & Pous) ? project->subModel<PouModel>() : nullptr) {
        std::vector<PouModel::PouUnit*> all;
        model->allPous(all, 14);
        for (auto* pou : all) {
            Found found;
            found.pou = pou;
            if (!visit(found))
                return;
        }
    }
    if (auto* model = (kinds & Lists) ? project->subModel<GlobalVarModel>() : nullptr) {
        std::vector<GlobalVarModel::GlobalVarTable*> all;
        model->allVarTables(all);
        for (auto* list : all) {
            Found found;
            found.list = list;
            if (!visit(found))
                return;
        }
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
    const Found found = findIn(project.project(), name, type == SyncDataType ? Units : type == SyncGlobalVars ? Lists : Pous);
    if (type == SyncPouLogic && found.pou)
        found.pou->setLogicContext(text);
    else if (type == SyncPouDeclaration && found.pou)
        found.pou->setVarDeclaration(text);
    else if (type == SyncDataType && found.unit)
        found.unit->setVarDeclaration(text);
    else if (type == SyncGlobalVars && found.list)
        found.list->setVarDeclaration(text);
    else
        return type > SyncGlobalVars; // other kinds store nothing and are no failure
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
        const int kind = it->type == SyncDataType ? Units : it->type == SyncGlobalVars ? Lists : Pous;
        const Found found = findIn(project.project(), it->name, kind);
        if (!found) {
            m_queue.erase(it);
            return Take::NotYet;
        }
        const long long last = found.pou ? (it->type == SyncPouLogic ? found.pou->syncLogicTime()
                                                                    : found.pou->syncVarDecTime())
                               : found.unit ? found.unit->synceTime()
                                            : found.list->synceTime();
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

bool SymbolSynchrinizer::_syncImmediately(SyncType type, const std::string& name, bool flag)
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
    QThread::msleep(2);
    emit syncComplied(type, name);
    return true;
}

// Declarations: read the text holding the project, parse holding the core, store the
// messages holding the project again; never both at once.
bool SymbolSynchrinizer::syncDeclaration(SyncType type, const std::string& name, bool flag)
{
    const std::string projectName = boundProject();
    {
        ac::SafeAccore core(projectName, flag);
        if (!core.getAccore())
            return false;
        core.getAccore()->clearSymbolCache();
    }
    const int kind = type == SyncDataType ? Units : type == SyncGlobalVars ? Lists : Pous;
    std::string objectName, text;
    int fileId = 0, parseKind = -1;
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
        if (found.pou) {
            objectName = found.pou->name();
            const int t = found.pou->type();
            parseKind = t == 2 ? 1 : t == 4 ? 2 : t == 8 ? 3 : -1;
            found.pou->varDeclarationErrClear();
        } else if (found.unit) {
            objectName = found.unit->name();
            parseKind = found.unit->type() == 0 ? 1 : found.unit->type() == 1 ? 2 : -1;
        } else {
            objectName = found.list->name();
        }
    }
    std::vector<ac::ACMessage> messages;
    {
        ac::SafeAccore core(projectName, flag);
        ac::ACCore* accore = core.getAccore();
        if (!accore)
            return false;
        accore->reset(4);
        if (type == SyncPouDeclaration)
            accore->parserPou(text, objectName, fileId, false, false, parseKind);
        else if (type == SyncDataType)
            accore->parserTypes(text, objectName, fileId, false, false, parseKind);
        else
            accore->parseGlobalVars(text, objectName, fileId, false, false);
        messages = accore->errors();
    }
    SafeProjectModel project(projectName, flag);
    const Found found = findIn(project.project(), name, kind);
    if (!found)
        return false;
    const long long now = nowMs();
    if (found.pou) {
        found.pou->addVarDeclarationErr(messages);
        found.pou->setSyncVarDecTime(now);
    } else if (found.unit) {
        found.unit->varDeclarationErrClear();
        found.unit->addVarDeclarationErr(messages);
        found.unit->setSynceTime(now);
    } else {
        found.list->varDeclarationErrClear();
        found.list->addVarDeclarationErr(messages);
        found.list->setSynceTime(now);
    }
    return true;
}

bool SymbolSynchrinizer::syncLogic(const std::string& name, bool flag)
{
    const std::string projectName = boundProject();
    {
        ac::SafeAccore core(projectName, flag);
        if (!core.getAccore())
            return false;
        core.getAccore()->clearSymbolCache();
    }
    std::string pouName, text;
    int fileId = 0, language = 0;
    {
        SafeProjectModel project(projectName, flag);
        AbstractProjectModel* plc = project.project();
        if (!plc)
            return false;
        fileId = plc->getFileID();
        const Found found = findIn(plc, name, Pous);
        if (!found.pou)
            return false;
        pouName = found.pou->name();
        language = found.pou->languageType();
        found.pou->pouLogicErrClear();
        text = found.pou->logicContext();
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
        accore->reset(4);
        std::unique_ptr<ac::ASTTree> tree = handler->parse(text, name, fileId);
        if (!tree || !accore->symbolPOU(pouName))
            return false;
        accore->checkPOU(tree->root(), pouName, -1, nullptr);
        messages = accore->errors();
    }
    handler->adjustMessages(messages, pouName);
    SafeProjectModel project(projectName, flag);
    const Found found = findIn(project.project(), name, Pous);
    if (!found.pou)
        return false;
    found.pou->addPouLogicErr(messages);
    found.pou->setSyncLogicTime(nowMs());
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
    SafeProjectModel project(boundProject());
    if (symbolType == 1) {
        const Found found = findIn(project.project(), objectName, Units);
        if (!found.unit)
            return;
        if (clear)
            found.unit->varDeclarationErrClear();
        found.unit->addVarDeclarationErr(messages);
    } else if (symbolType == 4) {
        const Found found = findIn(project.project(), objectName, Pous);
        if (!found.pou)
            return;
        if (part == "decl") {
            if (clear)
                found.pou->varDeclarationErrClear();
            found.pou->addVarDeclarationErr(messages);
        } else if (part == "impl") {
            if (clear)
                found.pou->pouLogicErrClear();
            found.pou->addPouLogicErr(messages);
        }
    } else if (symbolType == 16) {
        const Found found = findIn(project.project(), objectName, Lists);
        if (!found.list)
            return;
        if (clear)
            found.list->varDeclarationErrClear();
        found.list->addVarDeclarationErr(messages);
    }
}

bool SymbolSynchrinizer::isSync(const std::string& name)
{
    // A POU first, then a data unit, then a list: the first object of the name decides.
    SafeProjectModel project(boundProject());
    bool inSync = true;
    bool matched = false;
    for (int kind : {int(Pous), int(Units), int(Lists)}) {
        forEachObject(project.project(), kind, [&](const Found& found) {
            if (!sameName(found.name(), name))
                return true;
            matched = true;
            inSync = found.inSync();
            return false;
        });
        if (matched)
            break;
    }
    return inSync;
}

bool SymbolSynchrinizer::isSync()
{
    SafeProjectModel project(boundProject());
    bool inSync = true;
    forEachObject(project.project(), All, [&](const Found& found) { return inSync = found.inSync(); });
    return inSync;
}

bool SymbolSynchrinizer::isProjectModify()
{
    SafeProjectModel project(boundProject());
    bool modified = false;
    forEachObject(project.project(), All, [&](const Found& found) { return !(modified = found.isModified()); });
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
    auto collect = [&](const Found& found) {
        (found.list ? lists : found.unit ? types : pous).push_back(found.name());
        return true;
    };
    forEachObject(plc, Lists, [&](const Found& found) { found.setLastSync(now); return collect(found); });
    forEachObject(plc, Units, [&](const Found& found) { found.setLastSync(now); return collect(found); });
    forEachObject(plc, Pous, [&](const Found& found) { found.setLastSync(now); return collect(found); });
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
    const Found found = find(project.project(), name, Pous);
    return found.pou ? found.pou->logicContext() : std::string();
}

std::vector<char> SymbolSynchrinizer::getGraphDataByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    const Found found = find(project.project(), name, Pous);
    return found.pou ? found.pou->graphData() : std::vector<char>();
}

unsigned int SymbolSynchrinizer::getModifyTimetByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    const Found found = findIn(project.project(), name, All);
    return found.pou ? found.pou->varModifiedTime()
         : found.unit ? found.unit->modifiedTime()
         : found.list ? found.list->modifiedTime()
                      : 0u;
}

int SymbolSynchrinizer::getProgramTypeByName(const std::string& name)
{
    SafeProjectModel project(boundProject());
    const Found found = find(project.project(), name, All);
    if (found.unit)
        return DataTypeUnit;
    if (found.list)
        return GlobalVarList;
    if (found.pou && found.pou->languageType() == PouModel::POU_ST)
        return StPou;
    if (found.pou && found.pou->languageType() == PouModel::POU_LD_JAPAN)
        return LadderPou;
    return NotFound;
}

bool SymbolSynchrinizer::isPRGPou(const std::string& name)
{
    SafeProjectModel project(boundProject());
    auto* pous = project.project() ? project.project()->subModel<PouModel>() : nullptr;
    if (!pous)
        return false;
    std::vector<PouModel::PouUnit*> programs;
    pous->allPous(programs, PouModel::PRGPOU);
    for (auto* pou : programs)
        if (sameName(pou->name(), name))
            return true;
    return false;
}

bool SymbolSynchrinizer::insertSymbolIndexAndPouUUID(unsigned int symIndex, unsigned int pouUID)
{
    return m_symbolIndex.emplace(symIndex, pouUID).second;
}

bool SymbolSynchrinizer::removeSymbolIndex(unsigned int symIndex)
{
    return m_symbolIndex.erase(symIndex) != 0;
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
    if (found.pou) {
        if (found.pou->languageType() == PouModel::POU_ST)
            viewName = QStringLiteral("st");
        else if (found.pou->languageType() == PouModel::POU_LD_JAPAN)
            viewName = QStringLiteral("lad");
        return project + ".Programing.pou." + viewName + QString::number(found.pou->id());
    }
    if (found.unit) {
        viewName = QStringLiteral("DataTypeView");
        return project + ".Programing.Data Type." + viewName + QString::number(found.unit->id());
    }
    if (found.list) {
        viewName = QStringLiteral("GlobalVarView");
        return project + ".Programing.Global Var." + viewName + QString::number(found.list->id());
    }
    return QString();
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
