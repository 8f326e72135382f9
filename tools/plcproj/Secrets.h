#pragma once

#include "Arguments.h"

#include <QString>

namespace plcproj {

// Passwords without the command line, where every local user can read them while the tool
// runs: from a file (--NAME-file FILE), from the environment (PLCPROJ_PASSWORD), or typed at
// a prompt without echo. --NAME on the command line still works for scripts that use it.
namespace Secrets {

inline constexpr const char* EnvironmentVariable = "PLCPROJ_PASSWORD";
// A password file holds one line; anything bigger is no password file.
inline constexpr qint64 MaxFileSize = 4096;

// The secret of option `name`: the value of --NAME, else the first line of the file named by
// --NAME-file (without its line end). `given` is false when neither option is there. False
// with `error` set when the file cannot be read.
bool read(const Arguments& args, const QString& name, QString& value, bool& given, QString* error);

// The password of a project file, from the option `name` ("password", or "old" for passwd):
// --NAME, --NAME-file, PLCPROJ_PASSWORD, else the default password; when that does not open
// `databaseFile` and standard input is a terminal, the password is asked for.
bool projectPassword(const Arguments& args, const QString& name, const QString& databaseFile, QString& password,
                     QString* error);

// Asks `question` on the terminal of standard input without echo; empty (and `asked` false)
// when standard input is no terminal.
QString ask(const QString& question, bool* asked = nullptr);

} // namespace Secrets

} // namespace plcproj
