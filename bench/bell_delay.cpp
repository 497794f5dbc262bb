// Runs the real scheduler loop on the real clock and reports how late each new second is processed
// (from the start of the second to the call of the signal trigger), and the CPU time the loop costs,
// with the bell journal on.
//   bench_bell_delay [seconds=60]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "scheduling/active_timetable.h"
#include "scheduling/bell_journal.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

using namespace quorvane;
using Clock = std::chrono::system_clock;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    {
        StateLock lock;
        db.edit(lock).loadFactoryDefault();
    }
    // The journal is on, as in the running player: every pass records itself for it.
    const auto journalDir = std::filesystem::temp_directory_path() / ("quorvane-bench-delay-" + std::to_string(::getpid()));
    openJournal(std::make_shared<JournalWriter>(journalDir));
    std::mutex mutex;
    std::vector<double> delaysMs;
    SchedulerSteps steps = defaultSchedulerSteps([](const StateLock&, const PlayDesc&) {});
    const auto realSecond = steps.processSecond;
    steps.processSecond = [&](const struct_time& reading) {
        const auto now = Clock::now().time_since_epoch();
        const double intoSecond = std::chrono::duration<double, std::milli>(now % std::chrono::seconds(1)).count();
        realSecond(reading);
        std::lock_guard lock(mutex);
        delaysMs.push_back(intoSecond);
    };
    steps.saveStoredRecords = [] {};  // no files here; the save pass is measured by bench_save_auto
    steps.phoneHome = [] {};          // no network either: only the loop is measured

    auto scheduler = std::make_shared<Scheduler>(steps);
    const double cpuBefore = cpuSeconds();
    scheduler->start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpuUsed = cpuSeconds() - cpuBefore;

    std::lock_guard lock(mutex);
    if (delaysMs.size() < 3) {
        std::printf("too few seconds measured\n");
        return 1;
    }
    delaysMs.erase(delaysMs.begin());  // the first pass starts at an arbitrary moment
    std::printf("seconds processed: %zu\n", delaysMs.size());
    std::printf("delay from the start of the second to the trigger: median %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(delaysMs, 0.5),
                percentile(delaysMs, 0.99), percentile(delaysMs, 1.0));
    std::printf("CPU: %.3f s in %d s = %.3f%% of one core (%.2f s per minute)\n", cpuUsed, seconds, 100.0 * cpuUsed / seconds,
                cpuUsed * 60.0 / seconds);
    std::fflush(stdout);
    std::filesystem::remove_all(journalDir);
    std::_Exit(0);
}
