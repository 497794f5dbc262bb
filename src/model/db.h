#pragma once
// The configuration database (settings, signals, timetables) and the cache of calendar regions.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/alert_settings.h"
#include "model/emergency_routines.h"
#include "model/map_db.h"
#include "model/record.h"
#include "model/time_values.h"

namespace quorvane {

inline constexpr int64_t EXPECTED_DB_VERSION = 1;
inline constexpr const char* FACTORY_DEFAULT_TIMETABLE_ID = "ID_factory_default_timetable";
inline constexpr const char* FACTORY_DEFAULT_SIGNAL_ID_MELODY = "ID_melody";
inline constexpr const char* FACTORY_DEFAULT_SIGNAL_ID_PING = "ID_ping";
inline constexpr const char* FACTORY_DEFAULT_SIGNAL_ID_ALARM = "ID_alarm";
// Names no timetable and no signal; a play description with it plays nothing.
inline constexpr const char* NULL_ID = "NULL";

enum class StorageCategory : int { ASSET = 0, PERSISTENT = 1 };
template <>
struct EnumMembers<StorageCategory> {
    static constexpr StorageCategory values[] = {StorageCategory::ASSET, StorageCategory::PERSISTENT};
};

// Codes, not bit sets.
enum class WorkdayMode : int { EVERY_DAY = 7, MON_TO_FRI = 15, MON_TO_SAT = 16, MON_TO_THU = 14, SUN_TO_THU = 25, SAT_TO_WED = 35 };
template <>
struct EnumMembers<WorkdayMode> {
    static constexpr WorkdayMode values[] = {WorkdayMode::EVERY_DAY,  WorkdayMode::MON_TO_FRI, WorkdayMode::MON_TO_SAT,
                                             WorkdayMode::MON_TO_THU, WorkdayMode::SUN_TO_THU, WorkdayMode::SAT_TO_WED};
};

struct AudioAsset {
    std::string name;
    std::string filename;
    int64_t lengthSec = -1;
    StorageCategory storageCategory = StorageCategory::PERSISTENT;
    MyDateTime lastModified;

    static constexpr auto fields() {
        return std::tuple{field("name", &AudioAsset::name), field("filename", &AudioAsset::filename), field("lengthSec", &AudioAsset::lengthSec),
                          field("storageCategory", &AudioAsset::storageCategory), field("lastModified", &AudioAsset::lastModified)};
    }
};

struct PlayDesc {
    std::string id = NULL_ID;
    bool doRepeat = false;
    int64_t iterations = 2;
    double delaySec = 1.0;

    // At most a hundred plays an hour apart: a repeat must end on its own.
    static constexpr auto fields() {
        return std::tuple{field("id", &PlayDesc::id), field("doRepeat", &PlayDesc::doRepeat), field("iterations", &PlayDesc::iterations, {1, 100}),
                          field("delaySec", &PlayDesc::delaySec, {0, 3600})};
    }
};

struct UserPlay {
    PlayDesc desc;
    std::vector<TimeOfDay> slots;

    static constexpr auto fields() { return std::tuple{field("desc", &UserPlay::desc), field("slots", &UserPlay::slots)}; }
};

struct SignalTable {
    std::vector<Lesson> lessons = Lesson::defaults();
    PlayDesc startOfClass;
    PlayDesc endOfClass;
    int64_t preStartWaitMin = 5;
    PlayDesc preStart;
    int64_t preEndWaitMin = 5;
    PlayDesc preEnd;

    // A pre-signal comes at most a day before its bell.
    static constexpr auto fields() {
        return std::tuple{field("lessons", &SignalTable::lessons),       field("startOfClass", &SignalTable::startOfClass),
                          field("endOfClass", &SignalTable::endOfClass), field("preStartWaitMin", &SignalTable::preStartWaitMin, {0, 1440}),
                          field("preStart", &SignalTable::preStart),     field("preEndWaitMin", &SignalTable::preEndWaitMin, {0, 1440}),
                          field("preEnd", &SignalTable::preEnd)};
    }
};

struct TimeTable {
    std::string name = "Default";
    SignalTable chA;
    SignalTable chB;
    std::vector<UserPlay> customPlays;

    // Channel 0 is A, 1 is B; any other number is a KeyError.
    SignalTable& chAt(int64_t i);
    const SignalTable& chAt(int64_t i) const;

    static constexpr auto fields() {
        return std::tuple{field("name", &TimeTable::name), field("chA", &TimeTable::chA), field("chB", &TimeTable::chB),
                          field("customPlays", &TimeTable::customPlays)};
    }
};

struct CalendarRegion {
    std::string name;
    WorkdayMode preferredWorkdayMode = WorkdayMode::EVERY_DAY;
    bool provideHolidays = true;
    std::string validUntil;
    std::vector<std::string> holidays;
    std::vector<std::string> schoolBreaks;
    std::vector<std::string> extraWorkdays;

    static constexpr auto fields() {
        return std::tuple{field("name", &CalendarRegion::name),
                          field("preferredWorkdayMode", &CalendarRegion::preferredWorkdayMode),
                          field("provideHolidays", &CalendarRegion::provideHolidays),
                          field("validUntil", &CalendarRegion::validUntil),
                          field("holidays", &CalendarRegion::holidays),
                          field("schoolBreaks", &CalendarRegion::schoolBreaks),
                          field("extraWorkdays", &CalendarRegion::extraWorkdays)};
    }
};

struct CalendarSettings {
    WorkdayMode workdayMode = WorkdayMode::MON_TO_FRI;
    std::string syncRegionId = "hu";
    bool syncSchoolHolidays = true;

    // Weekday numbers (Monday = 0) of the workdays, in the order of the mode's name.
    std::vector<int> getWorkdays() const;

    static constexpr auto fields() {
        return std::tuple{field("workdayMode", &CalendarSettings::workdayMode), field("syncRegionId", &CalendarSettings::syncRegionId),
                          field("syncSchoolHolidays", &CalendarSettings::syncSchoolHolidays)};
    }
};

struct DailyPreferences {
    std::optional<std::string> selectedTimetableId;
    int64_t _lastDay = -1;

    // Clears the timetable chosen for the day when the day of the year differs from the last one seen.
    void resetOnNewDay(int64_t day);

    static constexpr auto fields() {
        return std::tuple{field("selectedTimetableId", &DailyPreferences::selectedTimetableId),
                          field("_lastDay", &DailyPreferences::_lastDay, {-1, 366})};
    }
};

// A timetable planned for one date, or "NULL" for a day without bells.
struct PlannedDay {
    std::string date;  // as 2024-09-02
    std::string timetableId = NULL_ID;

    static constexpr auto fields() { return std::tuple{field("date", &PlannedDay::date), field("timetableId", &PlannedDay::timetableId)}; }
};

// A change to one date's bells on top of whatever timetable the date uses: from a time on (or all day)
// they ring a number of minutes later (earlier when negative), and none rings after an end.
struct DayAdjustment {
    std::string date;          // as 2024-09-02
    int64_t shiftMinutes = 0;  // 0: no bell moves
    std::string from;          // as 08:00; "" for the whole day
    std::string endAfter;      // as 12:30; "" for no end

    static constexpr int64_t MAX_SHIFT_MINUTES = 240;
    static constexpr auto fields() {
        return std::tuple{field("date", &DayAdjustment::date),
                          field("shiftMinutes", &DayAdjustment::shiftMinutes, {-MAX_SHIFT_MINUTES, MAX_SHIFT_MINUTES}),
                          field("from", &DayAdjustment::from), field("endAfter", &DayAdjustment::endAfter)};
    }
};

inline constexpr size_t DAYS_IN_A_WEEK = 7;

// The steps a new administrator is walked through after setting the password. Stored settings from
// before the checklist lack it and read as all done, so only a fresh installation shows it.
struct SetupChecklist {
    bool region = true;
    bool workingWeek = true;
    bool timetable = true;
    bool defaultTimetable = true;
    bool dismissed = true;

    static SetupChecklist nothingDone() { return {false, false, false, false, false}; }
    static constexpr auto fields() {
        return std::tuple{field("region", &SetupChecklist::region), field("workingWeek", &SetupChecklist::workingWeek),
                          field("timetable", &SetupChecklist::timetable), field("defaultTimetable", &SetupChecklist::defaultTimetable),
                          field("dismissed", &SetupChecklist::dismissed)};
    }
};

struct Settings {
    std::string defaultTimetableId = FACTORY_DEFAULT_TIMETABLE_ID;
    bool schedulerEnable = true;
    DailyPreferences dailyPreferences;
    std::string alarmSignalId = FACTORY_DEFAULT_SIGNAL_ID_ALARM;
    double alarmDelaySec = 0.0;
    CalendarSettings calendar;
    // Sorted by date, one entry per date, none before today (older ones are dropped at the day change).
    std::vector<PlannedDay> plannedDays;
    // Monday first; "" where the default timetable applies. A shorter stored list means "" for the rest.
    std::vector<std::string> weekdayTimetables = std::vector<std::string>(DAYS_IN_A_WEEK);
    // Sorted by date, one entry per date, none before today (dropped at the day change like planned days).
    std::vector<DayAdjustment> dayAdjustments;
    std::string schoolName;  // printed at the top of bell schedules
    EmergencyRoutines emergencyRoutines;
    std::string speechLanguage = "en";  // the espeak-ng voice of the routines' spoken sentences
    SetupChecklist setupChecklist;
    std::string playerName;  // which of a district's players this is, as "North building"; "" for none
    // It heads mail subjects and labels every metric: kept short.
    static constexpr size_t MAX_PLAYER_NAME_CHARACTERS = 60;
    AlertSettings alerts;

    static constexpr auto fields() {
        return std::tuple{field("defaultTimetableId", &Settings::defaultTimetableId),
                          field("schedulerEnable", &Settings::schedulerEnable),
                          field("dailyPreferences", &Settings::dailyPreferences),
                          field("alarmSignalId", &Settings::alarmSignalId),
                          field("alarmDelaySec", &Settings::alarmDelaySec, {0, 3600}),
                          field("calendar", &Settings::calendar),
                          field("plannedDays", &Settings::plannedDays),
                          field("weekdayTimetables", &Settings::weekdayTimetables),
                          field("dayAdjustments", &Settings::dayAdjustments),
                          field("schoolName", &Settings::schoolName),
                          field("emergencyRoutines", &Settings::emergencyRoutines),
                          field("speechLanguage", &Settings::speechLanguage),
                          field("setupChecklist", &Settings::setupChecklist),
                          field("playerName", &Settings::playerName),
                          field("alerts", &Settings::alerts)};
    }
};

struct DB {
    int64_t dbVersion = EXPECTED_DB_VERSION;
    Settings settings;
    MapDb<AudioAsset> signals;
    MapDb<TimeTable> timetables;

    // Accepts a stored database only of the version this program reads.
    static bool checkAfterLoad(const Json& loaded);
    // Replaces the whole content by the factory signals and timetable.
    void loadFactoryDefault();

    static constexpr auto fields() {
        return std::tuple{field("dbVersion", &DB::dbVersion), field("settings", &DB::settings), field("signals", &DB::signals),
                          field("timetables", &DB::timetables)};
    }
};

struct Cache {
    MapDb<CalendarRegion> calendarRegions;
    int64_t calendarVersion = 0;
    std::string calendarLastUpdated;

    static bool checkAfterLoad(const Json& loaded);
    // Stores a registry from the remote service. When a region does not decode, the error reaches the
    // caller and the cache is left exactly as it was.
    void loadCalendarEntires(const Json& data, int64_t version, const std::string& now);

    static constexpr auto fields() {
        return std::tuple{field("calendarRegions", &Cache::calendarRegions), field("calendarVersion", &Cache::calendarVersion),
                          field("calendarLastUpdated", &Cache::calendarLastUpdated)};
    }
};

}  // namespace quorvane
