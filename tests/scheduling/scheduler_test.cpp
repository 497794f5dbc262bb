#include "scheduling/scheduler.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <set>

#include <gtest/gtest.h>

#include "audio/journal_sink.h"
#include "model/record.h"
#include "scheduling/active_timetable.h"
#include "support/fake_time_source.h"
#include "support/log_capture.h"
#include "support/scoped_env.h"
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
        SchedulerSteps steps{[this] { ++heartbeats; }, [this](const struct_time& r) { seconds.push_back(r); }, [this] { ++saves; }};
        steps.clockSetBack = [this](const struct_time& to, int64_t by) { setBacks.emplace_back(to, by); };
        return steps;
    }
    int heartbeats = 0, saves = 0;
    std::vector<struct_time> seconds;
    std::vector<std::pair<struct_time, int64_t>> setBacks;
};

// The process's time zone for the life of the object; the readings of the tests come from it.
class ZoneForTest {
public:
    explicit ZoneForTest(const char* zone) {
        _zone.emplace("TZ", zone);
        tzset();
    }
    ~ZoneForTest() {
        _zone.reset();
        tzset();
    }

private:
    std::optional<testing::ScopedEnv> _zone;
};

// The local reading of a moment given in UTC.
struct_time localAt(int64_t moment) { return localStructTime(std::chrono::system_clock::from_time_t(static_cast<std::time_t>(moment))); }
int64_t utcSeconds(int year, int month, int day, int hour, int minute, int second) {
    return wallSeconds(reading(year, month, day, hour, minute, second));
}

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

TEST_F(SchedulerTest, ClockSetForwardSkipsAndSetBackProcessesOnlyWhatHasNotPassed) {
    Recorder recorder;
    Scheduler scheduler(recorder.steps());
    _time->push(reading(2024, 3, 31, 1, 59, 59));
    scheduler.runPass();
    _time->push(reading(2024, 3, 31, 3, 0, 0));  // an hour forward
    scheduler.runPass();
    EXPECT_EQ(recorder.seconds.size(), 2u);
    _time->push(reading(2024, 3, 31, 2, 59, 59));  // set back an hour: the skipped hour comes after all
    scheduler.runPass();
    _time->push(reading(2024, 3, 31, 3, 0, 0));  // this second has passed already
    scheduler.runPass();
    _time->push(reading(2024, 3, 31, 3, 0, 1));
    scheduler.runPass();
    ASSERT_EQ(recorder.seconds.size(), 4u);
    EXPECT_EQ(recorder.seconds[2], reading(2024, 3, 31, 2, 59, 59));
    EXPECT_EQ(recorder.seconds[3], reading(2024, 3, 31, 3, 0, 1));
}

// The wall clock set back at 08:00:03 by a number of seconds, as time synchronisation does to a clock
// that ran fast.
class SchedulerSetBackTest : public SchedulerTest, public ::testing::WithParamInterface<int> {
protected:
    // Readings from 07:54:58 to 08:00:03, then the clock goes back by the parameter and runs to 08:00:10.
    void runAcrossTheStep(Scheduler& scheduler) {
        tick(scheduler, reading(2024, 9, 2, 7, 54, 58), 306);
        tick(scheduler, afterStep(), GetParam() + 8);
    }
    struct_time afterStep() const { return readingAfter(reading(2024, 9, 2, 8, 0, 3), -GetParam()); }
};

TEST_P(SchedulerSetBackTest, EverySecondIsProcessedOnceAndPassesGoOn) {
    testing::LogCapture log;
    Recorder recorder;
    Scheduler scheduler(recorder.steps());
    runAcrossTheStep(scheduler);
    std::set<int64_t> distinct;
    for (const struct_time& second : recorder.seconds) distinct.insert(wallSeconds(second));
    EXPECT_EQ(distinct.size(), recorder.seconds.size()) << "a second was processed twice";
    EXPECT_EQ(recorder.seconds.back(), reading(2024, 9, 2, 8, 0, 10)) << "the seconds after the step are processed";
    // 07:54:58 to 08:00:10, and the seconds before 07:54:58 that a long step back reaches.
    EXPECT_EQ(recorder.seconds.size(), static_cast<size_t>(313 + std::max(0, GetParam() - 305)));
    EXPECT_EQ(recorder.saves, 306 + GetParam() + 8) << "every reading made a pass";
    EXPECT_EQ(log.text(), "The clock was set back by " + std::to_string(GetParam()) + " s\n");
    ASSERT_EQ(recorder.setBacks.size(), 1u);
    EXPECT_EQ(recorder.setBacks[0].first, afterStep());
    EXPECT_EQ(recorder.setBacks[0].second, GetParam());
}

INSTANTIATE_TEST_SUITE_P(BackBy, SchedulerSetBackTest, ::testing::Values(1, 33, 3600));

TEST_F(SchedulerTest, AStepBackOverMidnightFindsYesterdaysSecondsPassed) {
    Recorder recorder;
    Scheduler scheduler(recorder.steps());
    tick(scheduler, reading(2024, 9, 2, 23, 59, 50), 20);  // into 2024-09-03 00:00:09
    tick(scheduler, reading(2024, 9, 2, 23, 59, 55), 20);  // back 15 s, to 00:00:14
    ASSERT_EQ(recorder.seconds.size(), 25u);
    EXPECT_EQ(recorder.seconds[20], reading(2024, 9, 3, 0, 0, 10));
    tick(scheduler, reading(2024, 8, 20, 8, 0, 0), 1);  // back to another day: it starts afresh
    EXPECT_EQ(recorder.seconds.back(), reading(2024, 8, 20, 8, 0, 0));
}

TEST_F(SchedulerTest, AnErrorInAStepIsLoggedAndTheLoopGoesOn) {
    testing::LogCapture log;
    int processed = 0;
    Scheduler scheduler({{},
                         [&](const struct_time&) {
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
        _previousSink = setJournalSink([this](JournalEntry entry) { journaled.push_back(std::move(entry)); });
        StateLock lock;
        db.edit(lock).loadFactoryDefault();
        db.edit(lock).settings.dailyPreferences._lastDay = 246;  // 2024-09-02
    }
    void TearDown() override {
        setJournalSink(_previousSink);
        SchedulerTest::TearDown();
    }
    // A timetable chosen for the day of the reading, with one lesson from 02:30 to 03:00: melody, ping.
    static void chooseNightLessonFor(const struct_time& day) {
        StateLock lock;
        TimeTable night;
        night.chA.lessons = {Lesson::decode("02:30 - 03:00")};
        night.chA.startOfClass.id = "ID_melody";
        night.chA.endOfClass.id = "ID_ping";
        db.edit(lock).timetables.add(night, "night");
        db.edit(lock).settings.dailyPreferences.selectedTimetableId = "night";
        db.edit(lock).settings.dailyPreferences._lastDay = day.tm_yday;
    }
    // One pass for each real second from one UTC moment up to another, read in the local zone.
    void tickReal(Scheduler& scheduler, int64_t from, int64_t to) {
        for (int64_t moment = from; moment <= to; ++moment) {
            _time->push(localAt(moment));
            scheduler.runPass();
        }
    }
    SchedulerSteps steps() {
        SchedulerSteps steps = defaultSchedulerSteps([this](const StateLock& lock, const PlayDesc& d) {
            if (!db.view(lock).signals.contains(d.id)) throw KeyError("id not found");
            played.push_back(d.id);
        });
        steps.saveStoredRecords = [] {};
        steps.phoneHome = [] {};  // a heartbeat thread left running would outlive the test
        return steps;
    }
    std::vector<std::string> played;
    std::vector<JournalEntry> journaled;
    JournalSink _previousSink;
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

TEST_F(SchedulerWithRecordsTest, ClockSetBackDoesNotRingAgain) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 8, 0, 0), 1);
    tick(scheduler, reading(2024, 9, 2, 7, 0, 0), 1);
    tick(scheduler, reading(2024, 9, 2, 8, 0, 0), 1);
    EXPECT_EQ(played, std::vector<std::string>{"ID_melody"});
}

class SchedulerWithRecordsSetBackTest : public SchedulerWithRecordsTest, public ::testing::WithParamInterface<int> {};

TEST_P(SchedulerWithRecordsSetBackTest, EachBellRingsOnceAndTheStepIsJournaled) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 7, 54, 58), 303);  // the ping at 07:55, the melody at 08:00
    // Set back just after the melody: the next reading is that much earlier, and 08:00:00 comes again.
    const struct_time afterStep = readingAfter(reading(2024, 9, 2, 8, 0, 0), -GetParam());
    tick(scheduler, afterStep, GetParam() + 5);
    EXPECT_EQ(played, (std::vector<std::string>{"ID_ping", "ID_melody"}));
    ASSERT_EQ(journaled.size(), 1u);
    const JournalEntry& note = journaled[0];
    EXPECT_EQ(note.due, journalMoment(afterStep));
    EXPECT_EQ(note.kind, PlayKind::CLOCK_STEP);
    EXPECT_EQ(note.outcome, PlayOutcome::NOTE);
    EXPECT_EQ(note.reason, OutcomeReason::SET_BACK);
    EXPECT_EQ(note.code, GetParam());
    EXPECT_EQ(note.detail, "The clock was set back by " + std::to_string(GetParam()) + " s");
    const Json json = to_dict(note);
    EXPECT_EQ(json["kind"], "clockStep");
    EXPECT_EQ(json["outcome"], "note");
    EXPECT_EQ(json["reason"], "setBack");
    JournalSummary summary;
    summary.count(note);
    EXPECT_EQ(to_json(summary), to_json(JournalSummary{})) << "a note is no bell";
}

INSTANTIATE_TEST_SUITE_P(BackBy, SchedulerWithRecordsSetBackTest, ::testing::Values(1, 33, 3600));

TEST_F(SchedulerWithRecordsTest, AJumpForwardAfterASetBackMissesOnlyTheBellsThatDidNotRing) {
    Scheduler scheduler(steps());
    tick(scheduler, reading(2024, 9, 2, 7, 59, 58), 6);  // the melody at 08:00:00 rings
    tick(scheduler, reading(2024, 9, 2, 7, 0, 4), 1);    // an hour back
    tick(scheduler, reading(2024, 9, 2, 8, 0, 30), 1);   // and forward again, over 07:55 and 08:00
    EXPECT_EQ(played, std::vector<std::string>{"ID_melody"});
    ASSERT_EQ(journaled.size(), 2u);
    EXPECT_EQ(journaled[0].kind, PlayKind::CLOCK_STEP);
    EXPECT_EQ(journaled[1].due, "2024-09-02T07:55:00");
    EXPECT_EQ(journaled[1].reason, OutcomeReason::SKIPPED);
}

TEST_F(SchedulerWithRecordsTest, TheHourRepeatedInAutumnRingsItsBellsOnce) {
    const ZoneForTest zone("Europe/Budapest");
    testing::LogCapture log;
    chooseNightLessonFor(reading(2024, 10, 27, 0, 0, 0));  // summer time ends at 03:00, back to 02:00
    Scheduler scheduler(steps());
    // 02:29:58 summer time to 03:00:02 winter time: 02:30 comes twice, 03:00 once.
    tickReal(scheduler, utcSeconds(2024, 10, 27, 0, 29, 58), utcSeconds(2024, 10, 27, 2, 0, 2));
    EXPECT_EQ(getClock().tm_hour, 3);
    EXPECT_EQ(played, (std::vector<std::string>{"ID_melody", "ID_ping"}));
    EXPECT_FALSE(log.contains("set back")) << "summer time ending is no clock step";
    EXPECT_TRUE(journaled.empty());
}

TEST_F(SchedulerWithRecordsTest, TheHourSkippedInSpringJournalsItsBellsAsSkipped) {
    const ZoneForTest zone("Europe/Budapest");
    chooseNightLessonFor(reading(2024, 3, 31, 0, 0, 0));  // summer time starts at 02:00, on to 03:00
    Scheduler scheduler(steps());
    tickReal(scheduler, utcSeconds(2024, 3, 31, 0, 59, 58), utcSeconds(2024, 3, 31, 1, 0, 2));
    EXPECT_EQ(played, std::vector<std::string>{"ID_ping"}) << "03:00 rings; 02:30 never came";
    ASSERT_EQ(journaled.size(), 1u);
    EXPECT_EQ(journaled[0].due, "2024-03-31T02:30:00");
    EXPECT_EQ(journaled[0].outcome, PlayOutcome::MISSED);
    EXPECT_EQ(journaled[0].reason, OutcomeReason::SKIPPED);
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
