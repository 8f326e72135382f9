// plcproj: the command-line host of the project data model.
#include "Command.h"

#include "datamodel/device/DefaultDeviceNodes.h"
#include "host/DefaultApplication.h"
#include "host/LogService.h"
#include "host/SettingsStore.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>

#include <cstdio>

using namespace plcproj;

namespace {

const char* const version = "plcproj 0.1.0";

void printHelp()
{
    std::printf("usage: plcproj [--json] [--verbose] COMMAND [ARGS...]\n\n"
                "Creates, edits, checks and describes PLC project files.\n\ncommands:\n");
    for (const Command& command : commands())
        std::printf("  %-10s %s\n             %s\n", command.name, command.summary, command.synopsis);
    std::printf("\nexit codes: 0 success, 1 failure, 2 usage\n");
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
        {"info", "info PROJECT [--password P]", "print the project information record",
         {"password"}, {}, 1, runInfo},
        {"passwd", "passwd PROJECT --old P --new Q", "change the password of a project file",
         {"old", "new"}, {}, 1, runPasswd},
        {"demo", "demo DIR", "create, fill, save, re-key, reopen and describe a demo project", {}, {}, 1, runDemo},
        {"exec", "exec PROJECT [--password P] (-c \"CMD; CMD; ...\" | -f FILE)",
         "run editing commands on one open project as a front end would (undo and redo included)",
         {"password", "c", "f"}, {}, 1, runExec},
        {"generate", "generate DIR --pous N --gvls N --types N [--seed S] [--name NAME]",
         "create a large synthetic project for benchmarks and scale tests",
         {"pous", "gvls", "types", "seed", "name"}, {}, 1, runGenerate},
        {"check", "check PROJECT [--password P]",
         "parse every data type, global list and POU in the compiler core; one line per message",
         {"password"}, {}, 1, runCheck},
        {"lib", "lib (list PROJECT | add PROJECT FILE | rm PROJECT NAME | replace PROJECT NAME FILE) "
                "[--password P] [--lib-password P]",
         "list, add, remove or replace the libraries of a user project",
         {"password", "lib-password"}, {}, 2, runLib},
        {"value", "value TYPE (--raw HEXBYTES [--radix 2|10|16] [--bit N] | --text LITERAL [--size N]) "
                  "[--project P [--password P]]",
         "raw little-endian bytes of a value to its IEC literal, or a literal to its bytes (as hex)",
         {"raw", "text", "radix", "bit", "size", "project", "password"}, {}, 1, runValue},
        {"hw", "hw (list [--type TYPEID] | show PATH)",
         "list the hardware descriptions (of one type id), or show the value at a description path",
         {"type"}, {}, 1, runHw},
        {"diag", "diag CLASS CODE [--lang zh_CN|en_US]",
         "severity, message, detail and tips of a device error code (CLASS: id or name; default en_US)",
         {"lang"}, {}, 2, runDiag},
        {"mem", "mem PROJECT [--write | --show] [--password P]",
         "compile and compare the variables' memory layout with the stored one (--write stores it, --show prints it)",
         {"password"}, {"write", "show"}, 1, runMem},
        {"device", "device PROJECT (tree | convert NEWTYPE [--yes]) [--password P]",
         "print the device tree, or list what converting it to another controller changes (and convert with --yes)",
         {"password"}, {"yes"}, 2, runDevice},
        {"export", "export PROJECT DIR [--stamps] [--password P]",
         "write the project as a folder of text files (for version control; --stamps keeps modification times)",
         {"password"}, {"stamps"}, 2, runExport},
        {"import", "import DIR NEWDIR [--name N] [--password P]", "build a project from an exported folder",
         {"name", "password"}, {}, 2, runImport},
        {"dump", "dump PROJECT [--password P]", "print the project as one text (a git textconv driver)",
         {"password"}, {}, 1, runDump},
        {"diff", "diff A B [--password P]", "objects added, removed and changed between two projects or exports",
         {"password"}, {}, 2, runDiff},
    };
    return table;
}

} // namespace plcproj

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList words = app.arguments().mid(1);

    bool json = false, verbose = false;
    while (!words.isEmpty() && words.first().startsWith("--")) {
        const QString option = words.takeFirst();
        if (option == "--json") {
            json = true;
        } else if (option == "--verbose") {
            verbose = true;
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
    if (words.contains("--json")) {
        json = true;
        words.removeAll("--json");
    }
    if (words.contains("--help")) {
        std::printf("usage: plcproj %s\n%s\n", command->synopsis, command->summary);
        return Ok;
    }
    Arguments args;
    if (!args.parse(words, command->valued)) {
        Output::error(args.error());
        return Usage;
    }
    const QStringList unknown = args.unknown(command->valued, command->switches);
    if (!unknown.isEmpty() || args.positional().size() < command->minPositional) {
        Output::error(unknown.isEmpty() ? QStringLiteral("missing arguments")
                                        : QStringLiteral("unknown option %1").arg(unknown.join(", ")));
        std::fprintf(stderr, "usage: plcproj %s\n", command->synopsis);
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
    const QString logDir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    host.logs()->setLogFile(QDir(logDir).filePath("plcproj.log"));
    return command->run(args, Output(json));
}
