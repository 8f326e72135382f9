#pragma once

#include "Output.h"

#include "datamodel/program/FolderModel.h"
#include "datamodel/program/TaskModel.h"

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class AbstractPlcProjectModel;
class DeclaredObject;
class ModelObject;
class ProjectModelStack;
class SubModel;

namespace plcproj {

class ProjectSession;

// Runs the commands of one exec script on one open project as a front end would: each
// structural edit is made, then its undo command is pushed onto the project's stack.
class ExecSession
{
public:
    // The graphic editor data of one POU read from a file: at most this many bytes.
    static constexpr qint64 MaxGraphFileSize = 16 * 1024 * 1024;
    ExecSession(ProjectSession& session, const Output& out);
    ~ExecSession();

    // Runs one command; false with `error` set when it failed.
    bool run(const QStringList& words, QString* error);
    // True when a check found errors.
    bool checkFoundErrors() const { return m_checkErrors; }
    // What the commands reported, for --json.
    const QJsonArray& results() const { return m_results; }

private:
    struct Target
    {
        SubModel* model = nullptr;
        ModelObject* object = nullptr;
        // The object once more, as what it is: a POU, list or type, a folder or a task.
        DeclaredObject* declared = nullptr;
        FolderModel::Folder* folder = nullptr;
        TaskModel::Task* task = nullptr;
    };

    bool add(const QStringList& words, QString* error);
    bool setText(const QStringList& words, bool logic, QString* error);
    bool remove(const QStringList& words, QString* error);
    bool rename(const QStringList& words, QString* error);
    bool move(const QStringList& words, QString* error);
    bool list(const QStringList& words, QString* error);
    bool show(const QStringList& words, QString* error);
    bool call(const QStringList& words, bool add, QString* error);
    bool watchdog(const QStringList& words, QString* error);
    bool graph(const QStringList& words, QString* error);
    bool save(QString* error);
    bool check(QString* error);
    // dev add|rm|set|enable|swap (ExecDevice.cpp).
    bool device(const QStringList& words, QString* error);
    // comment, snap, ctype, watch, hmi, rows and their lists (ExecAuxiliary.cpp).
    static bool isAuxiliary(const QStringList& words);
    bool auxiliary(const QStringList& words, QString* error);
    bool softComponent(const QStringList& words, QString* error);
    bool listComments(const QStringList& words, QString* error);
    bool watch(const QStringList& words, QString* error);
    bool listWatch(const QStringList& words, QString* error);
    bool hmi(const QStringList& words, QString* error);
    bool listHmi(const QStringList& words, QString* error);
    bool rows(const QStringList& words, QString* error);
    // Axes, axis groups, cam tables and traces (ExecMotion.cpp).
    static bool isMotionCommand(const QStringList& words);
    bool motion(const QStringList& words, QString* error);
    bool addMotion(const QString& kind, const QString& name, QString* error);
    bool showMotion(const QString& kind, SubModel* model, ModelObject* object, QString* error);
    bool camCommand(const QStringList& words, QString* error);
    bool traceCommand(const QStringList& words, QString* error);

    // Sets `error` to why the model refused the last edit (`otherwise` when it gave no
    // reason); false.
    bool refused(const SubModel* model, QString* error, const QString& otherwise = QString()) const;
    // The calls that removing the object takes with it, as a user reads them.
    QStringList callsGoingWith(const Target& target) const;
    // The object of a kind ("folder", "pou", "gvl", "type", "task") by name.
    Target find(const QString& kind, const QString& name, QString* error) const;
    void report(const QString& text, const QJsonObject& result);

    ProjectSession& m_session;
    AbstractPlcProjectModel* m_project;
    const Output& m_out;
    std::unique_ptr<ProjectModelStack> m_stack;
    QJsonArray m_results;
    bool m_checkErrors = false;
};

} // namespace plcproj
