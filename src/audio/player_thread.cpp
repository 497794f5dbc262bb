#include "audio/player_thread.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

#include <spdlog/spdlog.h>

#include "audio/journal_sink.h"
#include "audio/player.h"
#include "core/clock.h"
#include "core/installed.h"

namespace quorvane {
namespace {

void realSleep(std::chrono::duration<double> length) {
    // Not positive (or NaN): no pause. A pause of more than a few decades would overflow the clock's
    // count, and nobody waits that long for a bell anyway.
    if (!(length.count() > 0)) return;
    length = std::min(length, std::chrono::duration<double>(1e9));
    std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(length));
}

Installed<PlayerThread::SleepFunction> installedSleep;

PlayerThread::SleepFunction currentSleep() {
    PlayerThread::SleepFunction sleep = installedSleep.get();
    return sleep ? sleep : PlayerThread::SleepFunction(realSleep);
}

}  // namespace

PlayerThread::SleepFunction PlayerThread::setSleepFunction(SleepFunction sleep) { return installedSleep.replace(std::move(sleep)); }

PlayerThread::PlayerThread(std::string path, int64_t count, double delay, std::unique_ptr<FilePlayer> player)
    : _path(std::move(path)), _count(count), _delay(delay), _player(std::move(player)), _sleep(currentSleep()) {}

void PlayerThread::run() {
    _alive.store(true);
    // However the body ends, the thread leaves the registry: Player.isPlaying relies on it.
    struct EndOfBody {
        PlayerThread* self;
        ~EndOfBody() {
            self->reportToJournal();
            Player::_onThreadEnd(self);
            self->_alive.store(false);
            self->_ended.store(true);
        }
    } endOfBody{this};

    spdlog::info("Playing: {} {} times at {} {}", _path, _count, getDateString(), getTimeString());
    while (_count != 0 && !_doAbort.load()) {
        if (!playOnce()) return;
        if (_count > 0) --_count;
        // The pause is waited out even after an abort, so an aborted thread with plays left ends late.
        if (_count != 0) _sleep(std::chrono::duration<double>(_delay));
    }
}

// One play of the main file and its follow-up; false when the main file could not even start.
bool PlayerThread::playOnce() {
    if (!playPath(_path, true)) return false;
    if (!_followUp.empty() && !_doAbort.load()) playPath(_followUp, false);
    return true;
}

// One play of a file from start to close; false when it could not even start. Only a journaled play
// counts and notes its failure.
bool PlayerThread::playPath(const std::string& path, bool journaled) {
    try {
        _player->startPlay(path);
    } catch (const std::exception& error) {
        spdlog::error("Failed to play the file: {} - {}", path, error.what());
        if (journaled) noteFailure(OutcomeReason::PLAYER_NOT_STARTED, 0, error.what());
        return false;
    }
    if (journaled) {
        ++_plays;
        if (_entry && _started.empty()) _started = journalMomentNow();
    }
    try {
        waitForEndOfPlay();
        // A player cut short by our own abort ends by our signal: that is a stop, not a failure.
        if (!_doAbort.load() && journaled) noteExit(_player->lastExit());
    } catch (const std::exception& error) {
        // The play cannot be followed any more: treat it as over and release it like any other.
        spdlog::error("Failed to close file: {} - {}", path, error.what());
    }
    try {
        _player->closeFile(_doAbort.load());
    } catch (const std::exception& error) {
        spdlog::error("Failed to close file: {} - {}", path, error.what());
    }
    return true;
}

void PlayerThread::waitForEndOfPlay() {
    while (_player->isPlaying() && !_doAbort.load()) _sleep(TICK);
}

void PlayerThread::noteFailure(OutcomeReason reason, int64_t code, std::string detail) {
    if (_failure) return;
    _failure = JournalEntry{};
    _failure->outcome = PlayOutcome::FAILED;
    _failure->reason = reason;
    _failure->code = code;
    _failure->detail = std::move(detail);
}

void PlayerThread::noteExit(const PlayerExit& exit) {
    if (exit.how == PlayerExit::How::EXITED && exit.code != 0)
        noteFailure(OutcomeReason::EXIT_STATUS, exit.code, "The player exited with status " + std::to_string(exit.code));
    else if (exit.how == PlayerExit::How::SIGNALLED)
        noteFailure(OutcomeReason::KILLED_BY_SIGNAL, exit.code, "The player was killed by signal " + std::to_string(exit.code));
}

// A failed play outweighs a stop: an alarm whose player never worked was not heard, whoever ended it.
void PlayerThread::reportToJournal() {
    if (!_entry) return;
    JournalEntry entry = std::move(*_entry);
    _entry.reset();
    entry.started = _started;
    entry.plays = _plays;
    if (_failure) {
        entry.outcome = PlayOutcome::FAILED;
        entry.reason = _failure->reason;
        entry.code = _failure->code;
        entry.detail = std::move(_failure->detail);
    } else if (_doAbort.load()) {
        entry.outcome = PlayOutcome::STOPPED;
        entry.reason = _stopReason.load() == OutcomeReason::NONE ? OutcomeReason::STOP_ALL : _stopReason.load();
    } else {
        entry.outcome = PlayOutcome::RANG;
        entry.reason = OutcomeReason::NONE;
    }
    try {
        toJournal(std::move(entry));
    } catch (const std::exception& error) {
        spdlog::error("The journal could not take the play of {}: {}", _path, error.what());
    }
}

}  // namespace quorvane
