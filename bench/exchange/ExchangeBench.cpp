// Export and import of the generated project of 10 000 POUs, 2 000 global lists and 2 000 data
// types, against what plcproj generate does for the same project in the same run:
//   generate  create the file, fill it through the models, save (the baseline);
//   export    the project as text and the files written into an empty folder;
//   import    the folder read and checked, a new file created, filled and saved.
// Wall-clock times (the work is mostly file system and database), printed as multiples of
// the baseline at the end.
#include "datamodel/exchange/ProjectExporter.h"
#include "datamodel/exchange/ProjectImporter.h"
#include "datamodel/exchange/ProjectText.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/DefaultApplication.h"
#include "plcproj/Generator.h"
#include "sqlitex/QSqlitexDriver.h"
#include "support/BaselineMain.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

ProjectGenerator::Options options()
{
    ProjectGenerator::Options o;
    o.pous = 10000;
    o.gvls = 2000;
    o.types = 2000;
    o.seed = 42;
    return o;
}

std::map<std::string, std::string> params(const QString& dir, const std::string& name)
{
    return {{"fileName", name}, {"filePath", QDir(dir).filePath(QString::fromStdString(name) + ".nvp").toStdString()},
            {"projectType", "Project"}, {"programStyle", "IECStyle"}, {"deviceType", "VX7_1616MT"}};
}

std::unique_ptr<PlcProjectModel> generate(const QString& dir, const std::string& name)
{
    QDir().mkpath(dir);
    const auto p = params(dir, name);
    auto project = std::make_unique<PlcProjectModel>(name, dir.toStdString(), p.at("filePath"));
    ProjectGenerator generator(options());
    if (!project->create(p) || !generator.fill(*project) || !project->save()) {
        std::fprintf(stderr, "generating the project failed\n");
        std::exit(1);
    }
    return project;
}

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<PlcProjectModel> project;
    QString exported;
};

Fixture& fixture()
{
    static Fixture* made = [] {
        auto* f = new Fixture; // lives as long as the program
        f->project = generate(f->dir.filePath("source"), "Source");
        f->exported = f->dir.filePath("exported");
        ProjectText::write(ProjectExporter::exportProject(*f->project), f->exported);
        return f;
    }();
    return *made;
}

int run = 0; // every iteration works in a folder of its own

void BM_Generate(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const QString dir = f.dir.filePath(QStringLiteral("generated%1").arg(++run));
        benchmark::DoNotOptimize(generate(dir, "Generated").get());
    }
}

void BM_Export(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const auto written = ProjectText::write(ProjectExporter::exportProject(*f.project),
                                                f.dir.filePath(QStringLiteral("export%1").arg(++run)));
        if (!written)
            state.SkipWithError("export failed");
    }
}

void BM_Import(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const QString dir = f.dir.filePath(QStringLiteral("import%1").arg(++run));
        QDir().mkpath(dir);
        const auto files = ProjectText::read(f.exported);
        ProjectImporter importer;
        const std::string name = "Imported";
        const auto p = importer.read(files.value()) ? importer.createParams(QString::fromStdString(name),
                                                                            params(dir, name).at("filePath").c_str())
                                                    : std::map<std::string, std::string>();
        PlcProjectModel project(name, dir.toStdString(), p.count("filePath") ? p.at("filePath") : std::string());
        if (p.empty() || !project.create(p) || !importer.apply(project) || !project.save() || !importer.writeRows(project))
            state.SkipWithError(qPrintable("import failed: " + importer.error()));
    }
}

BENCHMARK(BM_Generate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::baselineMain(argc, argv, "BM_Generate", true);
}
