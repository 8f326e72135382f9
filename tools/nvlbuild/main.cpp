// nvlbuild SOURCE_FOLDER OUTPUT.nvl: makes a library project file from declaration sources.
// Exit code 0 when the file was made, 1 when the sources have errors (each printed on
// stderr), 2 for a wrong command line.
#include "LibraryBuilder.h"
#include "LibraryManifest.h"

#include "host/DefaultApplication.h"
#include "sqlitex/QSqlitexDriver.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: nvlbuild SOURCE_FOLDER OUTPUT.nvl\n");
        return 2;
    }
    QSqlitexDriver::registerDriver();
    host::DefaultApplication host;
    host.install();

    nvlbuild::LibraryManifest manifest;
    QString error;
    if (!manifest.read(args[0], &error)) {
        std::fprintf(stderr, "nvlbuild: error: %s\n", qPrintable(error));
        return 1;
    }
    nvlbuild::LibraryBuilder builder(manifest);
    if (!builder.build(args[1])) {
        for (const QString& problem : builder.problems())
            std::fprintf(stderr, "nvlbuild: error: %s: %s\n", qPrintable(manifest.name), qPrintable(problem));
        return 1;
    }
    std::printf("nvlbuild: %s\n", qPrintable(builder.summary()));
    return 0;
}
