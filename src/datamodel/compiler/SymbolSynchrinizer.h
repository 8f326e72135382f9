#pragma once

#include "datamodel/model/DatamodelExport.h"
#include "datamodel/compiler/SyncType.h"

#include "accore/ACMessage.h"

#include <QSemaphore>
#include <QString>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ac {
class VarContainer;
}
class AbstractProjectModel;

// Keeps the compiler core of the bound project in step with the declaration and logic texts of
// its models. Editors store a new text in the model object and queue a (kind, name) pair; the
// synchroniser's thread takes one entry at a time (any one object at most once a second),
// re-parses that object in the core, stores the core's diagnostics in the object and emits
// syncComplied. Beside the queue: name lookups over the project and its libraries, the core's
// file names of model objects, and a table from symbol indexes to POU ids.
//
// Locking: the queue mutex is held only for queue work and never while waiting for a project
// or a core; a sync takes the project and the core one after the other, never both, so that a
// thread that holds the project may always queue, and may sync on its own thread.
class DATAMODEL_EXPORT SymbolSynchrinizer : public QThread
{
    Q_OBJECT
public:
    enum ProgramRealType { NotFound = 0, StPou = 1, LadderPou = 2, DataTypeUnit = 3, GlobalVarList = 4 };

    static SymbolSynchrinizer* instance();
    ~SymbolSynchrinizer() override;

    void bindProject(const std::string& projectName);
    std::string boundProject() const;

    // Clears the queue and starts the thread; quit() stops it and empties the queue.
    void start();
    void quit();
    bool isRunningSync() const { return m_running.load(); }

    bool addToSyncQueue(SyncType type, const std::string& name);
    bool sync(SyncType type, const std::string& name);
    // Stores `text` into the object (no queueing); false when the object is missing.
    bool syncModel(const std::string& text, SyncType type, const std::string& name);
    bool syncModelSymbol(const std::string& text, SyncType type, const std::string& name);
    // Runs one sync on the caller's thread, when syncing is allowed.
    bool syncImmediately(SyncType type, const std::string& name);
    // The sync step on the caller's thread without asking whether syncing is allowed now and
    // without the pause that paces the background thread: for a tool that checks a whole
    // project on demand.
    bool syncStep(SyncType type, const std::string& name) { return _syncImmediately(type, name, false, false); }
    // Around the sync steps of a whole-project check: the core's symbol cache is cleared
    // once for the pass instead of before every object (nothing between the steps changes
    // the texts).
    void beginPass();
    void endPass();
    void clearSyncQueue();
    bool syncAll() { return true; }
    int getDataTypeTypeByName(const std::string&) { return 0; }
    bool getDataFromSyncQueue(SyncData& out);
    std::size_t queueSize() const;
    int permits() const { return m_semaphore.available(); }
    // While set, every sync is skipped and counts as done.
    void setSyncStatue(bool skip) { m_skipSync = skip; }

    bool addParam(SyncType type, const std::string& objectName, const std::string& varName,
                  const std::string& typeText, int scope);
    bool removeParam(SyncType type, const std::string& objectName, const std::string& varName);
    // Stores core messages into the object of a core symbol type (ac::SymbolType): a data
    // type, a POU ("decl" or "impl") or a global variable list.
    void addSymbolErr(const std::string& objectName, const std::string& part, std::vector<ac::ACMessage>& messages,
                      int symbolType, bool clear);

    bool isSync(const std::string& name);
    bool isSync();
    bool isProjectModify();
    bool getProjectSymbol(std::vector<std::string>& lists, std::vector<std::string>& types,
                          std::vector<std::string>& pous, bool projectOnly);

    int getIdByName(const std::string& name);
    int getLibFileIdByName(const std::string& name);
    int getPouIdByName(const std::string& name);
    std::string getVarDeclarationByName(const std::string& name);
    std::string getLogicContextByName(const std::string& name);
    std::vector<char> getGraphDataByName(const std::string& name);
    unsigned int getModifyTimetByName(const std::string& name);
    int getProgramTypeByName(const std::string& name);
    bool isPRGPou(const std::string& name);

    bool insertSymbolIndexAndPouUUID(unsigned int symIndex, unsigned int pouUID);
    bool removeSymbolIndex(unsigned int symIndex);
    unsigned int symIndex2PouUID(unsigned int symIndex) const;
    unsigned int symIndex2PouId(unsigned int symIndex) const { return symIndex2PouUID(symIndex) >> 16; }
    unsigned int pouId2SymIndex(unsigned int pouId);
    unsigned int pouName2PouUID(const std::string& name);
    std::string pouUID2PouName(unsigned int uid);
    static unsigned int combine(unsigned int hi, unsigned int lo) { return (hi << 16) | (lo & 0xFFFFu); }
    static void retract(unsigned int value, unsigned int& hi, unsigned int& lo)
    {
        hi = value >> 16;
        lo = value & 0xFFFFu;
    }

    QString pouName2FileName(const std::string& name, QString& viewName);
    QString fbInstance2FileName(const std::string& instance, const std::string& pouName, QString& viewName);
    static std::vector<std::string> getHiddenItemNames();

    void sendSyncOperation(SyncType type, int operationType, const std::string& name);

signals:
    void syncComplied(SyncType type, std::string name);
    void paramUpdate(SyncType type, std::string objectName, std::string varName);
    void syncOperation(SyncType type, int operationType, std::string name);

protected:
    void run() override;

private:
    SymbolSynchrinizer();
    enum class Take { Taken, NotYet, Nothing };
    Take _getDataFromSyncQueue(SyncData& out);
    bool _canSync(const std::string& name);
    // `paced`: pause briefly after the step, as the background thread and syncImmediately do.
    bool _syncImmediately(SyncType type, const std::string& name, bool flag, bool paced = true);
    // Clears the core's symbol cache unless a pass did; false when the project has no core.
    bool prepareCore(const std::string& projectName, bool flag);
    bool syncDeclaration(SyncType type, const std::string& name, bool flag);
    bool syncLogic(const std::string& name, bool flag);
    // Changes one variable of a POU's or list's symbol in the core and announces it.
    bool changeParam(SyncType type, const std::string& objectName, const std::string& varName,
                     const std::function<bool(ac::VarContainer&)>& change);
    // Sleeps up to `ms`, waking early when the thread is asked to stop.
    void pause(int ms);
    // Whether the symbol index table names the POU id (sub-model "PouModel") or the library
    // file id (sub-model "LibraryModel") of the bound project: such ids are not handed out
    // again (IdReferences).
    bool keepsId(const AbstractProjectModel& project, const std::string& subModel, unsigned int id) const;

    mutable std::mutex m_nameMutex;
    std::string m_project;
    std::map<unsigned int, unsigned int> m_symbolIndex; // symbol index -> POU UID; callers' threads only
    std::map<unsigned int, int> m_uidUses;              // POU UID -> entries of m_symbolIndex naming it
    std::map<unsigned int, int> m_fileIdUses;           // low half of a UID -> entries naming it
    std::atomic<bool> m_skipSync{false};
    mutable std::mutex m_queueMutex;
    std::list<SyncData> m_queue;
    QSemaphore m_semaphore{0};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_inPass{false};
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseWake;
};
