#pragma once

#include "Arguments.h"

#include <QString>

#include <map>
#include <memory>
#include <string>

class AbstractPlcProjectModel;
class ProjectLock;

namespace plcproj {

// The controller of a user project created without --device.
inline constexpr const char* DefaultDevice = "VX7_1616MT";

// Where a project lives: the project folder and the database file in it. A user project's
// database file is "<folder>/<name>.nvp", a library project's "<folder>/<name>.nvl".
struct ProjectLocation
{
    QString folder;
    QString databaseFile;
    bool library = false;

    // PROJECT given on the command line: the folder (holding exactly one database file) or
    // the database file itself.
    static bool resolve(const QString& argument, ProjectLocation& location, QString* error);
    static QString fileNameFor(const QString& projectName, bool library);
};

// One project opened by the tool as a front end opens it: the model registered under the
// project's name (which takes the lock file) and named in the cookie "Project.Name". Closing
// unregisters it, which deletes the model.
class ProjectSession
{
public:
    enum class Access {
        ReadOnly,  // a private read-only model
        Checking,  // read-only, registered, with a compiler core of its own: nothing is written
        Writable,  // as the IDE opens a project for editing
    };
    static std::unique_ptr<ProjectSession> open(const ProjectLocation& location, const QString& password,
                                                Access access, QString* error);
    // PROJECT as given on the command line (folder or database file), opened with the password
    // of --password; null with `error` set.
    static std::unique_ptr<ProjectSession> open(const QString& argument, const QString& password, Access access,
                                                QString* error);
    // PROJECT (folder or database file) opened with the password of the option `option` as
    // Secrets::projectPassword finds it.
    static std::unique_ptr<ProjectSession> open(const QString& argument, const Arguments& args, Access access,
                                                QString* error, const QString& option = QStringLiteral("password"));
    static std::unique_ptr<ProjectSession> open(const ProjectLocation& location, const Arguments& args,
                                                Access access, QString* error,
                                                const QString& option = QStringLiteral("password"));
    static std::unique_ptr<ProjectSession> create(const QString& folder, const std::map<std::string, std::string>& params,
                                                  QString* error);
    ~ProjectSession();

    AbstractPlcProjectModel* model() const { return m_model; }
    const std::string& name() const { return m_name; }
    const ProjectLocation& location() const { return m_location; }
    // The message of a save that failed: "save failed: " and the cause.
    QString saveFailure() const;

private:
    ProjectSession() = default;
    bool registerModel(std::unique_ptr<AbstractPlcProjectModel> model, QString* error);

    // Taken before the file is read when the project is opened to be registered, so that a
    // second writer is refused before it reads; handed to the registry with the model.
    std::unique_ptr<ProjectLock> m_lock;

    ProjectLocation m_location;
    std::string m_name;
    AbstractPlcProjectModel* m_model = nullptr; // owned by the registry while registered
    std::unique_ptr<AbstractPlcProjectModel> m_unregistered;
    bool m_ownCore = false;
};

} // namespace plcproj
