#include "scheduling/scheduler.h"

#include <gtest/gtest.h>

#include "scheduling/active_timetable.h"
#include "support/fake_time_source.h"
#include "support/log_capture.h"
#include "support/stored_records_reset.h"

namespace quorvane {
namespace {

using testing::FakeTimeSource;
using testing::reading;

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        _previous = setTimeSource(_time);
        testing::resetStoredRecords();
    }
    void TearDown() override { setTimeSource(_previous); }

    // Readings every second from a start, one pass each.
    void tick(Scheduler& scheduler, struct_time from, int seconds) {
        for (int i = 0; i < seconds; ++i) {
            _time->push(readingAfter(from, i));
            scheduler.runPass();
        }
    }
    static struct_time readingAfter(const struct_time& from, int seconds) {
        return reading(from.tm_year, from.tm_mon, from.tm_mday, from.tm_hour, from.tm_min, from.tm_sec + seconds);
    }

    std::shared_ptr<FakeTimeSource> _time = std::make_shared<FakeTimeSource>();
    std::shared_ptr<TimeSource> _previous;
};

struct Recorder {
    SchedulerSteps steps() {
        return {[this] { ++heartbeats; }, [this](const struct_time& r) { seconds.push_back(r); }, [this] { ++saves; }};
    }
    int heartbeats = 0, saves = 0;
    std::vector<struct_time> seconds;
};

TEST_F(SchedulerTest, FirstPassCountsAndRepeatedReadingsDoNot) {
    Recorder recorder;
    Scheduler scheduler(recorder.steps());
    _time->push(reading(2024, 9, 2, 8, 0, 0));
    scheduler.runPass();
    scheduler.runPass();
    scheduler.runPass();
    EXPECT_EQ(scheduler.secCounter(), 1);
    ASSERT_EQ(recorder.seconds.size(), 1u);
    EXPECT_EQ(recorder.seconds[0].tm_hour, 8);
    EXPECT_EQ(recorder.saves, 3) << "the saves run on every pass";
    EXPECT_EQ(getClock(), reading(2024, 9, 2, 8, 0, 0));
}

TEST_F(SchedulerTest, HeartbeatOnTheFifthCountedPassThenEveryThirtyHours) {
    Recorder recorder;
    Scheduler scheduler(recorder.steps());
    const struct_time start = reading(2024, 9, 2, 0, 0, 0);
    tick(scheduler, start, 4);
    EXPECT_EQ(recorder.heartbeats, 0);
    tick(scheduler, readingAfter(start, 4), 1);
    EXPECT_EQ(recorder.heartbeats, 1);
    tick(scheduler, readingAfter(start, 5), 108004 - 5);
    EXPECT_EQ(recorder.heartbeats, 1) << "not again before the 108005th counted pass";
    tick(scheduler, readingAfter(start, 108004), 1);
    EXPECT_EQ(scheduler.secCounter(), 108005);
    EXPECT_EQ(recorder.heartbeats, 2);
}

TEST_F(SchedulerTest, StallOfAFewSecondsProcessesTheSkippedSeconds) {
    Recorder recorder;
    Scheduler scheduler(recorder.steps());
    _time->push(reading(2024, 9, 2, 7, 59, 58));
    scheduler.runPass();
    _time->push(reading(2024, 9, 2, 8, 0, 1));  // the pass stalled for three seconds
    scheduler.runPass();
    ASSERT_EQ(recorder.seconds.size(), 4u);
    EXPECT_EQ(recorder.seconds[1], reading(2024, 9, 2, 7, 59, 59));
    EXPECT_EQ(recorder.seconds[2], reading(2024, 9, 2, 8, 0, 0));
    EXPECT_EQ(recorder.seconds[3], reading(2024, 9, 2, 8, 0, 1));
}

TEST_F(SchedulerTest, ClockSetForwardSkipsAndSetBackRepeats) {
    Recorder recorder;
    Scheduler scheduler(recorder.steps());
    _time->push(reading(2024, 3, 31, 1, 59, 59));
    scheduler.runPass();
    _time->push(reading(2024, 3, 31, 3, 0, 0));  // summer time: an hour forward
    scheduler.runPass();
    EXPECT_EQ(recorder.seconds.size(), 2u);
    _time->push(reading(2024, 3, 31, 2, 59, 59));  // set back an hour: the hour comes again
    scheduler.runPass();
    _time->push(reading(2024, 3, 31, 3, 0, 0));
    scheduler.runPass();
    EXPECT_EQ(recorder.seconds.size(), 4u);
    EXPECT_EQ(recorder.seconds.back(), reading(2024, 3, 31, 3, 0, 0));
}

TEST_F(SchedulerTest, AnErrorInAStepIsLoggedAndTheLoopGoesOn) {
    testing::LogCapture log;
    int processed = 0;
    Scheduler scheduler({{}, [&](const struct_time&) {
                             if (++processed == 1) throw std::runtime_error("disk on fire");
                         },
                         [] { throw std::runtime_error("cannot save"); }});
    tick(scheduler, reading(2024, 9, 2, 8, 0, 0), 3);
    EXPECT_EQ(processed, 3);
    EXPECT_TRUE(log.contains("Scheduler thread error: disk on fire\n"));
    EXPECT_TRUE(log.contains("Scheduler thread error: cannot save\n"));
}

// The real steps, with a recorder in place of the sound.
class SchedulerWithRecordsTest : public SchedulerTest {
protected:
    void SetUp() override {
        SchedulerTest::SetUp();
        StateLock lock;
        db.edit(lock).loadFactoryDefault();
        db.edit(lock).settings.dailyPreferences._lastDay = 246;  // 2024-09-02
    }
    SchedulerSteps steps() {
        SchedulerSteps steps = defaultSchedulerSteps([this](const StateLock& lock, const PlayDesc& d) {
            if (!db.view(lock).signals.contains(d.id)) throw KeyError("id not found");
            played.push_back(d.id);
        });
        steps.saveStoredRecords = [] {};
        return steps;
    }
    std::vector<std::string> played;
};

TEST_F(SchedulerWithRecordsTest, FactoryTimetableRingsOnAMondayMorning) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 7, 54, 58), 5);  // 07:54:58 ... 07:55:02
    EXPECT_EQ(played, std::vector<std::string>{"ID_ping"});
    tick(scheduler, reading(2024, 9, 2, 7, 59, 59), 2);
    EXPECT_EQ(played, (std::vector<std::string>{"ID_ping", "ID_melody"}));
}

TEST_F(SchedulerWithRecordsTest, SundayIsSilent) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 8, 7, 59, 58), 4);
    EXPECT_TRUE(played.empty());
}

TEST_F(SchedulerWithRecordsTest, NewDayClearsTheChoiceBeforeItsFirstSecondRings) {
    {
        StateLock lock;
        TimeTable night;
        night.chA.lessons = {Lesson::decode("00:00 - 00:45")};
        night.chA.startOfClass.id = "ID_ring";
        db.edit(lock).timetables.add(night, "night");
        db.edit(lock).settings.dailyPreferences.selectedTimetableId = "night";
        db.edit(lock).settings.dailyPreferences._lastDay = 251;  // 2024-09-07, a Saturday
    }
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 7, 23, 59, 59), 2);  // into Sunday 00:00:00
    EXPECT_TRUE(played.empty()) << "the choice of yesterday must not ring today";
    StateLock lock;
    EXPECT_FALSE(db.view(lock).settings.dailyPreferences.selectedTimetableId.has_value());
    EXPECT_EQ(db.view(lock).settings.dailyPreferences._lastDay, 252);
}

TEST_F(SchedulerWithRecordsTest, ClockSetBackRingsAgain) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 8, 0, 0), 1);
    tick(scheduler, reading(2024, 9, 2, 7, 0, 0), 1);
    tick(scheduler, reading(2024, 9, 2, 8, 0, 0), 1);
    EXPECT_EQ(played, (std::vector<std::string>{"ID_melody", "ID_melody"}));
}

TEST_F(SchedulerWithRecordsTest, JumpOfAnHourRingsNothingInBetween) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 7, 30, 0), 1);
    tick(scheduler, reading(2024, 9, 2, 8, 30, 0), 1);
    EXPECT_TRUE(played.empty());
}

TEST_F(SchedulerWithRecordsTest, DeletedSignalNoLongerStopsTheBells) {
    testing::LogCapture log;
    {
        StateLock lock;
        db.edit(lock).signals.remove("ID_ping");
    }
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 7, 55, 0), 1);
    EXPECT_TRUE(log.contains("Scheduler thread error: 'id not found'"));
    tick(scheduler, reading(2024, 9, 2, 8, 0, 0), 1);
    EXPECT_EQ(played, std::vector<std::string>{"ID_melody"});
}

TEST_F(SchedulerWithRecordsTest, AStallFiresTheSkippedBellLate) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 7, 59, 58), 1);
    tick(scheduler, reading(2024, 9, 2, 8, 0, 1), 1);
    EXPECT_EQ(played, std::vector<std::string>{"ID_melody"});
}

}  // namespace
}  // namespace quorvane
