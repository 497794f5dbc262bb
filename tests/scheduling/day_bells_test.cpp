#include "scheduling/day_bells.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

PlayDesc signal(const std::string& id) {
    PlayDesc desc;
    desc.id = id;
    return desc;
}

std::vector<std::string> describe(const std::vector<ScheduledBell>& bells) {
    std::vector<std::string> texts;
    for (const ScheduledBell& bell : bells) texts.push_back(bell.time.asString() + " " + enumText(bell.kind) + " " + bell.desc.id);
    return texts;
}

TEST(DayBells, ChannelAAndTheExtraPlaysInTimeOrder) {
    TimeTable table;
    table.chA.lessons = {Lesson::decode("08:00 - 08:45"), Lesson::decode("09:00 - 09:45")};
    table.chA.preStartWaitMin = 5;
    table.chA.preEndWaitMin = 1;
    table.chA.startOfClass = signal("start");
    table.chA.endOfClass = signal("end");
    table.chA.preStart = signal("pre");
    table.chA.preEnd = signal("preEnd");
    table.chB.lessons = {Lesson::decode("07:00 - 07:30")};
    table.customPlays = {UserPlay{signal("extra"), {TimeOfDay(12, 0), TimeOfDay(8, 0)}}};
    EXPECT_EQ(describe(bellsOf(table)),
              (std::vector<std::string>{"07:55 preStart pre", "08:00 lessonStart start", "08:00 extraPlay extra", "08:44 preEnd preEnd",
                                        "08:45 lessonEnd end", "08:55 preStart pre", "09:00 lessonStart start", "09:44 preEnd preEnd",
                                        "09:45 lessonEnd end", "12:00 extraPlay extra"}))
        << "channel B never rings; a bell of the same second keeps the order in which it rings";
    const std::vector<ScheduledBell> bells = bellsOf(table);
    EXPECT_EQ(bells[2].extra, 0);
    EXPECT_EQ(bells[2].slot, 1);
    EXPECT_EQ(bells[6].lesson, 1);
}

TEST(DayBells, APreSignalBeforeMidnightWrapsToTheEndOfTheDay) {
    TimeTable table;
    table.chA.lessons = {Lesson::decode("00:03 - 00:30")};
    table.chA.preStartWaitMin = 5;
    const std::vector<ScheduledBell> bells = bellsOf(table);
    ASSERT_EQ(bells.size(), 4u);
    EXPECT_EQ(bells.back().time, TimeOfDay(23, 58));
    EXPECT_EQ(bells.back().kind, BellKind::PRE_START);
}

}  // namespace
}  // namespace quorvane
