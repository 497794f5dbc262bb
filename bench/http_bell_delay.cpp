// Bells under full HTTP load: the web server and the scheduler loop in one process, as in the player,
// while wrk keeps many keep-alive connections busy with a target that takes the state lock. Reports
// how late each new second reaches the signal trigger, first idle, then under load, and wrk's figures.
//   bench_http_bell_delay [seconds=20] [connections=64] [target=/api/get/overview]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scheduling/scheduler.h"
#include "storage/stored_records.h"
#include "web/web_server.h"

using namespace quorvane;
using Clock = std::chrono::system_clock;

namespace {

std::mutex delaysMutex;
std::vector<double> delaysMs;

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

std::vector<double> takeDelays() {
    std::lock_guard lock(delaysMutex);
    std::vector<double> taken;
    taken.swap(delaysMs);
    return taken;
}

void report(const char* phase, std::vector<double> delays) {
    if (delays.size() < 2) {
        std::printf("%s: too few seconds measured\n", phase);
        return;
    }
    std::printf("%s: %zu seconds, delay to the trigger median %.2f ms, p99 %.2f ms, max %.2f ms\n", phase, delays.size(), percentile(delays, 0.5),
                percentile(delays, 0.99), percentile(delays, 1.0));
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int connections = argc > 2 ? std::atoi(argv[2]) : 64;
    const std::string target = argc > 3 ? argv[3] : "/api/get/overview";
    {
        StateLock lock;
        db.edit(lock).loadFactoryDefault();
    }

    const int port = web::app.bindAnyPort("127.0.0.1");
    std::thread([] { web::app.serve(); }).detach();

    SchedulerSteps steps = defaultSchedulerSteps([](const StateLock&, const PlayDesc&) {});
    const auto realSecond = steps.processSecond;
    steps.processSecond = [realSecond](const struct_time& reading) {
        const auto now = Clock::now().time_since_epoch();
        const double intoSecond = std::chrono::duration<double, std::milli>(now % std::chrono::seconds(1)).count();
        realSecond(reading);
        std::lock_guard lock(delaysMutex);
        delaysMs.push_back(intoSecond);
    };
    steps.saveStoredRecords = [] {};  // no files here
    std::make_shared<Scheduler>(steps)->start();

    std::this_thread::sleep_for(std::chrono::seconds(6));
    std::vector<double> idle = takeDelays();
    if (!idle.empty()) idle.erase(idle.begin());  // the first pass starts at an arbitrary moment
    report("idle", idle);

    const std::string command = "wrk -t2 -c" + std::to_string(connections) + " -d" + std::to_string(seconds) +
                                "s --latency http://127.0.0.1:" + std::to_string(port) + target + " 2>&1";
    FILE* wrk = popen(command.c_str(), "r");
    if (!wrk) {
        std::printf("cannot start wrk\n");
        return 1;
    }
    std::string output;
    char buffer[4096];
    while (size_t count = std::fread(buffer, 1, sizeof buffer, wrk)) output.append(buffer, count);
    const int status = pclose(wrk);
    std::vector<double> loaded = takeDelays();
    if (!loaded.empty()) loaded.pop_back();  // the second in which wrk stopped
    report(("under load (" + std::to_string(connections) + " connections on " + target + ")").c_str(), loaded);
    std::printf("wrk (status %d):\n%s", status, output.c_str());
    std::fflush(stdout);
    std::_Exit(status == 0 ? 0 : 1);
}
