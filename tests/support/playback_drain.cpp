// After the last test, every playback still running is aborted and awaited: a daemon playback thread
// that logs while the process runs its static destructors would use a destroyed logger.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "audio/player.h"

namespace quorvane::testing {
namespace {

class PlaybackDrain : public ::testing::Environment {
public:
    void TearDown() override {
        Player::stopAll();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Player::hasRunningThreads() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
};

const auto* const installed = ::testing::AddGlobalTestEnvironment(new PlaybackDrain);

}  // namespace
}  // namespace quorvane::testing
