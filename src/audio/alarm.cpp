#include "audio/alarm.h"

#include <mutex>

#include "audio/journal_sink.h"
#include "audio/signals.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

// Leaf lock of the alarm, held for a whole toggle so that two toggles at the same moment cannot both
// find the alarm off and start two endless playbacks. Order: state lock, then this, then the player
// registry's lock inside playFile; nothing takes them the other way round.
std::mutex alarmMutex;
std::shared_ptr<PlayerThread> alarmThread;

// Not waited for and not deregistered here: the thread leaves the registry at its own end.
void abortAlarm(OutcomeReason why) {
    alarmThread->abortPlay(why);
    alarmThread = nullptr;
}

}  // namespace

void Alarm::toggle(const StateLock& state) {
    std::lock_guard lock(alarmMutex);
    if (alarmThread) return abortAlarm(OutcomeReason::ALARM_SWITCH);
    const Settings& settings = db.view(state).settings;
    alarmThread =
        playSignalById(state, settings.alarmSignalId, INFINITE_REPEAT, settings.alarmDelaySec, PlaySource::AUTOMATIC, requestedPlay(PlayKind::ALARM));
}

void Alarm::switchOff(OutcomeReason why) {
    std::lock_guard lock(alarmMutex);
    if (alarmThread) abortAlarm(why);
}

bool Alarm::isActive() {
    std::lock_guard lock(alarmMutex);
    return alarmThread != nullptr;
}

}  // namespace quorvane
