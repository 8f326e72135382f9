// plcproj: the command-line host of the project data model.
#include "Command.h"
#include "Progress.h"
#include "Secrets.h"

#include "datamodel/device/DefaultDeviceNodes.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"
#include "host/SettingsStore.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>

#include <cstdio>

using namespace plcproj;

namespace {

const char* const version = "plcproj 0.1.0";

// Switches that every command takes besides its own.
const QStringList commonSwitches = {QStringLiteral("json"), QStringLiteral("quiet"), QStringLiteral("help")};

// The usage of one command, from the definitions its arguments are parsed with.
QString commandUsage(const Command& command)
{
    return QStringLiteral("usage: plcproj %1\n%2\n\noptions:\n%3")
        .arg(QString::fromUtf8(command.synopsis), QString::fromUtf8(command.summary),
             Arguments::optionsHelp(command.valued, command.switches + commonSwitches));
}

void printHelp()
{
    std::printf("usage: plcproj [--json] [--verbose] [--quiet] COMMAND [ARGS...]\n\n"
                "Creates, edits, checks and describes PLC project files.\n\ncommands:\n");
    for (const Command& command : commands())
        std::printf("  %-10s %s\n             %s\n", command.name, command.summary, command.synopsis);
    std::printf("\npasswords: --password-file FILE (its first line), the environment variable %s, or typed\n"
                "at a prompt without echo; --password P shows P to every local user while the tool runs\n"
                "\nexit codes: 0 success, 1 failure, 2 usage\n", Secrets::EnvironmentVariable);
}

} // namespace

namespace plcproj {

int runLib(const Arguments& args, const Output& out);
int runValue(const Arguments& args, const Output& out);
int runHw(const Arguments& args, const Output& out);
int runDiag(const Arguments& args, const Output& out);
int runMem(const Arguments& args, const Output& out);
int runDevice(const Arguments& args, const Output& out);
int runExport(const Arguments& args, const Output& out);
int runImport(const Arguments& args, const Output& out);
int runDump(const Arguments& args, const Output& out);
int runDiff(const Arguments& args, const Output& out);

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {"create", "create DIR --name NAME [--type Project|UserLib|FirmwareLib] [--style IECStyle|JPStyle] "
                   "[--author A] [--comments C] [--device D]",
         "create a project folder and its database file; prints the file's path last",
         {"name", "type", "style", "author", "comments", "device"}, {}, 1, runCreate},
        {"info", "info PROJECT [--password-file F | --password P]", "print the project information record",
         {"password", "password-file"}, {}, 1, runInfo},
        {"passwd", "passwd PROJECT [--old-file F | --old P] [--new-file F | --new Q]", "change the password of a project file",
         {"old", "old-file", "new", "new-file"}, {}, 1, runPasswd},
        {"demo", "demo DIR", "create, fill, save, re-key, reopen and describe a demo project", {}, {}, 1, runDemo},
        {"exec", "exec PROJECT [--password-file F | --password P] (-c \"CMD; CMD; ...\" | -f FILE)",
         "run editing commands on one open project as a front end would (undo and redo included)",
         {"password", "password-file", "c", "f"}, {}, 1, runExec},
        {"generate", "generate DIR --pous N --gvls N --types N [--seed S] [--name NAME]",
         "create a large synthetic project for benchmarks and scale tests",
         {"pous", "gvls", "types", "seed", "name"}, {}, 1, runGenerate},
        {"check", "check PROJECT [--password-file F | --password P]",
         "parse every data type, global list and POU in the compiler core; one line per message",
         {"password", "password-file"}, {}, 1, runCheck},
        {"lib", "lib (list PROJECT | add PROJECT FILE | rm PROJECT NAME | replace PROJECT NAME FILE) "
                "[--password-file F | --password P] [--lib-password-file F | --lib-password P]",
         "list, add, remove or replace the libraries of a user project",
         {"password", "password-file", "lib-password", "lib-password-file"}, {}, 2, runLib},
        {"value", "value TYPE (--raw HEXBYTES [--radix 2|10|16] [--bit N] | --text LITERAL [--size N]) "
                  "[--project P [--password-file F | --password P]]",
         "raw little-endian bytes of a value to its IEC literal, or a literal to its bytes (as hex)",
         {"raw", "text", "radix", "bit", "size", "project", "password", "password-file"}, {}, 1, runValue},
        {"hw", "hw (list [--type TYPEID] | show PATH)",
         "list the hardware descriptions (of one type id), or show the value at a description path",
         {"type"}, {}, 1, runHw},
        {"diag", "diag CLASS CODE [--lang zh_CN|en_US]",
         "severity, message, detail and tips of a device error code (CLASS: id or name; default en_US)",
         {"lang"}, {}, 2, runDiag},
        {"mem", "mem PROJECT [--write | --show] [--password-file F | --password P]",
         "compile and compare the variables' memory layout with the stored one (--write stores it, --show prints it)",
         {"password", "password-file"}, {"write", "show"}, 1, runMem},
        {"device", "device PROJECT (tree | convert NEWTYPE [--yes]) [--password-file F | --password P]",
         "print the device tree, or list what converting it to another controller changes (and convert with --yes)",
         {"password", "password-file"}, {"yes"}, 2, runDevice},
        {"cam-cfg", "cam-cfg FILE", "list the tables and key points of a binary cam configuration file",
         {}, {}, 1, runCamCfg},
        {"export", "export PROJECT (DIR [--stamps] | --plcopen FILE.xml) [--password-file F | --password P]",
         "write the project as a folder of text files (for version control; --stamps keeps modification times), "
         "or as a PLCopen TC6 XML file",
         {"password", "password-file", "plcopen"}, {"stamps"}, 1, runExport},
        {"import", "import (DIR | --plcopen FILE.xml) NEWDIR [--name N] [--password-file F | --password P]",
         "build a project from an exported folder or a PLCopen TC6 XML file",
         {"name", "password", "password-file", "plcopen"}, {}, 1, runImport},
        {"dump", "dump PROJECT [--password-file F | --password P]", "print the project as one text (a git textconv driver)",
         {"password", "password-file"}, {}, 1, runDump},
        {"diff", "diff A B [--password-file F | --password P]",
         "objects added, removed and changed between two projects or exports",
         {"password", "password-file"}, {}, 2, runDiff},
    };
    return table;
}

} // namespace plcproj

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList words = app.arguments().mid(1);

    // Options of the tool itself stand before the command; from the command on, the command's
    // own definitions (with --json, --quiet and --help) read the words.
    bool json = false, verbose = false, quiet = false;
    while (!words.isEmpty() && words.first().startsWith("--")) {
        const QString option = words.takeFirst();
        if (option == "--json") {
            json = true;
        } else if (option == "--verbose") {
            verbose = true;
        } else if (option == "--quiet") {
            quiet = true;
        } else if (option == "--help") {
            printHelp();
            return Ok;
        } else if (option == "--version") {
            std::printf("%s\n", version);
            return Ok;
        } else {
            Output::error(QStringLiteral("unknown option %1 (see plcproj --help)").arg(option));
            return Usage;
        }
    }
    if (words.isEmpty()) {
        printHelp();
        return Usage;
    }
    const QString name = words.takeFirst();
    const Command* command = nullptr;
    for (const Command& candidate : commands())
        if (name == QLatin1String(candidate.name))
            command = &candidate;
    if (!command) {
        Output::error(QStringLiteral("unknown command '%1' (see plcproj --help)").arg(name));
        return Usage;
    }
    Arguments args;
    if (!args.parse(words, command->valued, command->switches + commonSwitches)) {
        Output::error(args.error());
        std::fprintf(stderr, "%s", qPrintable(commandUsage(*command)));
        return Usage;
    }
    if (args.has("help")) {
        std::printf("%s", qPrintable(commandUsage(*command)));
        return Ok;
    }
    json = json || args.has("json");
    quiet = quiet || args.has("quiet");
    Progress::setEnabled(!json && !quiet);
    if (args.positional().size() < command->minPositional) {
        Output::error(QStringLiteral("missing arguments"));
        std::fprintf(stderr, "%s", qPrintable(commandUsage(*command)));
        return Usage;
    }

    QSqlitexDriver::registerDriver();
    host::DefaultApplication host;
    host.install();
    DefaultDeviceNodes::registerDefaultDeviceNodes();
    // Description texts come in the user's language; a machine without one reads English.
    if (QLocale::system().name() == QLatin1String("C"))
        host.settings()->setValue(QStringLiteral("General/Language"), QStringLiteral("en_US"));
    host.logs()->setEcho(verbose);
    // Per user and owner-only; a log that cannot be written is no reason to fail a command.
    host.logs()->setLogFolder(host::LogService::stateFolder(QStringLiteral("plcproj")), QStringLiteral("plcproj.log"));
    return command->run(args, Output(json));
}
