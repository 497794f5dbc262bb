// Cost of one day's preview (the type of day, the timetable in force and its bells, as JSON) for the
// large configuration, with a year of planned days and a timetable per weekday; and of finding the next
// day that rings after a month planned without bells.
#include <benchmark/benchmark.h>

#include "core/clock.h"
#include "large_records.h"
#include "model/calendar_date.h"
#include "scheduling/day_plan.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

class DayPreview : public benchmark::Fixture {
public:
    void SetUp(const benchmark::State&) override {
        _today = dayNumberOf(getClock());
        StateLock lock;
        DB& database = db.edit(lock);
        database = DB();
        cache.edit(lock) = Cache();
        fillLarge(database, cache.edit(lock));
        database.settings.calendar.syncRegionId = "r100";
        std::vector<std::string> ids;
        for (const auto& [id, timetable] : database.timetables) ids.push_back(id);
        for (size_t day = 0; day < 7; ++day) database.settings.weekdayTimetables[day] = ids[day * 10];
        for (int64_t day = 0; day < MAX_DAYS; ++day)
            database.settings.plannedDays.push_back({dateText(_today + day), day < 30 ? NULL_ID : ids[static_cast<size_t>(day) % ids.size()]});
    }

protected:
    static constexpr int64_t MAX_DAYS = 366;
    int64_t _today = 0;
};

BENCHMARK_DEFINE_F(DayPreview, OneDayAsJson)(benchmark::State& state) {
    int64_t offset = 0;
    for (auto _ : state) {
        StateLock lock;
        const DayPlan plan = dayPlanOf(lock, _today + 30 + offset);
        Json bells = Json::array();
        for (const ScheduledBell& bell : plan.bells) bells.push_back(to_dict(bell));
        benchmark::DoNotOptimize(toJsonText(bells));
        offset = (offset + 1) % (MAX_DAYS - 30);
    }
}
BENCHMARK_REGISTER_F(DayPreview, OneDayAsJson)->Unit(benchmark::kMicrosecond);

BENCHMARK_DEFINE_F(DayPreview, NextDayWithBellsAfterAMonthWithout)(benchmark::State& state) {
    for (auto _ : state) {
        StateLock lock;
        benchmark::DoNotOptimize(nextDayWithBells(lock, _today));
    }
}
BENCHMARK_REGISTER_F(DayPreview, NextDayWithBellsAfterAMonthWithout)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
