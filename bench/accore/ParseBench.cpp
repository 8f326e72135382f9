// Lines per second of the declaration parser on the machine corpus. The baselines run on the
// same text in the same process: a plain byte scan (the floor of any reader) and the lexer
// alone (what parsing and symbol building add on top of tokenising).
#include "CorpusLoader.h"

#include "accore/ACCore.h"
#include "accore/StParser.h"
#include "accore/internal/Lexer.h"

#include <benchmark/benchmark.h>

namespace {

struct Corpus
{
    std::vector<corpus::Object> declarations;
    std::vector<corpus::Object> bodies;
    size_t declarationLines = 0;
    size_t bodyLines = 0;
};

const Corpus& theCorpus()
{
    static const Corpus c = [] {
        Corpus out;
        for (auto& o : corpus::load(ACCORE_CORPUS_DIR)) {
            const size_t lines = static_cast<size_t>(std::count(o.text.begin(), o.text.end(), '\n'));
            if (o.kind == "body") {
                out.bodyLines += lines;
                out.bodies.push_back(o);
            } else {
                out.declarationLines += lines;
                out.declarations.push_back(o);
            }
        }
        return out;
    }();
    return c;
}

void reportLines(benchmark::State& state, size_t linesPerIteration)
{
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(linesPerIteration) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}

// Baseline 1: look at every byte once (count line ends and sum the bytes).
void BM_ByteScan(benchmark::State& state)
{
    const Corpus& c = theCorpus();
    for (auto _ : state) {
        size_t lines = 0;
        unsigned sum = 0;
        for (const auto& o : c.declarations) {
            for (char ch : o.text) {
                lines += ch == '\n';
                sum += static_cast<unsigned char>(ch);
            }
        }
        benchmark::DoNotOptimize(lines);
        benchmark::DoNotOptimize(sum);
    }
    reportLines(state, c.declarationLines);
}
BENCHMARK(BM_ByteScan);

// Baseline 2: tokens only.
void BM_LexOnly(benchmark::State& state)
{
    const Corpus& c = theCorpus();
    for (auto _ : state) {
        size_t tokens = 0;
        for (const auto& o : c.declarations) {
            ac::Lexer lexer(o.text);
            tokens += lexer.tokenize().size();
        }
        benchmark::DoNotOptimize(tokens);
    }
    reportLines(state, c.declarationLines);
}
BENCHMARK(BM_LexOnly);

// Full declaration parsing: tokens, syntax, types, sizes, initial value checks, symbols.
void BM_ParseDeclarations(benchmark::State& state)
{
    const Corpus& c = theCorpus();
    ac::ACCore core;
    for (auto _ : state) {
        for (const auto& o : c.declarations) {
            core.reset(4);
            if (o.kind == "types")
                core.parserTypes(o.text, o.name, 0, false, false, -1);
            else if (o.kind == "gvl")
                core.parseGlobalVars(o.text, o.name, 0, false, false);
            else
                core.parserPou(o.text, o.name, 0, false, false, -1);
        }
    }
    if (!core.errors().empty())
        state.SkipWithError("the corpus gave messages");
    reportLines(state, c.declarationLines);
}
BENCHMARK(BM_ParseDeclarations);

// Structured text bodies: parse and check every identifier.
void BM_ParseAndCheckBodies(benchmark::State& state)
{
    const Corpus& c = theCorpus();
    ac::ACCore core;
    for (const auto& o : c.declarations) {
        if (o.kind == "types")
            core.parserTypes(o.text, o.name, 0, false, false, -1);
        else if (o.kind == "gvl")
            core.parseGlobalVars(o.text, o.name, 0, false, false);
        else
            core.parserPou(o.text, o.name, 0, false, false, -1);
    }
    ac::StParser parser;
    for (auto _ : state) {
        for (const auto& o : c.bodies) {
            std::vector<ac::ACMessage> messages;
            auto tree = parser.parse(o.text, o.name, 0, messages);
            core.reset(4);
            core.checkPOU(tree->root(), o.name, -1, nullptr);
        }
    }
    if (!core.errors().empty())
        state.SkipWithError("the corpus gave messages");
    reportLines(state, c.bodyLines);
}
BENCHMARK(BM_ParseAndCheckBodies);

} // namespace

BENCHMARK_MAIN();
