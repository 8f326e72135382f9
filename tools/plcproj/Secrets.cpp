#include "Secrets.h"

#include "datamodel/model/ProjectFiles.h"
#include "datamodel/project/AbstractPlcProjectModel.h"

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace plcproj {

namespace Secrets {

bool read(const Arguments& args, const QString& name, QString& value, bool& given, QString* error)
{
    given = args.has(name) || args.has(name + QStringLiteral("-file"));
    if (args.has(name)) {
        value = args.value(name);
        return true;
    }
    if (!given)
        return true;
    const Result<QByteArray> file = ProjectFiles::readInput(args.value(name + QStringLiteral("-file")), MaxFileSize);
    if (!file) {
        *error = QStringLiteral("--%1-file: %2").arg(name, file.failure().describe());
        return false;
    }
    QByteArray line = file.value();
    const int end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    if (line.endsWith('\r'))
        line.chop(1);
    value = QString::fromUtf8(line);
    return true;
}

bool projectPassword(const Arguments& args, const QString& name, const QString& databaseFile, QString& password,
                     QString* error)
{
    bool given = false;
    if (!read(args, name, password, given, error))
        return false;
    if (given)
        return true;
    const QByteArray environment = qgetenv(EnvironmentVariable);
    if (!environment.isEmpty()) {
        password = QString::fromUtf8(environment);
        return true;
    }
    password = AbstractPlcProjectModel::DefaultPassword;
    int code = 0;
    if (AbstractPlcProjectModel::checkDbFile("plcproj", databaseFile.toStdString(), code, password)
        || code != AbstractPlcProjectModel::WrongPasswordError)
        return true;
    bool asked = false;
    const QString typed = ask(QStringLiteral("password of %1: ").arg(databaseFile), &asked);
    if (asked)
        password = typed;
    return true;
}

QString ask(const QString& question, bool* asked)
{
    if (asked)
        *asked = false;
    if (!::isatty(STDIN_FILENO))
        return {};
    std::fputs(question.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios saved;
    const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios noEcho = saved;
        noEcho.c_lflag &= ~tcflag_t(ECHO);
        noEcho.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &noEcho);
    }
    QByteArray line;
    for (char c; ::read(STDIN_FILENO, &c, 1) == 1 && c != '\n' && line.size() < MaxFileSize;)
        line.append(c);
    if (quiet)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (line.endsWith('\r'))
        line.chop(1);
    if (asked)
        *asked = true;
    return QString::fromUtf8(line);
}

} // namespace Secrets

} // namespace plcproj
