// plcproj exec and plcproj check.
#include "Command.h"
#include "ExecSession.h"
#include "ProjectCheck.h"
#include "Progress.h"
#include "ProjectSession.h"
#include "ScriptReader.h"

#include "datamodel/model/ProjectFiles.h"
#include "datamodel/project/AbstractPlcProjectModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

namespace plcproj {

namespace {

// A script is text that a person or a generator wrote: far below this.
constexpr qint64 MaxScriptSize = 16 * 1024 * 1024;

// The script's bytes as given: the text of -c, or the file of -f read whole.
bool readScript(const Arguments& args, QByteArray& script, ScriptReader::Origin& origin)
{
    if (args.has("c") == args.has("f")) {
        Output::error("exec needs either -c \"CMD; CMD; ...\" or -f FILE");
        return false;
    }
    if (args.has("c")) {
        script = args.value("c").toUtf8();
        origin = ScriptReader::Origin::CommandLine;
        return true;
    }
    const Result<QByteArray> file = ProjectFiles::readInput(args.value("f"), MaxScriptSize);
    if (!file) {
        Output::error(file.failure().describe());
        return false;
    }
    script = file.value();
    origin = ScriptReader::Origin::File;
    return true;
}

std::unique_ptr<ProjectSession> openProject(const Arguments& args, ProjectSession::Access access)
{
    QString error;
    auto session = ProjectSession::open(args.positional(0), args, access, &error);
    if (!session)
        Output::error(error);
    return session;
}

} // namespace

int runExec(const Arguments& args, const Output& out)
{
    QByteArray script;
    ScriptReader::Origin origin = ScriptReader::Origin::File;
    if (!readScript(args, script, origin))
        return Usage;
    ScriptReader reader;
    std::vector<ScriptCommand> commands;
    if (!reader.read(script, origin, commands)) {
        Output::error(reader.error());
        return Usage;
    }
    auto session = openProject(args, ProjectSession::Access::Writable);
    if (!session)
        return Failure;
    ExecSession exec(*session, out);
    for (const ScriptCommand& command : commands) {
        QString error;
        if (!exec.run(command.words, &error)) {
            if (out.json())
                out.document(exec.results());
            // A failed save is said as every command says it, with the script position behind.
            if (command.words.value(0) == QLatin1String("save"))
                Output::error(QStringLiteral("%1 (script %2)").arg(error, ScriptReader::position(command, origin)));
            else
                Output::error(QStringLiteral("%1: %2: %3")
                                  .arg(ScriptReader::position(command, origin), command.words.join(' ').left(60), error));
            return Failure;
        }
    }
    if (out.json())
        out.document(exec.results());
    return exec.checkFoundErrors() ? Failure : Ok;
}

int runCheck(const Arguments& args, const Output& out)
{
    auto session = openProject(args, ProjectSession::Access::Checking);
    if (!session)
        return Failure;
    std::vector<ac::ACMessage> messages;
    {
        Progress progress(QStringLiteral("check"));
        messages = ProjectCheck::run(session->name(), [&progress](const QString& step, int done, int total) {
            progress.update(step, done, total);
        });
    }
    if (out.json()) {
        QJsonArray list;
        for (const ac::ACMessage& message : messages)
            list.append(QJsonObject{{"object", QString::fromStdString(message.objectName())},
                                    {"line", message.line()},
                                    {"column", message.column()},
                                    {"severity", ac::ACMessage::severityWord(message.severity())},
                                    {"message", QString::fromStdString(message.message())}});
        out.document(list);
    } else {
        for (const ac::ACMessage& message : messages)
            out.line(QString::fromStdString(message.toString()));
    }
    return ProjectCheck::hasErrors(messages) ? Failure : Ok;
}

} // namespace plcproj
