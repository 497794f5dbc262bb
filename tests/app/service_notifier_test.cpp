// The notification protocol, against a datagram socket of the test's own named as NOTIFY_SOCKET.
#include "app/service_notifier.h"

#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/notify_socket.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::NotifySocket;
using testing::ScopedEnvironment;

#ifdef QUORVANE_HAVE_SYSTEMD

TEST(ServiceNotifier, ReadinessStatusAndStoppingReachTheSocket) {
    NotifySocket socket;
    ScopedEnvironment environment({{"NOTIFY_SOCKET", socket.path()}, {"WATCHDOG_USEC", std::nullopt}});
    ServiceNotifier notifier;
    EXPECT_TRUE(notifier.active());
    EXPECT_EQ(notifier.watchdogInterval(), 0us);

    notifier.ready("Next bell 08:00, Lesson 1 start");
    EXPECT_EQ(socket.receive(1s), "READY=1\nSTATUS=Next bell 08:00, Lesson 1 start");
    notifier.status("Next bell 08:00, Lesson 1 start");
    notifier.status("Next bell 08:45, Lesson 1 end");
    notifier.status("Next bell 08:45, Lesson 1 end");
    notifier.stopping();
    EXPECT_EQ(socket.receive(1s), "STATUS=Next bell 08:45, Lesson 1 end") << "an unchanged line is not sent again";
    EXPECT_EQ(socket.receive(1s), "STOPPING=1\nSTATUS=Stopping");
    EXPECT_EQ(socket.receive(50ms), std::nullopt);
}

TEST(ServiceNotifier, WatchdogKeepAliveComesAtHalfTheInterval) {
    NotifySocket socket;
    ScopedEnvironment environment({{"NOTIFY_SOCKET", socket.path()}, {"WATCHDOG_USEC", "200000"}, {"WATCHDOG_PID", std::to_string(getpid())}});
    ServiceNotifier notifier;
    ASSERT_EQ(notifier.watchdogInterval(), 200ms);
    // Passes every 10 ms for 0.5 s: a keep-alive at the first and then about every 100 ms.
    int passes = 0;
    for (const auto end = std::chrono::steady_clock::now() + 500ms; std::chrono::steady_clock::now() < end; ++passes) {
        notifier.passCompleted();
        std::this_thread::sleep_for(10ms);
    }
    const auto messages = socket.receiveFor(100ms);
    EXPECT_GE(passes, 20);
    EXPECT_GE(messages.size(), 3u);
    EXPECT_LE(messages.size(), 6u) << "not one per pass";
    for (const auto& message : messages) EXPECT_EQ(message, "WATCHDOG=1");
}

TEST(ServiceNotifier, AWatchdogMeantForAnotherProcessIsNotFed) {
    NotifySocket socket;
    ScopedEnvironment environment({{"NOTIFY_SOCKET", socket.path()}, {"WATCHDOG_USEC", "200000"}, {"WATCHDOG_PID", std::to_string(getpid() + 1)}});
    ServiceNotifier notifier;
    EXPECT_EQ(notifier.watchdogInterval(), 0us);
    notifier.passCompleted();
    EXPECT_EQ(socket.receive(50ms), std::nullopt);
}

#endif

TEST(ServiceNotifier, WithoutANotificationSocketNothingIsSent) {
    NotifySocket socket;
    ScopedEnvironment environment({{"NOTIFY_SOCKET", std::nullopt}, {"WATCHDOG_USEC", "200000"}, {"WATCHDOG_PID", std::nullopt}});
    ServiceNotifier notifier;
    EXPECT_FALSE(notifier.active());
    EXPECT_EQ(notifier.watchdogInterval(), 0us);
    notifier.ready("Scheduler off");
    notifier.passCompleted();
    notifier.stopping();
    EXPECT_EQ(socket.receive(50ms), std::nullopt);
}

}  // namespace
}  // namespace quorvane
