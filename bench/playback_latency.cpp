// How long a bell takes to start: from the moment the scheduler processes a due second (its call of
// playSignalByDescriptor under the state lock) to the moment the player process has been started.
// glibc's posix_spawnp returns only after the child has executed the player program, so the end mark
// is taken when startPlay returns.
//
// Usage: bench_playback_latency [rounds]   (default 200). The player is a stub mpg123 on the search
// path that exits at once, so each round also measures nothing but the start.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include "audio/linux_file_player.h"
#include "audio/signals.h"
#include "core/paths.h"
#include "storage/stored_records.h"

using namespace quorvane;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<Clock::rep> startedAt{0};

// The real child-process player, marking the moment its process exists.
class MarkingPlayer : public LinuxFilePlayer {
public:
    void startPlay(const std::string& path) override {
        LinuxFilePlayer::startPlay(path);
        startedAt.store(Clock::now().time_since_epoch().count());
    }
};

void writeExecutable(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    char pattern[] = "/tmp/quorvane-bench-XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    writeExecutable(root / "bin" / "mpg123", "#!/bin/sh\nexit 0\n");
    setenv("PATH", ((root / "bin").string() + ":" + std::getenv("PATH")).c_str(), 1);
    std::filesystem::create_directories(root / "build");
    overrideExecutableDirForTesting(root / "build");
    std::filesystem::create_directories(root / "assets");
    std::ofstream(root / "assets" / "bell.mp3") << "the stub does not read it";

    // The "Playing" line is still formatted, only not written anywhere.
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));
    setFilePlayerFactory([] { return std::make_unique<MarkingPlayer>(); });
    {
        StateLock lock;
        db.edit(lock).signals.add(AudioAsset{"bell", "bell.mp3", 1, StorageCategory::ASSET, MyDateTime()}, "ID_bell");
    }
    const PlayDesc desc{"ID_bell", false, 1, 0.0};

    std::vector<double> millis;
    for (int round = -10; round < rounds; ++round) {  // ten rounds of warm-up
        startedAt.store(0);
        const auto begin = Clock::now();
        std::shared_ptr<PlayerThread> thread;
        {
            StateLock lock;
            thread = playSignalByDescriptor(lock, desc);
        }
        while (!thread->ended()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const Clock::time_point started{Clock::duration(startedAt.load())};
        if (round >= 0) millis.push_back(std::chrono::duration<double, std::milli>(started - begin).count());
    }
    std::printf("start latency over %d rounds: median %.3f ms, p90 %.3f ms, p99 %.3f ms, max %.3f ms\n", rounds, percentile(millis, 0.5),
                percentile(millis, 0.9), percentile(millis, 0.99), percentile(millis, 1.0));
    overrideExecutableDirForTesting({});
    std::filesystem::remove_all(root);
    return 0;
}
