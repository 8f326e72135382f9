#pragma once

#include "Arguments.h"
#include "Output.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace plcproj {

enum ExitCode { Ok = 0, Failure = 1, Usage = 2 };

// One subcommand of the tool.
struct Command
{
    const char* name;
    const char* synopsis;    // the usage line
    const char* summary;     // one line for --help
    QStringList valued;      // options that take a value
    QStringList switches;    // options without a value
    int minPositional;
    int (*run)(const Arguments& args, const Output& out);
};

const std::vector<Command>& commands();

int runCreate(const Arguments& args, const Output& out);
int runInfo(const Arguments& args, const Output& out);
int runPasswd(const Arguments& args, const Output& out);
int runDemo(const Arguments& args, const Output& out);
int runExec(const Arguments& args, const Output& out);
int runCheck(const Arguments& args, const Output& out);
int runGenerate(const Arguments& args, const Output& out);
int runCamCfg(const Arguments& args, const Output& out);

} // namespace plcproj
