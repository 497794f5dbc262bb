#include "scheduling/next_bell.h"

#include <gtest/gtest.h>

#include "support/timetable_fixture.h"

namespace quorvane {
namespace {

using testing::desc;
using testing::reading;

class NextBellTest : public testing::TimetableFixture {
protected:
    std::string statusAt(const struct_time& at) {
        StateLock lock;
        return nextBellStatus(lock, at);
    }
};

TEST_F(NextBellTest, NamesTheNextEventOfChannelAInTimeOrder) {
    EXPECT_EQ(statusAt(monday(6, 0)), "Next bell 07:55, Lesson 1 pre-start");
    EXPECT_EQ(statusAt(monday(7, 55)), "Next bell 08:00, Lesson 1 start") << "a bell ringing now is not next";
    EXPECT_EQ(statusAt(monday(8, 1)), "Next bell 08:40, Lesson 1 pre-end") << "on a tie the first event as listed";
    EXPECT_EQ(statusAt(monday(8, 44, 59)), "Next bell 08:45, Lesson 1 end");
    EXPECT_EQ(statusAt(monday(8, 45)), "Next bell 09:25, Lesson 2 pre-end");
    EXPECT_EQ(statusAt(monday(9, 29)), "Next bell 09:30, Lesson 2 end");
    EXPECT_EQ(statusAt(monday(9, 30)), "No more bells today") << "channel B at 10:00 never rings";
}

TEST_F(NextBellTest, SignalsThatPlayNothingArePassedOver) {
    edit([](DB& database) {
        SignalTable& ch = database.timetables.find("main")->chA;
        ch.preStart.id = NULL_ID;
        ch.startOfClass.id = NULL_ID;
    });
    EXPECT_EQ(statusAt(monday(6, 0)), "Next bell 08:40, Lesson 1 pre-end");
}

TEST_F(NextBellTest, ExtraPlaysCountWithSecondsShown) {
    UserPlay extra;
    extra.desc = desc("extra");
    extra.slots = {TimeOfDay(7, 30, 15), TimeOfDay(12, 0)};
    edit([&](DB& database) { database.timetables.find("main")->customPlays.push_back(extra); });
    EXPECT_EQ(statusAt(monday(6, 0)), "Next bell 07:30:15, Extra play");
    EXPECT_EQ(statusAt(monday(10, 0)), "Next bell 12:00, Extra play");
}

TEST_F(NextBellTest, DaysWithoutBells) {
    const struct_time saturday = reading(2024, 9, 7, 6, 0, 0);
    EXPECT_EQ(statusAt(saturday), "No bells today") << "Monday-to-Friday week";
    edit([](DB& database) { database.settings.dailyPreferences.selectedTimetableId = "main"; });
    EXPECT_EQ(statusAt(saturday), "Next bell 07:55, Lesson 1 pre-start") << "the day's own choice rings";
    edit([](DB& database) { database.settings.dailyPreferences.selectedTimetableId = "deleted"; });
    EXPECT_EQ(statusAt(monday(6, 0)), "No bells today") << "a chosen timetable that no longer exists";
    edit([](DB& database) { database.settings.schedulerEnable = false; });
    EXPECT_EQ(statusAt(monday(6, 0)), "Scheduler off");
}

}  // namespace
}  // namespace quorvane
