#include "model/db.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// The creation moment differs from run to run; fix it so whole texts can be compared.
DB withFixedMoments(DB database) {
    for (auto& [id, signal] : database.signals) signal.lastModified = MyDateTime(std::string("2024-09-02T07:45:00"));
    return database;
}

TEST(DefaultDb, HoldsTheDocumentedDefaults) {
    EXPECT_EQ(to_json(DB{}),
              R"({"dbVersion": 1, "settings": {"defaultTimetableId": "ID_factory_default_timetable", "schedulerEnable": true, )"
              R"("dailyPreferences": {"selectedTimetableId": null, "_lastDay": -1}, "alarmSignalId": "ID_alarm", "alarmDelaySec": 0.0, )"
              R"("calendar": {"workdayMode": 15, "syncRegionId": "hu", "syncSchoolHolidays": true}, )"
              R"("plannedDays": [], "weekdayTimetables": ["", "", "", "", "", "", ""], "dayAdjustments": [], "schoolName": "", )"
              R"("emergencyRoutines": {"lockdown": {"signalId": "ID_lockdown", "repeat": 3, "spokenText": ""}, )"
              R"("evacuation": {"signalId": "ID_evacuation", "repeat": 0, "spokenText": ""}, )"
              R"("shelter": {"signalId": "ID_alarm", "repeat": 3, "spokenText": ""}, )"
              R"("allClear": {"signalId": "ID_allClear", "repeat": 1, "spokenText": ""}}, "speechLanguage": "en", )"
              R"("setupChecklist": {"region": true, "workingWeek": true, "timetable": true, "defaultTimetable": true, "dismissed": true}, )"
              R"("playerName": "", "alerts": {"webhookUrl": "", "mailTo": "", "mailFrom": "", "smtpServer": ""}}, )"
              R"("signals": {}, "timetables": {}})");
}

TEST(DefaultDb, DefaultTimetableHasSixLessonsAndSilentSignals) {
    const TimeTable timetable;
    EXPECT_EQ(timetable.name, "Default");
    for (int channel = 0; channel <= 1; ++channel) {
        const SignalTable& ch = timetable.chAt(channel);
        ASSERT_EQ(ch.lessons.size(), 6u);
        EXPECT_EQ(ch.preStartWaitMin, 5);
        EXPECT_EQ(ch.preEndWaitMin, 5);
        for (const PlayDesc* desc : {&ch.startOfClass, &ch.endOfClass, &ch.preStart, &ch.preEnd}) {
            EXPECT_EQ(desc->id, "NULL");
            EXPECT_FALSE(desc->doRepeat);
            EXPECT_EQ(desc->iterations, 2);
            EXPECT_EQ(desc->delaySec, 1.0);
        }
    }
    EXPECT_THROW(timetable.chAt(2), KeyError);
    EXPECT_THROW(timetable.chAt(-1), KeyError);
}

TEST(FactoryDb, ThirteenSignalsInOrderAndOneTimetable) {
    DB database;
    database.loadFactoryDefault();
    const std::vector<std::string> ids{"ID_double", "ID_robot", "ID_ping",  "ID_triplet",  "ID_vibraphone", "ID_cartoon", "ID_guitar",
                                       "ID_melody", "ID_ring",  "ID_alarm", "ID_lockdown", "ID_evacuation", "ID_allClear"};
    ASSERT_EQ(database.signals.size(), 13u);
    size_t i = 0;
    for (const auto& [id, signal] : database.signals) {
        EXPECT_EQ(id, ids[i++]);
        EXPECT_EQ(signal.storageCategory, StorageCategory::ASSET);
    }
    EXPECT_EQ(database.signals.find("ID_cartoon")->lengthSec, 11);
    EXPECT_EQ(database.signals.find("ID_alarm")->filename, "alarm.mp3");
    ASSERT_EQ(database.timetables.size(), 1u);
    const TimeTable& timetable = *database.timetables.find(FACTORY_DEFAULT_TIMETABLE_ID);
    for (int channel = 0; channel <= 1; ++channel) {
        EXPECT_EQ(timetable.chAt(channel).startOfClass.id, "ID_melody");
        EXPECT_EQ(timetable.chAt(channel).endOfClass.id, "ID_melody");
        EXPECT_EQ(timetable.chAt(channel).preStart.id, "ID_ping");
        EXPECT_EQ(timetable.chAt(channel).preEnd.id, "ID_ping");
    }
    EXPECT_TRUE(timetable.customPlays.empty());
    const Json table = database.signals.asTable();
    EXPECT_EQ(table[0]["storageCategory"], 0);
    EXPECT_EQ(std::prev(table[9].end()).key(), "id");
}

TEST(FactoryDb, ReplacesEverythingHeldBefore) {
    DB database;
    database.settings.schedulerEnable = false;
    database.settings.dailyPreferences.selectedTimetableId = "x";
    database.signals.add(AudioAsset{"upload", "abc.mp3", 3}, "abc");
    database.timetables.add(TimeTable{}, "mine");
    database.loadFactoryDefault();
    DB factory;
    factory.loadFactoryDefault();
    EXPECT_EQ(withFixedMoments(database), withFixedMoments(factory));
    Settings fresh;
    fresh.setupChecklist = SetupChecklist::nothingDone();
    EXPECT_EQ(to_json(database.settings), to_json(fresh));
}

TEST(FactoryDb, StoredTextIsExactlyThis) {
    DB database;
    database.loadFactoryDefault();
    const std::string signal = R"("ID_ping": {"name": "ping", "filename": "p-ping.mp3", "lengthSec": 3, "storageCategory": 0, )"
                               R"("lastModified": "2024-09-02T07:45:00"})";
    const std::string channel =
        R"({"lessons": ["08:00 - 08:45", "09:00 - 09:45", "10:00 - 10:45", "11:00 - 11:45", "12:00 - 12:45", "13:00 - 13:45"], )"
        R"("startOfClass": {"id": "ID_melody", "doRepeat": false, "iterations": 2, "delaySec": 1.0}, )"
        R"("endOfClass": {"id": "ID_melody", "doRepeat": false, "iterations": 2, "delaySec": 1.0}, "preStartWaitMin": 5, )"
        R"("preStart": {"id": "ID_ping", "doRepeat": false, "iterations": 2, "delaySec": 1.0}, "preEndWaitMin": 5, )"
        R"("preEnd": {"id": "ID_ping", "doRepeat": false, "iterations": 2, "delaySec": 1.0}})";
    const std::string text = to_json(withFixedMoments(database));
    EXPECT_NE(text.find(signal), std::string::npos) << text;
    EXPECT_NE(text.find(R"("timetables": {"ID_factory_default_timetable": {"name": "Default", "chA": )" + channel + R"(, "chB": )" + channel +
                        R"(, "customPlays": []}}})"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.rfind(R"({"dbVersion": 1, "settings": {)", 0), 0u);
    EXPECT_EQ(from_json<DB>(text), withFixedMoments(database));
}

TEST(DbLoadCheck, AcceptsOnlyVersionOne) {
    EXPECT_FALSE(DB::checkAfterLoad(Json::object()));
    EXPECT_TRUE(DB::checkAfterLoad(parseJson(R"({"dbVersion": 1})")));
    EXPECT_FALSE(DB::checkAfterLoad(parseJson(R"({"dbVersion": 2})")));
    EXPECT_FALSE(DB::checkAfterLoad(parseJson(R"({"dbVersion": "1"})")));
    EXPECT_THROW(DB::checkAfterLoad(Json::array()), TypeError);
    EXPECT_TRUE(Cache::checkAfterLoad(Json::object()));
    EXPECT_THROW(Cache::checkAfterLoad(Json(3)), TypeError);
}

TEST(Workdays, EveryModeInItsOrder) {
    CalendarSettings calendar;
    const auto workdays = [&](int mode) {
        calendar.workdayMode = static_cast<WorkdayMode>(mode);
        return calendar.getWorkdays();
    };
    EXPECT_EQ(workdays(15), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(workdays(16), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(workdays(14), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(workdays(25), (std::vector<int>{6, 0, 1, 2, 3}));
    EXPECT_EQ(workdays(35), (std::vector<int>{5, 6, 0, 1, 2}));
    EXPECT_EQ(workdays(7), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(workdays(99), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST(DailyPreferencesReset, ClearsTheChoiceOnlyOnANewDay) {
    DailyPreferences preferences;
    preferences.selectedTimetableId = "t";
    preferences._lastDay = 200;
    preferences.resetOnNewDay(200);
    EXPECT_EQ(preferences.selectedTimetableId, "t");
    preferences.resetOnNewDay(201);
    EXPECT_FALSE(preferences.selectedTimetableId.has_value());
    EXPECT_EQ(preferences._lastDay, 201);
    DailyPreferences fresh;
    fresh.selectedTimetableId = "t";
    fresh.resetOnNewDay(1);
    EXPECT_FALSE(fresh.selectedTimetableId.has_value()) << "the first call after the factory content clears too";
}

TEST(CalendarEntries, ReplaceRegionsVersionAndDateTogether) {
    Cache cache;
    cache.calendarRegions.add(CalendarRegion{"old"}, "old");
    cache.loadCalendarEntires(Json::object(), 7, "2024-09-02");
    EXPECT_TRUE(cache.calendarRegions.empty());
    EXPECT_EQ(cache.calendarVersion, 7);
    EXPECT_EQ(cache.calendarLastUpdated, "2024-09-02");

    cache.loadCalendarEntires(parseJson(R"({"hu": {"name": "Hungary", "holidays": ["2024-12-24"]}, "at": {}})"), 8, "2024-09-03");
    ASSERT_EQ(cache.calendarRegions.size(), 2u);
    EXPECT_EQ(cache.calendarRegions.find("hu")->holidays, std::vector<std::string>{"2024-12-24"});
    EXPECT_TRUE(cache.calendarRegions.find("at")->provideHolidays);
}

TEST(CalendarEntries, ARegionThatDoesNotDecodeChangesNothing) {
    Cache cache;
    cache.loadCalendarEntires(parseJson(R"({"hu": {"name": "Hungary"}})"), 3, "2024-09-01");
    const Cache before = cache;
    EXPECT_THROW(cache.loadCalendarEntires(parseJson(R"({"a": {}, "b": {"preferredWorkdayMode": 99}})"), 4, "2024-09-02"), DecodeError);
    EXPECT_EQ(cache, before);
}

// Every number a client stores is bounded: minutes before a bell, repeat counts and pauses.
TEST(DbBounds, DeclaredForEveryNumberAClientStores) {
    const auto refusal = [](const auto decode) -> std::string {
        try {
            decode();
        } catch (const BoundsError& error) {
            return error.what();
        }
        return "";
    };
    const auto timetable = [&](const std::string& channel) { return refusal([&] { from_json<TimeTable>(R"({"chB": )" + channel + "}"); }); };
    EXPECT_EQ(timetable(R"({"preStartWaitMin": 1440, "preEndWaitMin": 0})"), "");
    EXPECT_EQ(timetable(R"({"preStartWaitMin": 1441})"), "chB.preStartWaitMin: expected an integer from 0 to 1440");
    EXPECT_EQ(timetable(R"({"preEndWaitMin": -1})"), "chB.preEndWaitMin: expected an integer from 0 to 1440");
    EXPECT_EQ(timetable(R"({"preStart": {"doRepeat": true, "iterations": -1}})"), "chB.preStart.iterations: expected an integer from 1 to 100");
    EXPECT_EQ(timetable(R"({"endOfClass": {"iterations": 101}})"), "chB.endOfClass.iterations: expected an integer from 1 to 100");
    EXPECT_EQ(timetable(R"({"startOfClass": {"delaySec": "nan"}})"), "chB.startOfClass.delaySec: expected a number from 0 to 3600");
    EXPECT_EQ(refusal([] { from_json<TimeTable>(R"({"customPlays": [{"desc": {"delaySec": 3601}}]})"); }),
              "customPlays[0].desc.delaySec: expected a number from 0 to 3600");
    EXPECT_EQ(refusal([] { from_json<Settings>(R"({"alarmDelaySec": "inf"})"); }), "alarmDelaySec: expected a number from 0 to 3600");
    EXPECT_EQ(refusal([] { from_json<Settings>(R"({"dailyPreferences": {"_lastDay": 367}})"); }),
              "dailyPreferences._lastDay: expected an integer from -1 to 366");
}

TEST(DbReading, CalendarDatesAreTexts) {
    EXPECT_EQ(from_json<CalendarRegion>(R"({"holidays": ["2024-12-24"]})").holidays, std::vector<std::string>{"2024-12-24"});
    EXPECT_THROW(from_json<CalendarRegion>(R"({"holidays": [20241224]})"), DecodeError);
    EXPECT_THROW(from_json<CalendarRegion>(R"({"extraWorkdays": [2024.5]})"), DecodeError);
}

TEST(DbReading, MissingNestedMembersTakeDefaults) {
    const DB database = from_json<DB>(R"({"dbVersion": 1, "timetables": {"t": {"name": "Short", "chA": {"lessons": ["08:00 - 08:40"]}}}})");
    const TimeTable& timetable = *database.timetables.find("t");
    EXPECT_EQ(timetable.chA.lessons.size(), 1u);
    EXPECT_EQ(timetable.chA.preStartWaitMin, 5);
    EXPECT_EQ(timetable.chB.lessons.size(), 6u);
    EXPECT_EQ(database.settings.calendar.syncRegionId, "hu");
}

// The settings as a program without planned days and weekday timetables knows them.
struct SettingsBeforePlans {
    std::string defaultTimetableId;
    bool schedulerEnable = true;
    DailyPreferences dailyPreferences;
    std::string alarmSignalId;
    double alarmDelaySec = 0.0;
    CalendarSettings calendar;

    static constexpr auto fields() {
        return std::tuple{
            field("defaultTimetableId", &SettingsBeforePlans::defaultTimetableId), field("schedulerEnable", &SettingsBeforePlans::schedulerEnable),
            field("dailyPreferences", &SettingsBeforePlans::dailyPreferences),     field("alarmSignalId", &SettingsBeforePlans::alarmSignalId),
            field("alarmDelaySec", &SettingsBeforePlans::alarmDelaySec),           field("calendar", &SettingsBeforePlans::calendar)};
    }
};

TEST(DbPlans, AnOlderFileLoadsWithoutPlans) {
    const DB database = from_json<DB>(R"({"dbVersion": 1, "settings": {"defaultTimetableId": "t", "schedulerEnable": false}})");
    EXPECT_TRUE(database.settings.plannedDays.empty());
    EXPECT_EQ(database.settings.weekdayTimetables, std::vector<std::string>(7));
    EXPECT_EQ(database.settings.defaultTimetableId, "t");
}

// Only a fresh installation walks its administrator through the setup; a file written before the
// checklist existed must not bring it up on an upgraded player.
TEST(SetupChecklist, ShownOnlyOnAFreshInstallation) {
    DB factory;
    factory.loadFactoryDefault();
    EXPECT_EQ(factory.settings.setupChecklist, SetupChecklist::nothingDone());

    const DB upgraded = from_json<DB>(R"({"dbVersion": 1, "settings": {"defaultTimetableId": "t"}})");
    EXPECT_EQ(upgraded.settings.setupChecklist, SetupChecklist{});
    EXPECT_TRUE(upgraded.settings.setupChecklist.dismissed);

    // A half-done checklist survives a save and a load as it was.
    factory.settings.setupChecklist.region = true;
    const DB reloaded = from_json<DB>(to_json(withFixedMoments(factory)));
    EXPECT_TRUE(reloaded.settings.setupChecklist.region);
    EXPECT_FALSE(reloaded.settings.setupChecklist.workingWeek);
    EXPECT_FALSE(reloaded.settings.setupChecklist.dismissed);
}

TEST(DbPlans, AnOlderProgramReadsAFileWithPlansAndLosesOnlyThem) {
    Settings settings;
    settings.defaultTimetableId = "exam";
    settings.calendar.workdayMode = WorkdayMode::MON_TO_SAT;
    settings.plannedDays = {{"2026-12-14", "exam"}, {"2026-12-24", NULL_ID}};
    settings.weekdayTimetables[5] = "saturday";
    const Json stored = to_dict(settings);
    ASSERT_TRUE(stored.contains("plannedDays"));

    const auto older = from_dict<SettingsBeforePlans>(stored);
    EXPECT_EQ(older.defaultTimetableId, "exam");
    EXPECT_EQ(older.calendar.workdayMode, WorkdayMode::MON_TO_SAT);
    // Written back by the older program and read again by this one: the plans are gone, the rest stays.
    const Settings again = from_dict<Settings>(to_dict(older));
    EXPECT_TRUE(again.plannedDays.empty());
    EXPECT_EQ(again.calendar.workdayMode, WorkdayMode::MON_TO_SAT);
    // And the whole database file with plans passes the load check of either program.
    DB database;
    database.settings = settings;
    EXPECT_TRUE(DB::checkAfterLoad(to_dict(database)));
    EXPECT_EQ(from_json<DB>(to_json(database)).settings.plannedDays, settings.plannedDays);
}

TEST(DbPlans, AShortWeekdayListAndBadEntriesAreHandled) {
    const Settings settings = from_json<Settings>(R"({"weekdayTimetables": ["a", ""]})");
    EXPECT_EQ(settings.weekdayTimetables, (std::vector<std::string>{"a", ""}));
    EXPECT_THROW(from_json<Settings>(R"({"plannedDays": [5]})"), DecodeError);
    EXPECT_THROW(from_json<Settings>(R"({"weekdayTimetables": "monday"})"), DecodeError);
}

}  // namespace
}  // namespace quorvane
