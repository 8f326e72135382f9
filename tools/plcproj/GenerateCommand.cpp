// plcproj generate: a large synthetic project for benchmarks and scale tests.
#include "Command.h"
#include "Progress.h"
#include "Generator.h"
#include "ProjectSession.h"

#include "datamodel/project/AbstractPlcProjectModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>

namespace plcproj {

namespace {
// Each model hands out ids below 100000 and keeps a few for its hidden objects.
constexpr int MaxObjects = 50000;
} // namespace

int runGenerate(const Arguments& args, const Output& out)
{
    ProjectGenerator::Options options;
    bool ok = true;
    for (auto [name, target] : {std::pair<const char*, int*>{"pous", &options.pous}, {"gvls", &options.gvls},
                                {"types", &options.types}}) {
        bool parsed = true;
        *target = args.value(name, "0").toInt(&parsed);
        ok = ok && parsed && *target >= 0 && *target <= MaxObjects;
    }
    bool seeded = true;
    options.seed = args.value("seed", "1").toULongLong(&seeded);
    if (!ok || !seeded || options.pous + options.gvls + options.types == 0) {
        Output::error(QStringLiteral("generate needs --pous N, --gvls N and/or --types N (whole numbers from 0 to %1, "
                                     "not all 0) and a --seed of digits")
                          .arg(MaxObjects));
        return Usage;
    }
    const QString dir = QFileInfo(args.positional(0)).absoluteFilePath();
    const QString name = args.value("name", QStringLiteral("Generated"));
    const QString file = QDir(dir).filePath(ProjectLocation::fileNameFor(name, false));
    if (QFileInfo::exists(file)) {
        Output::error(QStringLiteral("%1 exists already").arg(file));
        return Failure;
    }
    QDir().mkpath(dir);
    QString error;
    auto session = ProjectSession::create(dir,
                                          {{"fileName", name.toStdString()}, {"filePath", file.toStdString()},
                                           {"projectType", "Project"}, {"programStyle", "IECStyle"},
                                           {"deviceType", DefaultDevice},
                                           {"author", "plcproj generate"}, {"comments", "synthetic project"},
                                           {"createVersion", "0.1.0"}},
                                          &error);
    if (!session) {
        Output::error(error);
        return Failure;
    }
    QElapsedTimer timer;
    timer.start();
    Progress progress(QStringLiteral("generate"));
    options.progress = [&progress](const char* kind, int done, int total) {
        progress.update(QString::fromLatin1(kind), done, total);
    };
    ProjectGenerator generator(options);
    if (!generator.fill(*session->model(), &error)) {
        Output::error(QStringLiteral("generating failed: %1").arg(error));
        return Failure;
    }
    const qint64 filled = timer.restart();
    progress.update(QStringLiteral("saving"), 0, 0);
    if (!session->model()->save()) {
        Output::error(session->saveFailure());
        return Failure;
    }
    const qint64 saved = timer.elapsed();
    progress.done();
    if (out.json()) {
        out.document(QJsonObject{{"file", file}, {"pous", options.pous}, {"gvls", options.gvls},
                                 {"types", options.types}, {"fillMs", filled}, {"saveMs", saved}});
    } else {
        out.line(QStringLiteral("generated in %1 ms, saved in %2 ms").arg(filled).arg(saved));
        out.line(file);
    }
    return Ok;
}

} // namespace plcproj
