#include "web/settings_update.h"

#include <gtest/gtest.h>

namespace quorvane::web {
namespace {

std::string refusal(const Json& update) {
    try {
        checkSettingsUpdate(update);
    } catch (const SettingsUpdateError& error) {
        return error.what();
    }
    return "";
}

TEST(SettingsUpdate, AppliesDottedPathsInBodyOrder) {
    const Json update = {{"alarmDelaySec", 2.5},
                         {"schedulerEnable", false},
                         {"calendar.syncSchoolHolidays", false},
                         {"calendar.workdayMode", 25},
                         {"dailyPreferences.selectedTimetableId", "tt"},
                         {"dailyPreferences._lastDay", 17},
                         {"defaultTimetableId", "b"}};
    ASSERT_EQ(refusal(update), "");
    Settings settings;
    applySettingsUpdate(settings, update);
    EXPECT_EQ(settings.alarmDelaySec, 2.5);
    EXPECT_FALSE(settings.schedulerEnable);
    EXPECT_FALSE(settings.calendar.syncSchoolHolidays);
    EXPECT_EQ(settings.calendar.workdayMode, WorkdayMode::SUN_TO_THU);
    EXPECT_EQ(settings.calendar.syncRegionId, "hu") << "siblings keep their values";
    EXPECT_EQ(settings.dailyPreferences.selectedTimetableId, "tt");
    EXPECT_EQ(settings.dailyPreferences._lastDay, 17);
    EXPECT_EQ(settings.defaultTimetableId, "b");

    applySettingsUpdate(settings, {{"dailyPreferences.selectedTimetableId", nullptr}, {"alarmDelaySec", 3}});
    EXPECT_FALSE(settings.dailyPreferences.selectedTimetableId);
    EXPECT_EQ(settings.alarmDelaySec, 3.0) << "an integer is a number";
}

TEST(SettingsUpdate, NestedRecordMustDecodeCompletely) {
    const Json calendar = {{"workdayMode", 7}, {"syncRegionId", "at"}, {"syncSchoolHolidays", false}};
    ASSERT_EQ(refusal({{"calendar", calendar}}), "");
    Settings settings;
    applySettingsUpdate(settings, {{"calendar", calendar}});
    EXPECT_EQ(settings.calendar.workdayMode, WorkdayMode::EVERY_DAY);
    EXPECT_EQ(settings.calendar.syncRegionId, "at");
    EXPECT_EQ(refusal({{"calendar", {{"workdayMode", 8}}}}),
              "Invalid value for setting calendar: expected an object of the fields workdayMode, syncRegionId, syncSchoolHolidays");
    EXPECT_NE(refusal({{"calendar", {{"workdayMode", 7}, {"colour", "red"}}}}), "") << "unknown member";
    EXPECT_NE(refusal({{"calendar", {{"syncRegionId", 5}}}}), "");
    EXPECT_NE(refusal({{"calendar", Json::array()}}), "");
}

TEST(SettingsUpdate, RefusesValuesOfAnotherKind) {
    EXPECT_EQ(refusal({{"schedulerEnable", 1}}), "Invalid value for setting schedulerEnable: expected true or false");
    EXPECT_EQ(refusal({{"schedulerEnable", "false"}}), "Invalid value for setting schedulerEnable: expected true or false");
    EXPECT_EQ(refusal({{"alarmDelaySec", "2.5"}}), "Invalid value for setting alarmDelaySec: expected a number");
    EXPECT_EQ(refusal({{"alarmDelaySec", nullptr}}), "Invalid value for setting alarmDelaySec: expected a number");
    EXPECT_EQ(refusal({{"dailyPreferences._lastDay", 1.5}}), "Invalid value for setting dailyPreferences._lastDay: expected an integer");
    EXPECT_EQ(refusal({{"dailyPreferences._lastDay", 18446744073709551615ULL}}),
              "Invalid value for setting dailyPreferences._lastDay: expected an integer");
    EXPECT_EQ(refusal({{"defaultTimetableId", 5}}), "Invalid value for setting defaultTimetableId: expected a text");
    EXPECT_EQ(refusal({{"defaultTimetableId", nullptr}}), "Invalid value for setting defaultTimetableId: expected a text");
    EXPECT_EQ(refusal({{"dailyPreferences.selectedTimetableId", false}}),
              "Invalid value for setting dailyPreferences.selectedTimetableId: expected a text or null");
    EXPECT_EQ(refusal({{"calendar.workdayMode", 8}}), "Invalid value for setting calendar.workdayMode: expected one of 7, 15, 16, 14, 25, 35");
    EXPECT_EQ(refusal({{"calendar.workdayMode", "15"}}), "Invalid value for setting calendar.workdayMode: expected one of 7, 15, 16, 14, 25, 35");
    EXPECT_EQ(refusal({{"calendar.workdayMode", 15.0}}), "Invalid value for setting calendar.workdayMode: expected one of 7, 15, 16, 14, 25, 35");
}

TEST(SettingsUpdate, RefusesPathsThatNameNoDeclaredField) {
    EXPECT_EQ(refusal({{"volume", 3}}), "Unknown setting: volume");
    EXPECT_EQ(refusal({{"calendar.colour", 3}}), "Unknown setting: calendar.colour");
    EXPECT_EQ(refusal({{"", 3}}), "Unknown setting: ");
    EXPECT_EQ(refusal({{"calendar.", 3}}), "Unknown setting: calendar.");
    EXPECT_EQ(refusal({{"alarmDelaySec.x", 3}}), "Invalid setting alarmDelaySec.x: alarmDelaySec holds no fields");
    EXPECT_EQ(refusal({{"calendar.syncRegionId.x", "y"}}), "Invalid setting calendar.syncRegionId.x: syncRegionId holds no fields");
    EXPECT_EQ(refusal(Json::array()), "The settings update must be a JSON object");
    EXPECT_EQ(refusal("schedulerEnable"), "The settings update must be a JSON object");
    EXPECT_EQ(refusal(Json::object()), "");
}

TEST(SettingsUpdate, OneBadMemberRefusesTheWholeUpdate) {
    const Json update = {{"schedulerEnable", false}, {"alarmDelaySec", "x"}, {"defaultTimetableId", "b"}};
    EXPECT_EQ(refusal(update), "Invalid value for setting alarmDelaySec: expected a number");
}

}  // namespace
}  // namespace quorvane::web
