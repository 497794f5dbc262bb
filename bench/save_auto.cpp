// Cost of one scheduler pass's three auto-saves when nothing changed, for the factory database and for
// a large one (2,000 signals, 500 timetables of 12 lessons per channel, 200 calendar regions). Also the
// cost when a handler touched the records without changing them (the full fingerprint walk).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "scheduling/record_saving.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

void fillLarge(DB& database, Cache& calendar) {
    database.loadFactoryDefault();
    for (int i = 0; i < 2000; ++i)
        database.signals.add(AudioAsset{"Uploaded signal " + std::to_string(i), "0123456789abcdef0123456789abcdef.mp3", 7});
    for (int t = 0; t < 500; ++t) {
        TimeTable timetable;
        timetable.name = "Timetable " + std::to_string(t);
        for (int channel = 0; channel <= 1; ++channel) {
            SignalTable& ch = timetable.chAt(channel);
            ch.lessons.clear();
            for (int l = 0; l < 12; ++l) ch.lessons.push_back(Lesson{TimeOfDay(7 + l, 0), TimeOfDay(7 + l, 45)});
            ch.startOfClass.id = ch.endOfClass.id = FACTORY_DEFAULT_SIGNAL_ID_MELODY;
        }
        UserPlay extra;
        extra.slots = {TimeOfDay(12, 30), TimeOfDay(16, 0)};
        timetable.customPlays.push_back(extra);
        database.timetables.add(timetable);
    }
    for (int r = 0; r < 200; ++r) {
        CalendarRegion region;
        region.name = "Region " + std::to_string(r);
        for (int d = 1; d <= 28; ++d) region.holidays.push_back("2025-02-" + std::string(d < 10 ? "0" : "") + std::to_string(d));
        for (int d = 1; d <= 28; ++d) region.schoolBreaks.push_back("2025-07-" + std::string(d < 10 ? "0" : "") + std::to_string(d));
        region.extraWorkdays = {"2025-03-01", "2025-10-18"};
        calendar.calendarRegions.add(region, "r" + std::to_string(r));
    }
}

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
