#include "audio/emergency.h"

#include <mutex>
#include <stdexcept>

#include "audio/journal_sink.h"
#include "audio/player.h"
#include "audio/signals.h"
#include "audio/spoken_sentence.h"
#include "core/clock.h"
#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/emergency_routines.h"
#include "model/factory_defaults.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

// Leaf lock of the routine, held for a whole start or stop so that two at the same moment cannot leave
// two sounds playing, and so that the journal has each routine's start and stop in the order they
// happened. Order: state lock, then this, then the player registry's or the journal's lock; neither ever
// calls back here.
std::mutex emergencyMutex;
std::optional<RunningEmergency> current;
std::shared_ptr<PlayerThread> sound;

JournalEntry routineNote(PlayKind kind, const std::string& routine, bool drill) {
    JournalEntry note = requestedPlay(kind);
    note.outcome = PlayOutcome::NOTE;
    note.routine = routine;
    note.drill = drill;
    return note;
}

// Caller holds emergencyMutex. The note of the routine it ended, if one ran.
std::optional<JournalEntry> endRunning(OutcomeReason why) {
    if (sound) sound->abortPlay(why);
    sound = nullptr;
    if (!current) return std::nullopt;
    JournalEntry note = routineNote(PlayKind::EMERGENCY_STOP, current->routine, current->drill);
    note.reason = why;
    current.reset();
    return note;
}

// The file of the routine's signal. An emergency must not fall silent because its signal was deleted or
// an older installation never had the factory one: the factory's file stands in.
std::string soundOf(const StateLock& lock, std::string_view name, const EmergencyRoutine& routine, JournalEntry& entry) {
    for (const std::string& id : {routine.signalId, factoryRoutineNamed(name)->signalId}) {
        if (const AudioAsset* signal = db.view(lock).signals.find(id)) {
            entry.signalId = id;
            entry.signalName = signal->name;
            return getSignalAssetPathById(lock, id);
        }
        for (const FactorySignal& factory : factorySignals())
            if (id == factory.id) {
                entry.signalId = id;
                entry.signalName = factory.name;
                return utf8Of(getAssetPath(factory.filename));
            }
    }
    throw std::invalid_argument("The routine " + std::string(name) + " has no signal");
}

}  // namespace

RunningEmergency Emergency::start(const StateLock& lock, std::string_view name, bool drill) {
    const Settings& settings = db.view(lock).settings;
    const EmergencyRoutine* routine = routineNamed(settings.emergencyRoutines, name);
    if (!routine) throw std::invalid_argument("Unknown emergency routine: " + std::string(name));
    const bool allClear = name == ALL_CLEAR_ROUTINE;
    RunningEmergency started{std::string(name), drill, journalMoment(getClock())};

    JournalEntry entry = requestedPlay(PlayKind::EMERGENCY);
    entry.routine = started.routine;
    entry.drill = drill;
    const std::string path = soundOf(lock, name, *routine, entry);
    const std::string sentence = routine->spokenText.empty() ? "" : spokenSentencePath(name, settings.speechLanguage, routine->spokenText);

    JournalEntry note = routineNote(PlayKind::EMERGENCY_START, started.routine, drill);
    note.signalId = entry.signalId;
    note.signalName = entry.signalName;
    std::lock_guard guard(emergencyMutex);
    if (auto ended = endRunning(allClear ? OutcomeReason::ALL_CLEAR : OutcomeReason::ROUTINE_CHANGED)) toJournal(std::move(*ended));
    // Before the sound starts, so that the journal has the start ahead of the sound's own entry.
    toJournal(std::move(note));
    const int64_t count = routine->repeat == 0 ? INFINITE_REPEAT : routine->repeat;
    sound = Player::playFollowedBy(path, sentence, count, PlaySource::AUTOMATIC, std::move(entry));
    if (!allClear) current = started;
    return started;
}

bool Emergency::stop(OutcomeReason why) {
    std::lock_guard guard(emergencyMutex);
    auto ended = endRunning(why);
    if (ended) toJournal(std::move(*ended));
    return ended.has_value();
}

std::optional<RunningEmergency> Emergency::running() {
    std::lock_guard guard(emergencyMutex);
    return current;
}

}  // namespace quorvane
