#include "scheduling/active_timetable.h"

#include <gtest/gtest.h>

#include "support/timetable_fixture.h"

namespace quorvane {
namespace {

using testing::desc;
using testing::reading;

class ActiveTimetableTest : public testing::TimetableFixture {
protected:
    TimetableInfo info(const struct_time& at) {
        StateLock lock;
        return activeTimetableInfoAt(lock, at);
    }
    std::vector<std::string> firedAt(const struct_time& at) {
        std::vector<std::string> fired;
        StateLock lock;
        triggerScheduledSoundsAt(lock, at, [&](const StateLock&, const PlayDesc& d) { fired.push_back(d.id); });
        return fired;
    }
};

TEST_F(ActiveTimetableTest, WorkdayUsesTheDefaultTimetable) {
    const TimetableInfo active = info(monday(7, 0));
    EXPECT_EQ(active.id, "main");
    EXPECT_EQ(active.source, TimetableSource::NORMAL);
    EXPECT_EQ(active.date, "2024-09-02");
    EXPECT_EQ(active.dayOfWeek, 0);
    EXPECT_EQ(active.typeOfDay, TypeOfDay::WORKDAY);
    EXPECT_EQ(to_json(active), R"({"id": "main", "source": "NORMAL", "date": "2024-09-02", "dayOfWeek": 0, "typeOfDay": "WORKDAY"})");
}

TEST_F(ActiveTimetableTest, HolidayWithoutChoiceHasNoTimetable) {
    edit([](DB&) {});
    {
        StateLock lock;
        CalendarRegion hu;
        hu.holidays = {"2024-09-02"};
        cache.edit(lock).calendarRegions.set("hu", hu);
    }
    const TimetableInfo active = info(monday(8, 0));
    EXPECT_EQ(active.id, "NULL");
    EXPECT_EQ(active.source, TimetableSource::NORMAL);
    EXPECT_EQ(active.typeOfDay, TypeOfDay::HOLIDAY);
    EXPECT_TRUE(firedAt(monday(8, 0)).empty());
}

TEST_F(ActiveTimetableTest, DisabledSchedulerIgnoresTheDailyChoice) {
    edit([](DB& db) {
        db.settings.schedulerEnable = false;
        db.settings.dailyPreferences.selectedTimetableId = "other";
    });
    const TimetableInfo active = info(monday(8, 0));
    EXPECT_EQ(active.id, "NULL");
    EXPECT_EQ(active.source, TimetableSource::DISABLED);
    EXPECT_TRUE(firedAt(monday(8, 0)).empty());
}

TEST_F(ActiveTimetableTest, DailyChoiceAppliesOnADayOff) {
    edit([](DB& db) { db.settings.dailyPreferences.selectedTimetableId = "main"; });
    const struct_time sunday = reading(2024, 9, 8, 8, 0, 0);
    const TimetableInfo active = info(sunday);
    EXPECT_EQ(active.id, "main");
    EXPECT_EQ(active.source, TimetableSource::DAILY_OVERRIDE);
    EXPECT_EQ(active.typeOfDay, TypeOfDay::NON_WORKDAY);
    EXPECT_EQ(firedAt(sunday), std::vector<std::string>{"start"});
}

TEST_F(ActiveTimetableTest, DailyChoiceEqualToTheDefaultStaysNormal) {
    edit([](DB& db) { db.settings.dailyPreferences.selectedTimetableId = "main"; });
    EXPECT_EQ(info(monday(8, 0)).source, TimetableSource::NORMAL);
    edit([](DB& db) { db.settings.dailyPreferences.selectedTimetableId = "other"; });
    EXPECT_EQ(info(monday(8, 0)).source, TimetableSource::DAILY_OVERRIDE);
    EXPECT_EQ(info(monday(8, 0)).id, "other");
}

TEST_F(ActiveTimetableTest, FiresEachTestInOrder) {
    EXPECT_EQ(firedAt(monday(7, 55)), std::vector<std::string>{"preStart"});
    EXPECT_EQ(firedAt(monday(8, 0)), std::vector<std::string>{"start"});
    // Lesson order first: the pre-end of the first lesson, then the pre-start of the second.
    EXPECT_EQ(firedAt(monday(8, 40)), (std::vector<std::string>{"preEnd", "preStart"}));
    // The end of one lesson is the start of the next: end first, then start.
    EXPECT_EQ(firedAt(monday(8, 45)), (std::vector<std::string>{"end", "start"}));
    EXPECT_EQ(firedAt(monday(9, 25)), std::vector<std::string>{"preEnd"});
    EXPECT_EQ(firedAt(monday(9, 30)), std::vector<std::string>{"end"});
    EXPECT_TRUE(firedAt(monday(8, 0, 1)).empty()) << "only the exact second rings";
}

TEST_F(ActiveTimetableTest, ChannelBNeverRings) { EXPECT_TRUE(firedAt(monday(10, 0)).empty()); }

TEST_F(ActiveTimetableTest, PreStartOfZeroMinutesRingsAfterTheStart) {
    edit([](DB& db) { db.timetables.find("main")->chA.preStartWaitMin = 0; });
    EXPECT_EQ(firedAt(monday(8, 0)), (std::vector<std::string>{"start", "preStart"}));
}

TEST_F(ActiveTimetableTest, PreStartWrapsBackOverMidnight) {
    edit([](DB& db) {
        db.timetables.find("main")->chA.lessons = {Lesson::decode("00:03 - 00:40")};
        db.settings.dailyPreferences.selectedTimetableId = "main";
    });
    EXPECT_EQ(firedAt(reading(2024, 9, 7, 23, 58, 0)), std::vector<std::string>{"preStart"});
}

TEST_F(ActiveTimetableTest, DuplicatesRingEveryTime) {
    edit([](DB& db) {
        TimeTable& main = *db.timetables.find("main");
        main.chA.lessons.push_back(Lesson::decode("08:00 - 08:30"));
        UserPlay extra;
        extra.desc = desc("extra");
        extra.slots = {TimeOfDay(12, 0, 30), TimeOfDay(12, 0, 30)};
        main.customPlays.push_back(extra);
    });
    EXPECT_EQ(firedAt(monday(8, 0)), (std::vector<std::string>{"start", "start"}));
    EXPECT_EQ(firedAt(monday(12, 0, 30)), (std::vector<std::string>{"extra", "extra"}));
}

TEST_F(ActiveTimetableTest, AFailingRequestDoesNotSilenceTheRest) {
    std::vector<std::string> fired;
    StateLock lock;
    triggerScheduledSoundsAt(lock, monday(8, 45), [&](const StateLock&, const PlayDesc& d) {
        if (d.id == "end") throw KeyError("id not found");
        fired.push_back(d.id);
    });
    EXPECT_EQ(fired, std::vector<std::string>{"start"});
}

TEST_F(ActiveTimetableTest, MissingTimetableRingsNothing) {
    edit([](DB& db) { db.settings.defaultTimetableId = "deleted"; });
    EXPECT_EQ(info(monday(8, 0)).id, "deleted");
    EXPECT_TRUE(firedAt(monday(8, 0)).empty());
}

}  // namespace
}  // namespace quorvane
