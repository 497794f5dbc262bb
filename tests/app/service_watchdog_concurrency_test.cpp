// The watchdog is fed from the scheduler's own pass: a scheduler that stops passing lets it expire.
#include <algorithm>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/service_notifier.h"
#include "scheduling/scheduler.h"
#include "support/notify_socket.h"
#include "support/paced_time_source.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::NotifySocket;
using testing::PacedTimeSource;
using testing::ScopedEnvironment;

#ifdef QUORVANE_HAVE_SYSTEMD

size_t keepAlives(const std::vector<std::string>& messages) {
    return static_cast<size_t>(std::count(messages.begin(), messages.end(), "WATCHDOG=1"));
}

TEST(ServiceWatchdog, KeepAlivesFollowTheSchedulerPassesAndStopWhileAPassIsHeld) {
    NotifySocket socket;
    ScopedEnvironment environment({{"NOTIFY_SOCKET", socket.path()}, {"WATCHDOG_USEC", "200000"}, {"WATCHDOG_PID", std::to_string(getpid())}});
    const auto notifier = std::make_shared<ServiceNotifier>();
    const auto time = std::make_shared<PacedTimeSource>();
    const auto previous = setTimeSource(time);
    SchedulerSteps steps;
    steps.afterPass = [notifier] { notifier->passCompleted(); };
    const auto scheduler = std::make_shared<Scheduler>(steps);
    scheduler->start();

    EXPECT_GE(keepAlives(socket.receiveFor(500ms)), 3u) << "about one every 100 ms while the passes come";

    time->hold();
    ASSERT_TRUE(time->waitUntilParked(2s));
    socket.receiveFor(20ms);  // one sent by the pass that ran into the hold
    EXPECT_EQ(keepAlives(socket.receiveFor(500ms)), 0u) << "more than twice the interval without a pass";

    time->release();
    EXPECT_TRUE(socket.receiveContaining("WATCHDOG=1", 1s)) << "the keep-alives come back with the passes";

    EXPECT_TRUE(scheduler->stop(std::chrono::steady_clock::now() + 2s));
    setTimeSource(previous);
}

#endif

}  // namespace
}  // namespace quorvane
