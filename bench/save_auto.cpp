// Cost of one scheduler pass's three auto-saves when nothing changed, for the factory database and for
// a large one (2,000 signals, 500 timetables of 12 lessons per channel, 200 calendar regions). Also the
// cost when a handler touched the records without changing them (the full fingerprint walk).
#include <filesystem>

#include <benchmark/benchmark.h>

#include "large_records.h"
#include "scheduling/record_saving.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

class SavePass : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State& state) override {
        _folder = std::filesystem::temp_directory_path() / ("quorvane-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(_folder);
        db.load((_folder / "_db.json").string());
        cache.load((_folder / "cache.json").string());
        shadow.load((_folder / "_shadow.json").string());
        {
            StateLock lock;
            db.edit(lock) = DB();
            cache.edit(lock) = Cache();
            if (state.range(0) == 0) db.edit(lock).loadFactoryDefault();
            else fillLarge(db.edit(lock), cache.edit(lock));
        }
        saveStoredRecords();  // first pass observes
    }
    void TearDown(const benchmark::State&) override { std::filesystem::remove_all(_folder); }

private:
    std::filesystem::path _folder;
};

BENCHMARK_DEFINE_F(SavePass, NothingChanged)(benchmark::State& state) {
    for (auto _ : state) saveStoredRecords();
}
BENCHMARK_REGISTER_F(SavePass, NothingChanged)->Arg(0)->Arg(1)->ArgName("large")->Unit(benchmark::kMicrosecond);

BENCHMARK_DEFINE_F(SavePass, TouchedButUnchanged)(benchmark::State& state) {
    for (auto _ : state) {
        {
            StateLock lock;
            db.edit(lock);
            cache.edit(lock);
            shadow.edit(lock);
        }
        saveStoredRecords();
    }
}
BENCHMARK_REGISTER_F(SavePass, TouchedButUnchanged)->Arg(0)->Arg(1)->ArgName("large")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
