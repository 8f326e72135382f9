// The memory image of the generated project of 10 000 POUs, 2 000 global lists and 2 000
// data types, against the compiler core's own walk of the same symbols in the same run:
//   walk      the core visits every member of the types, lists and programs of the layout
//             (name, offset, type code and size): the least any layout build must do;
//   build     getCurrentSerializeData, the layout of the compilation;
//   compare   the online-change comparison with a stored layout equal to the current one
//             (the common case) and with one in which every list and program changed;
//   text      the layout written as text and read back (what project.mem holds).
// The ratios to the walk are printed at the end.
#include "datamodel/memory/LayoutText.h"
#include "datamodel/memory/OnlineChange.h"
#include "datamodel/memory/ProjectVarSerializer.h"
#include "datamodel/memory/SerializeData.h"
#include "datamodel/model/HostServices.h"
#include "datamodel/model/ProjectModelManager.h"
#include "datamodel/project/PlcProjectModel.h"
#include "host/CookieStore.h"
#include "host/DefaultApplication.h"
#include "plcproj/Generator.h"
#include "sqlitex/QSqlitexDriver.h"
#include "support/BaselineMain.h"

#include "accore/ACCore.h"
#include "accore/SafeAccore.h"
#include "accore/SymbolDataType.h"
#include "accore/SymbolGVL.h"
#include "accore/SymbolPOU.h"
#include "accore/SymbolVariable.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

const char* const kProject = "MemBench";

struct Fixture
{
    QTemporaryDir dir;
    SerializeData current;
    SerializeData changed; // a stored layout from which every list and program differs
    std::vector<std::string> types, lists, programs;
};

// Parses every declaration of the generated project in its core, as a compilation does.
void compile(ProjectGenerator& generator, const ProjectGenerator::Options& options, int fileId)
{
    ac::SafeAccore hold(kProject);
    ac::ACCore* core = hold.getAccore();
    for (int i = 0; i < options.types; ++i) {
        const ProjectGenerator::Text type = generator.dataType(i);
        core->parserTypes(type.declaration, type.name, fileId);
    }
    for (int i = 0; i < options.gvls; ++i) {
        const ProjectGenerator::Text list = generator.globalList(i);
        core->parseGlobalVars(list.declaration, list.name, fileId);
    }
    for (int i = 0; i < options.pous; ++i) {
        const ProjectGenerator::Pou pou = generator.pou(i);
        core->parserPou(pou.declaration, pou.name, fileId);
    }
}

// Every member of a block and the next type of a program changed: removed, widened or added.
SerializeData changedLayout(const SerializeData& current)
{
    SerializeData out;
    for (ac::PrjMemSymbolInfo symbol : current.symbols()) {
        if (symbol.section == SerializeData::GlobalSection || symbol.section == SerializeData::ProgramSection) {
            std::vector<ac::SymbolMemberInfo> members;
            for (size_t i = 0; i < symbol.members.size(); ++i) {
                ac::SymbolMemberInfo member = symbol.members[i];
                if (i % 5 == 1)
                    continue; // the current layout adds it
                if (member.type.basicDataType == ac::BT_DINT) {
                    member.type.basicDataType = ac::BT_INT; // the current layout widens it
                    member.type.typeName = "INT";
                    member.type.byteSize = 2;
                }
                members.push_back(member);
            }
            symbol.members = members;
        }
        out.addSymbol(symbol);
    }
    return out;
}

Fixture& fixture()
{
    static Fixture* made = [] {
        auto* f = new Fixture; // lives as long as the program
        const std::string file = QDir(f->dir.path()).filePath("MemBench.nvp").toStdString();
        auto project = std::make_unique<PlcProjectModel>(kProject, f->dir.path().toStdString(), file);
        ProjectGenerator::Options options;
        options.pous = 10000;
        options.gvls = 2000;
        options.types = 2000;
        options.seed = 42;
        ProjectGenerator generator(options);
        if (!project->create({{"fileName", kProject}, {"filePath", file}, {"projectType", "Project"},
                              {"programStyle", "IECStyle"}, {"deviceType", "VX7_1616MT"}})
            || !generator.fill(*project)) {
            std::fprintf(stderr, "generating the project failed\n");
            std::exit(1);
        }
        const int fileId = project->getFileID();
        ProjectModelManager::instance()->addProjectModel(kProject, project.release());
        if (auto* cookies = HostServices::get<host::CookieStore>())
            cookies->setValue(QStringLiteral("Project.Name"), QString::fromLatin1(kProject));
        compile(generator, options, fileId);
        ProjectVarSerializer::getInstance().getCurrentSerializeData(f->current);
        f->changed = changedLayout(f->current);
        for (const ac::PrjMemSymbolInfo& symbol : f->current.symbols()) {
            auto& names = symbol.section == SerializeData::ProgramSection ? f->programs
                : symbol.section == SerializeData::GlobalSection         ? f->lists
                                                                          : f->types;
            names.push_back(symbol.name);
        }
        std::fprintf(stderr, "layout: %zu symbols, %zu bytes of text\n", f->current.symbols().size(),
                     LayoutText::write(f->current).size());
        return f;
    }();
    return *made;
}

// Baseline: the core's members of the same symbols, read as a layout build reads them.
void BM_Walk_Core(benchmark::State& state)
{
    Fixture& f = fixture();
    ac::SafeAccore hold(kProject);
    ac::ACCore* core = hold.getAccore();
    auto visit = [](const ac::VarContainer* container, unsigned long long& sum) {
        if (!container)
            return;
        for (int i = 0; i < container->paramsCount(); ++i) {
            const ac::SymbolVariable* v = container->paramAt(i);
            sum += v->name().size() + container->offsetAt(i) + static_cast<unsigned>(v->dataType()->dataType())
                + v->dataType()->byteSize();
        }
    };
    for (auto _ : state) {
        unsigned long long sum = 0;
        for (const std::string& name : f.types) {
            const ac::VarContainer* type = core->symbolType(name);
            visit(type ? type : core->symbolPOU(name), sum);
        }
        for (const std::string& name : f.lists)
            visit(core->symbolGVL(name), sum);
        for (const std::string& name : f.programs)
            visit(core->symbolPOU(name), sum);
        benchmark::DoNotOptimize(sum);
    }
}

void BM_Build_Layout(benchmark::State& state)
{
    fixture();
    for (auto _ : state) {
        SerializeData data;
        ProjectVarSerializer::getInstance().getCurrentSerializeData(data);
        benchmark::DoNotOptimize(data.symbols().data());
    }
}

void BM_Compare_Unchanged(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        OnlineChange change(f.current, f.current);
        benchmark::DoNotOptimize(change.info().copies.data());
    }
}

void BM_Compare_Changed(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        OnlineChange change(f.changed, f.current);
        benchmark::DoNotOptimize(change.info().copies.data());
    }
}

void BM_Text_WriteRead(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        SerializeData read;
        LayoutText::read(LayoutText::write(f.current), read);
        benchmark::DoNotOptimize(read.symbols().data());
    }
}

BENCHMARK(BM_Walk_Core)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Build_Layout)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Compare_Unchanged)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Compare_Changed)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Text_WriteRead)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::baselineMain(argc, argv, "BM_Walk_Core", false);
}
