#pragma once
// The process-wide registry of playback threads: starting plays, stopping them all, telling whether
// anything plays.
#include <cstdint>
#include <memory>
#include <string>

#include "audio/player_thread.h"

namespace quorvane {

class Player {
public:
    // Starts a playback thread; null (and an error line) when nothing exists at the path.
    static std::shared_ptr<PlayerThread> playFile(const std::string& path, int64_t count = 1, double delay = 0.0);
    // Aborts every registered playback and empties the registry. A playFile running at the same moment
    // either comes before (and is aborted) or after (and stays registered).
    static void stopAll();
    static bool isPlaying();
    // True while a thread started by playFile has not finished its body, also after a stopAll.
    static bool hasRunningThreads();
    static void _onThreadEnd(const PlayerThread* thread);
};

std::shared_ptr<PlayerThread> playAudioFile(const std::string& path, int64_t count = 1, double delay = 0.0);
void stopAllPlay();

}  // namespace quorvane
