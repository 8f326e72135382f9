// The process that the crash trials kill: opens a project as the IDE opens it for editing
// (lock, recovery, read-write open), makes the large edit and saves ("save"), or changes the
// password ("passwd"). It says "saving" / "rekeying" on its standard output just before it
// starts, and "done" after.
#include "SaveTrials.h"

#include "datamodel/device/DefaultDeviceNodes.h"
#include "datamodel/model/ProjectLock.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/DefaultApplication.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

int say(const char* word)
{
    std::puts(word);
    std::fflush(stdout);
    return 0;
}

} // namespace

// savechild save|passwd FILE [SCALE | NEWPASSWORD]
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const std::string file = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath().toStdString();
    const QString folder = QFileInfo(QString::fromStdString(file)).path();
    QSqlitexDriver::registerDriver();
    host::DefaultApplication host;
    host.install();
    DefaultDeviceNodes::registerDefaultDeviceNodes();

    QString error;
    auto lock = ProjectLock::acquire(folder, &error);
    if (!lock) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 3;
    }
    if (!AbstractPlcProjectModel::recoverInterruptedSave(file, AbstractPlcProjectModel::DefaultPassword, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 4;
    }
    auto project = savetrials::openForEditing(folder, file, "Trial");
    if (!project) {
        std::fprintf(stderr, "the project does not open\n");
        return 4;
    }
    if (mode == QLatin1String("passwd")) {
        say("rekeying");
        const bool ok = AbstractPlcProjectModel::modifyDbPassword(project.get(), QString::fromLocal8Bit(argv[3]));
        say("done");
        return ok ? 0 : 1;
    }
    if (!savetrials::makeLargeEdit(*project, QString::fromLocal8Bit(argv[3]).toInt(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 5;
    }
    say("saving");
    const bool saved = project->save();
    say("done");
    return saved ? 0 : 1;
}
