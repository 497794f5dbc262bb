// What ten simultaneous playbacks cost the server while they play: the playback threads poll their
// players every 50 ms and must not burn CPU. The players are stub mpg123 processes that only sleep;
// their own time is not counted (getrusage of this process only).
//
// Usage: bench_playback_idle_cpu [seconds]   (default 5)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>
#include <sys/resource.h>

#include "audio/player.h"

using namespace quorvane;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    constexpr int PLAYBACKS = 10;
    char pattern[] = "/tmp/quorvane-bench-XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    std::filesystem::create_directories(root / "bin");
    std::ofstream(root / "bin" / "mpg123") << "#!/bin/sh\nexec sleep " << seconds + 30 << "\n";
    std::filesystem::permissions(root / "bin" / "mpg123", std::filesystem::perms::owner_all);
    setenv("PATH", ((root / "bin").string() + ":" + std::getenv("PATH")).c_str(), 1);
    std::ofstream(root / "bell.mp3") << "the stub does not read it";
    spdlog::set_default_logger(std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));

    std::vector<std::shared_ptr<PlayerThread>> threads;
    for (int i = 0; i < PLAYBACKS; ++i) threads.push_back(Player::playFile((root / "bell.mp3").string(), 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // all started

    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    std::printf("%d playbacks for %.2f s: %.4f s of CPU, %.3f %% of one core\n", PLAYBACKS, wall, cpu, 100.0 * cpu / wall);

    Player::stopAll();
    for (const auto& thread : threads)
        while (!thread->ended()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::filesystem::remove_all(root);
    return 0;
}
