#include "model/db.h"

#include "model/factory_defaults.h"

namespace quorvane {

SignalTable& TimeTable::chAt(int64_t i) { return const_cast<SignalTable&>(std::as_const(*this).chAt(i)); }

const SignalTable& TimeTable::chAt(int64_t i) const {
    if (i == 0) return chA;
    if (i == 1) return chB;
    throw KeyError(std::to_string(i));
}

std::vector<int> CalendarSettings::getWorkdays() const {
    switch (static_cast<int>(workdayMode)) {
        case static_cast<int>(WorkdayMode::MON_TO_FRI): return {0, 1, 2, 3, 4};
        case static_cast<int>(WorkdayMode::MON_TO_SAT): return {0, 1, 2, 3, 4, 5};
        case static_cast<int>(WorkdayMode::MON_TO_THU): return {0, 1, 2, 3};
        case static_cast<int>(WorkdayMode::SUN_TO_THU): return {6, 0, 1, 2, 3};
        case static_cast<int>(WorkdayMode::SAT_TO_WED): return {5, 6, 0, 1, 2};
        default: return {0, 1, 2, 3, 4, 5, 6};
    }
}

void DailyPreferences::resetOnNewDay(int64_t day) {
    if (_lastDay == day) return;
    selectedTimetableId.reset();
    _lastDay = day;
}

void DB::loadFactoryDefault() { *this = factoryDefaultDb(); }

bool DB::checkAfterLoad(const Json& loaded) {
    if (!loaded.is_object()) throw TypeError("the stored database is not a JSON object");
    const auto version = loaded.find("dbVersion");
    if (version == loaded.end()) return EXPECTED_DB_VERSION == 0;
    return version->is_number() && version->get<double>() == static_cast<double>(EXPECTED_DB_VERSION);
}

bool Cache::checkAfterLoad(const Json& loaded) {
    if (!loaded.is_object()) throw TypeError("the stored cache is not a JSON object");
    return true;
}

void Cache::loadCalendarEntires(const Json& data, int64_t version, const std::string& now) {
    MapDb<CalendarRegion> regions;
    regions.fromDict(data, "entries");
    calendarRegions = std::move(regions);
    calendarVersion = version;
    calendarLastUpdated = now;
}

}  // namespace quorvane
