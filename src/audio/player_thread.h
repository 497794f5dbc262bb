#pragma once
// A playback thread: plays one file a number of times (or until aborted) through a file player, on a
// daemon thread of its own, so sounds never queue behind each other.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/file_player.h"
#include "core/daemon_thread.h"
#include "model/journal_entry.h"

namespace quorvane {

// Given as the play count: repeat until aborted (any negative count does).
inline constexpr int64_t INFINITE_REPEAT = -1;

class PlayerThread : public DaemonThread {
public:
    static constexpr int TICKS_PER_SECOND = 20;
    static constexpr std::chrono::duration<double> TICK{1.0 / TICKS_PER_SECOND};

    // How a playback thread waits, for a tick of the wait loop as for the pause between plays.
    using SleepFunction = std::function<void(std::chrono::duration<double>)>;
    // Replaces the waiting of threads constructed from now on (tests count ticks and pauses instead of
    // sleeping through them); empty restores the real sleep. Returns the previous one.
    static SleepFunction setSleepFunction(SleepFunction sleep);

    PlayerThread(std::string path, int64_t count = 1, double delay = 0.0, std::unique_ptr<FilePlayer> player = makeFilePlayer());
    // The first reason given is the one journaled (the alarm switched off by a stop-all was stopped by it).
    void abortPlay(OutcomeReason why = OutcomeReason::STOP_ALL) {
        OutcomeReason none = OutcomeReason::NONE;
        _stopReason.compare_exchange_strong(none, why);
        _doAbort.store(true);
    }
    // A file played once after every play of the main one (a spoken sentence after its tone); set before
    // start. Its failure is logged, but only the main file's plays decide the journal's outcome.
    void followEachPlayWith(std::string path) { _followUp = std::move(path); }
    // What this playback is, for the journal; set before start. A thread without one is not journaled.
    void setJournalEntry(JournalEntry entry) { _entry = std::move(entry); }
    // Between the start of the body and its end.
    bool alive() const { return _alive.load(); }
    // The body has returned (after deregistering).
    bool ended() const { return _ended.load(); }
    const std::string& path() const { return _path; }

protected:
    void run() override;

private:
    bool playOnce();
    bool playPath(const std::string& path, bool journaled);
    void waitForEndOfPlay();
    void noteFailure(OutcomeReason reason, int64_t code, std::string detail);
    void noteExit(const PlayerExit& exit);
    void reportToJournal();

    std::string _path;
    std::string _followUp;
    int64_t _count;
    double _delay;
    std::atomic<bool> _doAbort{false};
    std::atomic<OutcomeReason> _stopReason{OutcomeReason::NONE};
    std::atomic<bool> _alive{false};
    std::atomic<bool> _ended{false};
    std::unique_ptr<FilePlayer> _player;
    SleepFunction _sleep;
    // Journal state, touched only by the playback thread once it runs.
    std::optional<JournalEntry> _entry;
    int64_t _plays = 0;
    std::string _started;
    std::optional<JournalEntry> _failure;  // outcome, reason, code and detail of the first failed play
};

}  // namespace quorvane
