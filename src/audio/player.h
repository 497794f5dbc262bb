#pragma once
// Playback threads and their process-wide registry. Every sound plays on its own daemon thread, so
// sounds never queue behind each other.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/daemon_thread.h"
#include "audio/file_player.h"

namespace quorvane {

// Given as the play count: repeat until aborted (any negative count does).
inline constexpr int64_t INFINITE_REPEAT = -1;

class PlayerThread : public DaemonThread {
public:
    static constexpr int TICKS_PER_SECOND = 20;

    PlayerThread(std::string path, int64_t count = 1, double delay = 0.0,
                 std::unique_ptr<FilePlayer> player = makePlatformFilePlayer());
    void abortPlay() { _doAbort.store(true); }
    bool alive() const { return _alive.load(); }
    const std::string& path() const { return _path; }

protected:
    void run() override;

private:
    std::string _path;
    int64_t _count;
    double _delay;
    std::atomic<bool> _doAbort{false};
    std::atomic<bool> _alive{false};
    std::unique_ptr<FilePlayer> _player;
};

class Player {
public:
    // Starts a playback thread; null (and an error line) when nothing exists at the path.
    static std::shared_ptr<PlayerThread> playFile(const std::string& path, int64_t count = 1, double delay = 0.0);
    static void stopAll();
    static bool isPlaying();
    static void _onThreadEnd(const PlayerThread* thread);
};

std::shared_ptr<PlayerThread> playAudioFile(const std::string& path, int64_t count = 1, double delay = 0.0);
void stopAllPlay();

}  // namespace quorvane
