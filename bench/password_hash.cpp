// The CPU one login costs: the scrypt hash of a password at the stored cost (target: at most about
// 150 ms of one core), and the old form it replaces, for comparison.
#include "model/password_hash.h"

#include <benchmark/benchmark.h>

#include "model/digest.h"

namespace {

void HashAtTheStoredCost(benchmark::State& state) {
    const std::string stored = quorvane::hashPassword("correct horse battery staple");
    for (auto _ : state) benchmark::DoNotOptimize(quorvane::isScryptHashOf(stored, "correct horse battery staple"));
}
BENCHMARK(HashAtTheStoredCost)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void OldFormSha256(benchmark::State& state) {
    const std::string salt(64, 'a');
    for (auto _ : state) benchmark::DoNotOptimize(quorvane::getHash(salt + "correct horse battery staple"));
}
BENCHMARK(OldFormSha256)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
