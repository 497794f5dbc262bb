#pragma once
// Test doubles of the playback subsystem: a scripted file player and a sleep that counts instead of
// sleeping.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/player.h"
#include "support/log_capture.h"
#include "support/wait_until.h"

namespace quorvane::testing {

// What the fake file players of a test are told to do and what they did.
struct PlaybackScript {
    // Ticks for which isPlaying answers true after each start; negative: until aborted.
    int ticksPerPlay = 0;
    // The start (counted from 1 over all players) that fails; 0: none.
    int failingStart = 0;
    bool failClose = false;
    bool failStatus = false;

    mutable std::mutex mutex;
    std::vector<std::string> events;  // "start <path>", "close" or "close aborted"
    int starts = 0;
    int livePlayers = 0;

    std::vector<std::string> eventsNow() const {
        std::lock_guard lock(mutex);
        return events;
    }
    int startsNow() const {
        std::lock_guard lock(mutex);
        return starts;
    }
    int livePlayersNow() const {
        std::lock_guard lock(mutex);
        return livePlayers;
    }
};

class FakeFilePlayer : public FilePlayer {
public:
    explicit FakeFilePlayer(std::shared_ptr<PlaybackScript> script) : _script(std::move(script)) {
        std::lock_guard lock(_script->mutex);
        ++_script->livePlayers;
    }
    ~FakeFilePlayer() override {
        std::lock_guard lock(_script->mutex);
        --_script->livePlayers;
    }

    void startPlay(const std::string& path) override {
        std::lock_guard lock(_script->mutex);
        if (++_script->starts == _script->failingStart) throw PlaybackError("device busy");
        _script->events.push_back("start " + path);
        _ticksLeft = _script->ticksPerPlay;
    }
    bool isPlaying() override {
        if (_script->failStatus) throw PlaybackError("status lost");
        if (_ticksLeft == 0) return false;
        if (_ticksLeft > 0) --_ticksLeft;
        return true;
    }
    void closeFile(bool wasAborted) override {
        std::lock_guard lock(_script->mutex);
        _script->events.push_back(wasAborted ? "close aborted" : "close");
        if (_script->failClose) throw PlaybackError("device gone");
    }

private:
    std::shared_ptr<PlaybackScript> _script;
    int _ticksLeft = 0;
};

// Stands in for the sleep of playback threads. A tick sleeps one real millisecond (so that an endless
// play does not spin) and is counted; a pause is recorded and returns at once, or, while pauses are
// held, blocks until they are released.
class ScriptedSleep {
public:
    void operator()(std::chrono::duration<double> length) {
        std::unique_lock lock(_mutex);
        if (length == PlayerThread::TICK) {
            ++_ticks;
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return;
        }
        _pauses.push_back(length.count());
        ++_pausing;
        _changed.notify_all();
        _changed.wait(lock, [this] { return !_hold; });
        --_pausing;
    }

    void holdPauses() {
        std::lock_guard lock(_mutex);
        _hold = true;
    }
    void releasePauses() {
        std::lock_guard lock(_mutex);
        _hold = false;
        _changed.notify_all();
    }
    // Waits until a thread sits in a held pause.
    bool waitForPause(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(_mutex);
        return _changed.wait_for(lock, limit, [this] { return _pausing > 0; });
    }
    std::vector<double> pauses() const {
        std::lock_guard lock(_mutex);
        return _pauses;
    }
    int ticks() const {
        std::lock_guard lock(_mutex);
        return _ticks;
    }

private:
    mutable std::mutex _mutex;
    std::condition_variable _changed;
    std::vector<double> _pauses;
    int _ticks = 0;
    int _pausing = 0;
    bool _hold = false;
};

// The captured log split into lines.
inline std::vector<std::string> logLines(const LogCapture& log) {
    std::vector<std::string> lines;
    std::istringstream in(log.text());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Installs the fake file player and the scripted sleep for new playback threads; at the end stops all
// playback, releases held pauses and waits until every fake player is gone, so nothing outlives the test.
class FakePlayback {
public:
    FakePlayback() : script(std::make_shared<PlaybackScript>()), sleep(std::make_shared<ScriptedSleep>()) {
        _previousFactory = setFilePlayerFactory([script = script] { return std::make_unique<FakeFilePlayer>(script); });
        _previousSleep = PlayerThread::setSleepFunction([sleep = sleep](std::chrono::duration<double> length) { (*sleep)(length); });
    }
    ~FakePlayback() {
        Player::stopAll();
        sleep->releasePauses();
        EXPECT_TRUE(waitUntil([this] { return script->livePlayersNow() == 0; })) << "a playback thread did not end";
        setFilePlayerFactory(std::move(_previousFactory));
        PlayerThread::setSleepFunction(std::move(_previousSleep));
    }

    std::shared_ptr<PlayerThread> makeThread(const std::string& path, int64_t count, double delay) {
        return std::make_shared<PlayerThread>(path, count, delay, std::make_unique<FakeFilePlayer>(script));
    }

    std::shared_ptr<PlaybackScript> script;
    std::shared_ptr<ScriptedSleep> sleep;

private:
    FilePlayerFactory _previousFactory;
    PlayerThread::SleepFunction _previousSleep;
};

}  // namespace quorvane::testing
