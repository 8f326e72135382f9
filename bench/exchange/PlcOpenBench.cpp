// PLCopen TC6 export and import of a generated project of 2 000 POUs, 200 global lists and
// 400 data types, in memory, against the folder text of the same project in the same run:
//   text   the project as the files of a folder export (the baseline; the TC6 writer starts
//          from it);
//   write  that text, parsed in a fresh compiler core and written as TC6 XML;
//   read   the XML read back into the project's text (what import --plcopen builds from).
// CPU times, printed as multiples of the baseline at the end.
#include "datamodel/exchange/PlcOpenReader.h"
#include "datamodel/exchange/PlcOpenWriter.h"
#include "datamodel/exchange/ProjectExporter.h"
#include "datamodel/project/PlcProjectModel.h"
#include "plcproj/Generator.h"
#include "support/BaselineMain.h"

#include "accore/ACCore.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<PlcProjectModel> project;
    QByteArray xml;
};

Fixture& fixture()
{
    static Fixture* made = [] {
        auto* f = new Fixture; // lives as long as the program
        const std::string path = QDir(f->dir.path()).filePath("Source.nvp").toStdString();
        f->project = std::make_unique<PlcProjectModel>("Source", f->dir.path().toStdString(), path);
        ProjectGenerator::Options o;
        o.pous = 2000;
        o.gvls = 200;
        o.types = 400;
        o.seed = 42;
        ProjectGenerator generator(o);
        if (!f->project->create({{"fileName", "Source"}, {"filePath", path}, {"projectType", "Project"},
                                 {"programStyle", "IECStyle"}, {"deviceType", "VX7_1616MT"}})
            || !generator.fill(*f->project)) {
            std::fprintf(stderr, "generating the project failed\n");
            std::exit(1);
        }
        ac::ACCore core;
        f->xml = PlcOpenWriter::write(ProjectExporter::exportProject(*f->project), core, 1);
        std::printf("TC6 file: %d bytes\n", int(f->xml.size()));
        return f;
    }();
    return *made;
}

void BM_Text(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(ProjectExporter::exportProject(*f.project));
}

void BM_Write(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        ac::ACCore core;
        benchmark::DoNotOptimize(PlcOpenWriter::write(ProjectExporter::exportProject(*f.project), core, 1));
    }
}

void BM_Read(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        const Result<ProjectText::Files> files = PlcOpenReader::read(f.xml, "bench.xml");
        if (!files)
            state.SkipWithError(qPrintable(files.errorString()));
    }
}

BENCHMARK(BM_Text)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond)->Repetitions(3);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::baselineMain(argc, argv, "BM_Text", false);
}
