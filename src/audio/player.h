#pragma once
// The process-wide registry of playback threads: starting plays, stopping them all, telling whether
// anything plays.
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "audio/player_thread.h"
#include "model/journal_entry.h"

namespace quorvane {

// Who asked for a play. Plays asked for from the web interface are capped, so that a client cannot start
// sounds without end; scheduled bells and the alarm always play.
enum class PlaySource { AUTOMATIC, INTERFACE };
inline constexpr size_t MAX_INTERFACE_PLAYS = 16;

// An interface play refused because MAX_INTERFACE_PLAYS are registered already.
class TooManyPlays : public std::runtime_error {
public:
    TooManyPlays() : std::runtime_error("Too many sounds playing") {}
};

class Player {
public:
    // Starts a playback thread; null (and an error line) when nothing exists at the path; TooManyPlays for
    // an interface play beyond the cap. With a journal entry, the play is journaled when it ends (a
    // missing file at once, as failed).
    static std::shared_ptr<PlayerThread> playFile(const std::string& path, int64_t count = 1, double delay = 0.0,
                                                  PlaySource source = PlaySource::AUTOMATIC, std::optional<JournalEntry> entry = std::nullopt);
    // The same, playing the follow-up file once after every play of the first (when it exists; without
    // it the first plays alone).
    static std::shared_ptr<PlayerThread> playFollowedBy(const std::string& path, const std::string& followUp, int64_t count, PlaySource source,
                                                        std::optional<JournalEntry> entry);
    // Aborts every registered playback and empties the registry. A playFile running at the same moment
    // either comes before (and is aborted) or after (and stays registered).
    // The reason is what the plays' journal entries say stopped them.
    static void stopAll(OutcomeReason why = OutcomeReason::STOP_ALL);
    static bool isPlaying();
    // How many plays are registered now (each alarm, bell or routine sound counts once).
    static size_t activePlays();
    // True while a thread started by playFile has not finished its body, also after a stopAll.
    static bool hasRunningThreads();
    static void _onThreadEnd(const PlayerThread* thread);
};

void stopAllPlay();

}  // namespace quorvane
