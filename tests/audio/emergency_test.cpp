// The emergency routines: their sound with its sentence, the routine that outlives its sound, the all
// clear, the factory sound standing in for a lost signal, and what the journal keeps of each.
#include "audio/emergency.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/journal_sink.h"
#include "audio/signal_fixture.h"
#include "audio/spoken_sentence.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;

class EmergencyTest : public SignalFixture {
protected:
    EmergencyTest() {
        _previousSink = setJournalSink([this](JournalEntry entry) {
            std::lock_guard lock(_journalMutex);
            _journal.push_back(std::move(entry));
        });
    }
    ~EmergencyTest() override {
        Emergency::stop(OutcomeReason::SHUTDOWN);
        Player::stopAll();
        EXPECT_TRUE(waitUntil([] { return !Player::hasRunningThreads(); }));
        setJournalSink(_previousSink);
    }
    static void setRoutine(EmergencyRoutine EmergencyRoutines::*which, EmergencyRoutine value) {
        StateLock lock;
        db.edit(lock).settings.emergencyRoutines.*which = std::move(value);
    }
    RunningEmergency start(std::string_view name, bool drill) {
        StateLock lock;
        return Emergency::start(lock, name, drill);
    }
    std::vector<JournalEntry> journal() {
        std::lock_guard lock(_journalMutex);
        return _journal;
    }
    // "kind outcome reason routine drill" for each entry, in order.
    std::vector<std::string> journalLines() {
        std::vector<std::string> lines;
        for (const JournalEntry& entry : journal())
            lines.push_back(std::string(enumText(entry.kind)) + " " + enumText(entry.outcome) + " " + enumText(entry.reason) + " " + entry.routine +
                            (entry.drill ? " drill" : ""));
        return lines;
    }

private:
    std::mutex _journalMutex;
    std::vector<JournalEntry> _journal;
    JournalSink _previousSink;
};

TEST_F(EmergencyTest, ALockdownPlaysItsToneAndSentenceItsCountOfTimesAndRunsOnAfterItsSoundUntilStopped) {
    setRoutine(&EmergencyRoutines::lockdown, {"ID_user", 2, "Lockdown. Stay in your rooms."});
    const std::string sentence = spokenSentencePath("lockdown", "en", "Lockdown. Stay in your rooms.");
    writeFile(sentence, "RIFF");
    const RunningEmergency started = start("lockdown", true);
    EXPECT_EQ(started.routine, "lockdown");
    EXPECT_TRUE(started.drill);
    ASSERT_TRUE(waitUntil([] { return !Player::isPlaying(); }));
    EXPECT_THAT(playback.script->eventsNow(),
                ElementsAre("start " + userFile, "close", "start " + sentence, "close", "start " + userFile, "close", "start " + sentence, "close"));
    EXPECT_TRUE(Emergency::silencesBells()) << "the lockdown holds after its announcements";

    EXPECT_TRUE(Emergency::stop(OutcomeReason::EMERGENCY_STOP));
    EXPECT_FALSE(Emergency::running());
    EXPECT_FALSE(Emergency::stop(OutcomeReason::EMERGENCY_STOP)) << "nothing left to stop";
    EXPECT_THAT(journalLines(), ElementsAre("emergencyStart note  lockdown drill", "emergency rang  lockdown drill",
                                            "emergencyStop note emergencyStop lockdown drill"));
    EXPECT_EQ(journal()[1].plays, 2);
    EXPECT_EQ(journal()[0].signalName, "uploaded alarm");
}

TEST_F(EmergencyTest, TheAllClearEndsTheRunningRoutineAndItsEndlessSoundAndLeavesNothingRunning) {
    playback.script->ticksPerPlay = -1;
    setRoutine(&EmergencyRoutines::evacuation, {"ID_user", 0, ""});
    setRoutine(&EmergencyRoutines::allClear, {"ID_asset", 1, ""});
    start("evacuation", false);
    ASSERT_TRUE(waitUntil([&] { return playback.script->startsNow() == 1; }));
    EXPECT_EQ(Emergency::running()->routine, "evacuation");

    {
        std::lock_guard lock(playback.script->mutex);  // the evacuation's player reads the script meanwhile
        playback.script->ticksPerPlay = 2;
    }
    start("allClear", false);
    EXPECT_FALSE(Emergency::running()) << "the all clear lets the bells ring again";
    ASSERT_TRUE(waitUntil([] { return !Player::hasRunningThreads(); }));
    // The evacuation's thread sees its abort within a tick, maybe after the chime started.
    EXPECT_THAT(playback.script->eventsNow(), ::testing::UnorderedElementsAre("start " + userFile, "close aborted", "start " + assetFile, "close"));
    EXPECT_EQ(playback.script->eventsNow()[0], "start " + userFile);
    // The notes come in order; the two sounds are journaled when their threads end, at any point after.
    const auto lines = journalLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "emergencyStart note  evacuation");
    std::vector<std::string> notes, sounds;
    for (size_t i = 1; i < lines.size(); ++i) (lines[i].rfind("emergency ", 0) == 0 ? sounds : notes).push_back(lines[i]);
    EXPECT_THAT(notes, ElementsAre("emergencyStop note allClear evacuation", "emergencyStart note  allClear"));
    EXPECT_THAT(sounds, ::testing::UnorderedElementsAre("emergency stopped allClear evacuation", "emergency rang  allClear"));
}

TEST_F(EmergencyTest, AnotherRoutineTakesThePlaceOfTheOneRunningAndStopAllEndsIt) {
    playback.script->ticksPerPlay = -1;
    setRoutine(&EmergencyRoutines::lockdown, {"ID_user", 0, ""});
    setRoutine(&EmergencyRoutines::shelter, {"ID_user", 0, ""});
    start("lockdown", false);
    start("shelter", true);
    EXPECT_EQ(Emergency::running()->routine, "shelter");
    EXPECT_TRUE(Emergency::running()->drill);
    EXPECT_TRUE(Emergency::stop(OutcomeReason::STOP_ALL));
    ASSERT_TRUE(waitUntil([] { return !Player::hasRunningThreads(); }));
    const auto lines = journalLines();
    EXPECT_THAT(lines, ::testing::Contains("emergencyStop note routineChanged lockdown"));
    EXPECT_THAT(lines, ::testing::Contains("emergency stopped routineChanged lockdown"));
    EXPECT_THAT(lines, ::testing::Contains("emergencyStop note stopAll shelter drill"));
}

TEST_F(EmergencyTest, ALostSignalGivesWayToTheFactorySoundAndAMissingSentenceToTheToneAlone) {
    writeFile(layout.assets() / "e-lockdown.mp3", "factory lockdown");
    setRoutine(&EmergencyRoutines::lockdown, {"ID_deleted", 1, "Lockdown."});  // its sentence was never made here
    start("lockdown", false);
    ASSERT_TRUE(waitUntil([] { return !Player::isPlaying(); }));
    EXPECT_THAT(playback.script->eventsNow(), ElementsAre("start " + (layout.assets() / "e-lockdown.mp3").string(), "close"));
    EXPECT_EQ(journal()[0].signalId, "ID_lockdown");
    EXPECT_EQ(journal()[0].signalName, "lockdown");
    EXPECT_TRUE(log.contains("plays alone"));
}

TEST_F(EmergencyTest, AnUnknownRoutineStartsNothing) {
    EXPECT_THROW(start("fireDrill", false), std::invalid_argument);
    EXPECT_FALSE(Emergency::running());
    EXPECT_TRUE(journal().empty());
    EXPECT_EQ(playback.script->startsNow(), 0);
}

}  // namespace
}  // namespace quorvane::testing
