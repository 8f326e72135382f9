// getMd5 against QCryptographicHash::Md5 on the same bytes in the same run: a small layout,
// a typical one and a large one. The ratio of the two times per size is the figure to watch
// (the routine should stay within 1.5x of Qt's).
#include "datamodel/memory/Md5.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <benchmark/benchmark.h>

#include <random>

namespace {

QByteArray input(int size)
{
    std::mt19937 random(1321);
    QByteArray data(size, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    return data;
}

void setBytes(benchmark::State& state, int size)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}

void BM_GetMd5(benchmark::State& state)
{
    const QByteArray data = input(static_cast<int>(state.range(0)));
    unsigned char digest[Md5::DigestSize];
    for (auto _ : state) {
        Md5::getMd5(data.constData(), static_cast<size_t>(data.size()), digest);
        benchmark::DoNotOptimize(digest);
    }
    setBytes(state, data.size());
}

// Baseline: Qt's MD5 over the same bytes.
void BM_QtMd5(benchmark::State& state)
{
    const QByteArray data = input(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QByteArray digest = QCryptographicHash::hash(data, QCryptographicHash::Md5);
        benchmark::DoNotOptimize(digest);
    }
    setBytes(state, data.size());
}

BENCHMARK(BM_GetMd5)->Arg(64)->Arg(16 << 10)->Arg(4 << 20);
BENCHMARK(BM_QtMd5)->Arg(64)->Arg(16 << 10)->Arg(4 << 20);

} // namespace

BENCHMARK_MAIN();
