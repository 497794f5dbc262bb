// The bell journal through the real scheduler on the test clock: real playback threads and the real
// child-process player, with stub mpg123 scripts that succeed, fail with status 3, or play until
// stopped; the journal written by a real writer into a temporary folder.
#include <cstdlib>

#include <gtest/gtest.h>

#include "audio/alarm.h"
#include "audio/playback_doubles.h"
#include "audio/player.h"
#include "scheduling/bell_journal.h"
#include "scheduling/scheduler.h"
#include "storage/journal_files.h"
#include "support/fake_time_source.h"
#include "support/stored_records_reset.h"
#include "support/test_layout.h"

namespace quorvane {
namespace {

using testing::readFile;
using testing::reading;
using testing::waitUntil;
using testing::writeFile;

const std::string DAY = "2024-09-02";  // a Monday
constexpr int64_t MONDAY = 246;        // its day of the year

class JournalThroughScheduler : public ::testing::Test {
protected:
    void SetUp() override {
        _previousSource = setTimeSource(_time);
        _previousPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        std::filesystem::create_directories(layout.root() / "bin");
        // "fail" files end the player with status 3, "long" ones play until stopped.
        const std::string trace = (layout.root() / "trace").string();
        writeFile(
            layout.root() / "bin" / "mpg123",
            "#!/bin/sh\necho \"$1\" >> '" + trace + "'\ncase \"$1\" in *fail*) exit 3;; *long*) exec sleep 30 </dev/null >/dev/null 2>&1;; esac\n");
        std::filesystem::permissions(layout.root() / "bin" / "mpg123", std::filesystem::perms::owner_all);
        setenv("PATH", ((layout.root() / "bin").string() + ":" + _previousPath).c_str(), 1);
        for (const char* name : {"bell.mp3", "fail.mp3", "long.mp3"}) writeFile(layout.assets() / name, "sound");

        testing::resetStoredRecords();
        StateLock lock;
        DB& database = db.edit(lock);
        for (const auto& [id, file] : {std::pair{"ID_bell", "bell.mp3"}, {"ID_fail", "fail.mp3"}, {"ID_long", "long.mp3"}, {"ID_gone", "gone.mp3"}})
            database.signals.add(AudioAsset{std::string("signal ") + file, file, 1, StorageCategory::ASSET, MyDateTime()}, id);
        TimeTable table;
        table.name = "Weekdays";
        table.chA.lessons = {Lesson::decode("08:00 - 08:45")};
        table.chA.startOfClass.id = "ID_bell";
        table.chA.endOfClass.id = "ID_bell";
        database.timetables.add(table, "week");
        database.settings.defaultTimetableId = "week";
        database.settings.dailyPreferences._lastDay = MONDAY;
        database.settings.alarmSignalId = "ID_bell";
        openJournal(writer);
    }
    void TearDown() override {
        Alarm::switchOff();
        Player::stopAll();
        EXPECT_TRUE(waitUntil([] { return !Player::hasRunningThreads(); }));
        openJournal(nullptr);
        setenv("PATH", _previousPath.c_str(), 1);
        setTimeSource(_previousSource);
    }

    // Extra plays of one signal at the given times.
    void addExtraPlay(const std::string& signal, std::vector<TimeOfDay> slots) {
        StateLock lock;
        UserPlay play;
        play.desc.id = signal;
        play.slots = std::move(slots);
        db.edit(lock).timetables.find("week")->customPlays.push_back(play);
    }
    static Scheduler makeScheduler() {
        SchedulerSteps steps = defaultSchedulerSteps();
        steps.saveStoredRecords = [] {};
        steps.phoneHome = [] {};
        return Scheduler(steps);
    }
    void pass(Scheduler& scheduler, const struct_time& at) {
        _time->push(at);
        scheduler.runPass();
    }
    // Every second from one reading to another, both included.
    void passEverySecond(Scheduler& scheduler, const struct_time& from, const struct_time& to) {
        for (int64_t s = wallSeconds(from); s <= wallSeconds(to); ++s) pass(scheduler, wallReading(s));
    }
    std::vector<JournalEntry> journalOf(const std::string& date) {
        EXPECT_TRUE(waitUntil([] { return !Player::hasRunningThreads(); })) << "a play did not end";
        writer->flush();
        return readJournalDay(journalFolder, date);
    }
    int playsOf(const std::string& file) const {
        const std::string text = trace();
        int count = 0;
        for (size_t at = text.find(file); at != std::string::npos; at = text.find(file, at + 1)) ++count;
        return count;
    }
    std::string trace() const { return std::filesystem::exists(layout.root() / "trace") ? readFile(layout.root() / "trace") : ""; }

    testing::TestLayout layout;
    std::filesystem::path journalFolder = layout.userData() / "journal";
    std::shared_ptr<JournalWriter> writer = std::make_shared<JournalWriter>(journalFolder);
    std::shared_ptr<testing::FakeTimeSource> _time = std::make_shared<testing::FakeTimeSource>();
    std::shared_ptr<TimeSource> _previousSource;
    std::string _previousPath;
};

TEST_F(JournalThroughScheduler, BellsThatRangAndFailedSayWhatHappened) {
    addExtraPlay("ID_gone", {TimeOfDay(8, 0, 1)});
    addExtraPlay("ID_fail", {TimeOfDay(8, 0, 2)});
    Scheduler scheduler = makeScheduler();
    passEverySecond(scheduler, reading(2024, 9, 2, 7, 59, 59), reading(2024, 9, 2, 8, 0, 2));

    const auto entries = journalOf(DAY);
    ASSERT_EQ(entries.size(), 3u);
    const JournalEntry& rang = entries[0];
    EXPECT_EQ(rang.due, "2024-09-02T08:00:00");
    EXPECT_EQ(rang.kind, PlayKind::LESSON_START);
    EXPECT_EQ(rang.outcome, PlayOutcome::RANG);
    EXPECT_EQ(rang.lesson, 0);
    EXPECT_EQ(rang.timetableId, "week");
    EXPECT_EQ(rang.timetableName, "Weekdays");
    EXPECT_EQ(rang.signalId, "ID_bell");
    EXPECT_EQ(rang.signalName, "signal bell.mp3");
    EXPECT_EQ(rang.plays, 1);
    EXPECT_EQ(rang.started.size(), 23u) << "the moment the player started, to the millisecond: " << rang.started;

    const JournalEntry& missingFile = entries[1];
    EXPECT_EQ(missingFile.kind, PlayKind::EXTRA_PLAY);
    EXPECT_EQ(missingFile.extra, 0);
    EXPECT_EQ(missingFile.slot, 0);
    EXPECT_EQ(missingFile.outcome, PlayOutcome::FAILED);
    EXPECT_EQ(missingFile.reason, OutcomeReason::FILE_MISSING);
    EXPECT_EQ(missingFile.detail, (layout.assets() / "gone.mp3").string());
    EXPECT_TRUE(missingFile.started.empty());

    const JournalEntry& exitStatus = entries[2];
    EXPECT_EQ(exitStatus.due, "2024-09-02T08:00:02");
    EXPECT_EQ(exitStatus.outcome, PlayOutcome::FAILED);
    EXPECT_EQ(exitStatus.reason, OutcomeReason::EXIT_STATUS);
    EXPECT_EQ(exitStatus.code, 3);
    EXPECT_EQ(exitStatus.detail, "The player exited with status 3");
}

TEST_F(JournalThroughScheduler, ASignalDeletedFromTheTableFailsItsBell) {
    {
        StateLock lock;
        db.edit(lock).signals.remove("ID_bell");
    }
    testing::LogCapture log;
    Scheduler scheduler = makeScheduler();
    pass(scheduler, reading(2024, 9, 2, 8, 0, 0));
    const auto entries = journalOf(DAY);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].outcome, PlayOutcome::FAILED);
    EXPECT_EQ(entries[0].reason, OutcomeReason::SIGNAL_MISSING);
}

TEST_F(JournalThroughScheduler, StopAllAndTheAlarmSwitchStopPlays) {
    addExtraPlay("ID_long", {TimeOfDay(8, 0, 1)});
    Scheduler scheduler = makeScheduler();
    pass(scheduler, reading(2024, 9, 2, 8, 0, 1));
    ASSERT_TRUE(waitUntil([this] { return trace().find("long.mp3") != std::string::npos; }));
    Player::stopAll();
    auto entries = journalOf(DAY);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].kind, PlayKind::EXTRA_PLAY);
    EXPECT_EQ(entries[0].outcome, PlayOutcome::STOPPED);
    EXPECT_EQ(entries[0].reason, OutcomeReason::STOP_ALL) << "the player was ended by our signal: a stop, not a failure";

    {
        StateLock lock;
        Alarm::toggle(lock);  // the alarm's stub ends at once, so the alarm plays again and again
    }
    ASSERT_TRUE(waitUntil([this] { return playsOf("bell.mp3") >= 2; }));
    {
        StateLock lock;
        Alarm::toggle(lock);
    }
    entries = journalOf(DAY);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].kind, PlayKind::ALARM);
    EXPECT_EQ(entries[1].outcome, PlayOutcome::STOPPED);
    EXPECT_EQ(entries[1].reason, OutcomeReason::ALARM_SWITCH);
    EXPECT_GE(entries[1].plays, 2);
    EXPECT_EQ(entries[1].signalId, "ID_bell");
}

TEST_F(JournalThroughScheduler, TheAlarmEndedByStopAllSaysSo) {
    {
        StateLock lock;
        db.edit(lock).settings.alarmSignalId = "ID_long";
        Alarm::toggle(lock);
    }
    ASSERT_TRUE(waitUntil([this] { return trace().find("long.mp3") != std::string::npos; }));
    Alarm::switchOff(OutcomeReason::STOP_ALL);
    Player::stopAll();
    const auto entries = journalOf(dateStringOf(getClock()));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].reason, OutcomeReason::STOP_ALL);
}

TEST_F(JournalThroughScheduler, ARestartJournalsTheSkippedBellsAsMissedAndRingsNoneLate) {
    addExtraPlay("ID_bell", {TimeOfDay(7, 59, 20), TimeOfDay(8, 5, 0)});
    {
        // The previous run: its last pass was recorded at 07:59:00, then it rang 07:59:20 and died at 07:59:30.
        Scheduler before = makeScheduler();
        passEverySecond(before, reading(2024, 9, 2, 7, 59, 0), reading(2024, 9, 2, 7, 59, 30));
        ASSERT_EQ(journalOf(DAY).size(), 1u);
        ASSERT_EQ(readLastPass(journalFolder), reading(2024, 9, 2, 7, 59, 0)) << "written at most once a minute";
    }
    writer = std::make_shared<JournalWriter>(journalFolder);
    openJournal(writer);
    const std::string rungBefore = trace();

    Scheduler after = makeScheduler();
    const struct_time restart = reading(2024, 9, 2, 8, 10, 0);
    const auto lastAlive = lastSignOfLife(journalFolder, restart);
    ASSERT_TRUE(lastAlive);
    EXPECT_EQ(*lastAlive, reading(2024, 9, 2, 7, 59, 20)) << "the journal knows better than the minute-old record";
    after.resumeAfter(*lastAlive);
    passEverySecond(after, restart, reading(2024, 9, 2, 8, 10, 2));

    const auto entries = journalOf(DAY);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].due, "2024-09-02T08:00:00");
    EXPECT_EQ(entries[1].kind, PlayKind::LESSON_START);
    EXPECT_EQ(entries[2].due, "2024-09-02T08:05:00");
    EXPECT_EQ(entries[2].kind, PlayKind::EXTRA_PLAY);
    for (const JournalEntry& missed : {entries[1], entries[2]}) {
        EXPECT_EQ(missed.outcome, PlayOutcome::MISSED);
        EXPECT_EQ(missed.reason, OutcomeReason::NOT_RUNNING);
        EXPECT_TRUE(missed.started.empty());
    }
    EXPECT_EQ(trace(), rungBefore) << "no missed bell rings late";
}

TEST_F(JournalThroughScheduler, TheSwitchedOffSchedulerMissesWhatItWouldHaveRung) {
    {
        StateLock lock;
        db.edit(lock).settings.schedulerEnable = false;
    }
    Scheduler scheduler = makeScheduler();
    passEverySecond(scheduler, reading(2024, 9, 2, 7, 59, 59), reading(2024, 9, 2, 8, 0, 1));
    pass(scheduler, reading(2024, 9, 2, 8, 46, 0));  // a jump past the lesson's end, also while off
    const auto entries = journalOf(DAY);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].kind, PlayKind::LESSON_START);
    EXPECT_EQ(entries[1].kind, PlayKind::LESSON_END);
    for (const JournalEntry& entry : entries) {
        EXPECT_EQ(entry.outcome, PlayOutcome::MISSED);
        EXPECT_EQ(entry.reason, OutcomeReason::SCHEDULER_OFF);
    }
    EXPECT_EQ(trace(), "");
}

TEST_F(JournalThroughScheduler, AJumpTooLongToCatchUpMissesTheBellsInBetween) {
    Scheduler scheduler = makeScheduler();
    pass(scheduler, reading(2024, 9, 2, 7, 59, 57));
    pass(scheduler, reading(2024, 9, 2, 8, 0, 3));  // six seconds: not caught up
    pass(scheduler, reading(2024, 9, 2, 8, 44, 58));
    pass(scheduler, reading(2024, 9, 2, 8, 45, 1));  // three seconds: caught up, the bell rings late
    const auto entries = journalOf(DAY);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].outcome, PlayOutcome::MISSED);
    EXPECT_EQ(entries[0].reason, OutcomeReason::SKIPPED);
    EXPECT_EQ(entries[1].outcome, PlayOutcome::RANG);
    EXPECT_EQ(entries[1].due, "2024-09-02T08:45:00");
}

TEST_F(JournalThroughScheduler, DaysPastAHundredAreRemovedAtTheDayChange) {
    for (const char* day : {"2024-05-24", "2024-05-25", "2024-05-26"}) writeFile(journalFolder / (std::string(day) + ".jsonl"), "");
    writeFile(journalFolder / "notes.txt", "not a day of the journal");
    Scheduler scheduler = makeScheduler();
    pass(scheduler, reading(2024, 9, 1, 23, 59, 59));
    writer->flush();
    EXPECT_FALSE(std::filesystem::exists(journalFolder / "2024-05-24.jsonl")) << "the first pass prunes too";
    EXPECT_TRUE(std::filesystem::exists(journalFolder / "2024-05-25.jsonl"));
    pass(scheduler, reading(2024, 9, 2, 0, 0, 0));
    writer->flush();
    EXPECT_FALSE(std::filesystem::exists(journalFolder / "2024-05-25.jsonl"));
    EXPECT_TRUE(std::filesystem::exists(journalFolder / "2024-05-26.jsonl")) << "today and the 99 days before it are kept";
    EXPECT_TRUE(std::filesystem::exists(journalFolder / "notes.txt"));
}

}  // namespace
}  // namespace quorvane
