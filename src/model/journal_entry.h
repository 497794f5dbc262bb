#pragma once
// One line of the bell journal: a play and how it ended, or a bell that was due and did not ring.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "model/record.h"
#include "model/time_reading.h"

namespace quorvane {

// What was played. The first five are the scheduled bells of a timetable. The journal's and the clock's
// notes and an emergency routine's start and stop are notes, no plays; EMERGENCY is the routine's sound.
enum class PlayKind {
    LESSON_START,
    LESSON_END,
    PRE_START,
    PRE_END,
    EXTRA_PLAY,
    MANUAL_PLAY,
    ALARM,
    ANNOUNCEMENT,
    TEST,
    JOURNAL_FULL,
    CLOCK_STEP,
    EMERGENCY,
    EMERGENCY_START,
    EMERGENCY_STOP,
    ALERT  // a note of one attempt to send an alert
};
template <>
struct EnumTexts<PlayKind> {
    static constexpr std::pair<PlayKind, const char*> values[] = {{PlayKind::LESSON_START, "lessonStart"},
                                                                  {PlayKind::LESSON_END, "lessonEnd"},
                                                                  {PlayKind::PRE_START, "preStart"},
                                                                  {PlayKind::PRE_END, "preEnd"},
                                                                  {PlayKind::EXTRA_PLAY, "extraPlay"},
                                                                  {PlayKind::MANUAL_PLAY, "manualPlay"},
                                                                  {PlayKind::ALARM, "alarm"},
                                                                  {PlayKind::ANNOUNCEMENT, "announcement"},
                                                                  {PlayKind::TEST, "test"},
                                                                  {PlayKind::JOURNAL_FULL, "journalFull"},
                                                                  {PlayKind::CLOCK_STEP, "clockStep"},
                                                                  {PlayKind::EMERGENCY, "emergency"},
                                                                  {PlayKind::EMERGENCY_START, "emergencyStart"},
                                                                  {PlayKind::EMERGENCY_STOP, "emergencyStop"},
                                                                  {PlayKind::ALERT, "alert"}};
};

// A note is no bell at all (the daily cap was reached, the clock was set back); the summary does not count it.
enum class PlayOutcome { RANG, FAILED, STOPPED, MISSED, NOTE };
template <>
struct EnumTexts<PlayOutcome> {
    static constexpr std::pair<PlayOutcome, const char*> values[] = {{PlayOutcome::RANG, "rang"},
                                                                     {PlayOutcome::FAILED, "failed"},
                                                                     {PlayOutcome::STOPPED, "stopped"},
                                                                     {PlayOutcome::MISSED, "missed"},
                                                                     {PlayOutcome::NOTE, "note"}};
};

// Why a play failed, stopped or was missed; NONE for one that rang.
enum class OutcomeReason {
    NONE,
    FILE_MISSING,
    SIGNAL_MISSING,
    PLAYER_NOT_STARTED,
    EXIT_STATUS,
    KILLED_BY_SIGNAL,
    STOP_ALL,
    ALARM_SWITCH,
    SHUTDOWN,
    NOT_RUNNING,
    SCHEDULER_OFF,
    SKIPPED,
    DAILY_CAP,
    SET_BACK,
    EMERGENCY,        // a bell due while an emergency routine ran
    EMERGENCY_STOP,   // the routine was ended by hand
    ALL_CLEAR,        // the routine was ended by the all clear
    ROUTINE_CHANGED,  // another routine took its place
};
template <>
struct EnumTexts<OutcomeReason> {
    static constexpr std::pair<OutcomeReason, const char*> values[] = {{OutcomeReason::NONE, ""},
                                                                       {OutcomeReason::FILE_MISSING, "fileMissing"},
                                                                       {OutcomeReason::SIGNAL_MISSING, "signalMissing"},
                                                                       {OutcomeReason::PLAYER_NOT_STARTED, "playerNotStarted"},
                                                                       {OutcomeReason::EXIT_STATUS, "exitStatus"},
                                                                       {OutcomeReason::KILLED_BY_SIGNAL, "killedBySignal"},
                                                                       {OutcomeReason::STOP_ALL, "stopAll"},
                                                                       {OutcomeReason::ALARM_SWITCH, "alarmSwitch"},
                                                                       {OutcomeReason::SHUTDOWN, "shutdown"},
                                                                       {OutcomeReason::NOT_RUNNING, "notRunning"},
                                                                       {OutcomeReason::SCHEDULER_OFF, "schedulerOff"},
                                                                       {OutcomeReason::SKIPPED, "skipped"},
                                                                       {OutcomeReason::DAILY_CAP, "dailyCap"},
                                                                       {OutcomeReason::SET_BACK, "setBack"},
                                                                       {OutcomeReason::EMERGENCY, "emergency"},
                                                                       {OutcomeReason::EMERGENCY_STOP, "emergencyStop"},
                                                                       {OutcomeReason::ALL_CLEAR, "allClear"},
                                                                       {OutcomeReason::ROUTINE_CHANGED, "routineChanged"}};
};

struct JournalEntry {
    std::string due;      // the second it was due or asked for, local time: 2024-09-02T08:00:00
    std::string planned;  // the timetable's second of a bell the day's adjustment moved; empty otherwise
    PlayKind kind = PlayKind::MANUAL_PLAY;
    PlayOutcome outcome = PlayOutcome::RANG;
    OutcomeReason reason = OutcomeReason::NONE;
    int64_t code = 0;     // the player's exit status or the signal that ended it; the seconds of a clock step
    std::string detail;   // the error text or the missing path
    std::string started;  // when its player started, to the millisecond; empty when it never did
    int64_t plays = 0;    // plays started (a repeated signal or the alarm plays several times)
    std::string signalId;
    std::string signalName;
    std::string timetableId;
    std::string timetableName;
    int64_t lesson = -1;  // index of the lesson in channel A, for lesson bells
    int64_t extra = -1;   // index of the extra play and of its time slot, for extra plays
    int64_t slot = -1;
    std::string routine;  // the emergency routine of its start, stop or sound; empty otherwise
    bool drill = false;   // that routine was started as a drill

    static constexpr auto fields() {
        return std::tuple{field("due", &JournalEntry::due),
                          field("planned", &JournalEntry::planned),
                          field("kind", &JournalEntry::kind),
                          field("outcome", &JournalEntry::outcome),
                          field("reason", &JournalEntry::reason),
                          field("code", &JournalEntry::code),
                          field("detail", &JournalEntry::detail),
                          field("started", &JournalEntry::started),
                          field("plays", &JournalEntry::plays),
                          field("signalId", &JournalEntry::signalId),
                          field("signalName", &JournalEntry::signalName),
                          field("timetableId", &JournalEntry::timetableId),
                          field("timetableName", &JournalEntry::timetableName),
                          field("lesson", &JournalEntry::lesson),
                          field("extra", &JournalEntry::extra),
                          field("slot", &JournalEntry::slot),
                          field("routine", &JournalEntry::routine),
                          field("drill", &JournalEntry::drill)};
    }
};

struct JournalSummary {
    int64_t rang = 0;
    int64_t failed = 0;
    int64_t missed = 0;
    int64_t stopped = 0;

    void count(const JournalEntry& entry) { count(entry.outcome); }
    void count(PlayOutcome outcome);

    static constexpr auto fields() {
        return std::tuple{field("rang", &JournalSummary::rang), field("failed", &JournalSummary::failed), field("missed", &JournalSummary::missed),
                          field("stopped", &JournalSummary::stopped)};
    }
};

// A reading as the journal writes moments: 2024-09-02T08:00:00.
std::string journalMoment(const struct_time& reading);
// The wall clock now, local time to the millisecond: 2024-09-02T08:00:00.012.
std::string journalMomentNow();
// The date part of a journal moment (its first ten characters).
std::string journalDateOf(const std::string& moment);

// A date written 2024-09-02 that names a real day, as the reading of its midnight; absent otherwise.
std::optional<struct_time> parseDateText(const std::string& text);
// The reading of a journal moment (seconds and beyond ignored past the second); absent when malformed.
std::optional<struct_time> parseJournalMoment(const std::string& moment);

}  // namespace quorvane
