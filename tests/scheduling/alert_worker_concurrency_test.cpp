#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "scheduling/alert_worker.h"
#include "scheduling/alert_worker_parts.h"
#include "support/wait_until.h"

namespace quorvane {
namespace {

using testing::failedBell;
using testing::RecordedAlerts;

TEST(AlertWorkerThread, SendsWhatPlaybackThreadsNoticeAndStopsWithoutWaitingForItsNextRound) {
    RecordedAlerts recorded;
    recorded.addresses.alerts.mailTo = "";
    auto worker = std::make_unique<AlertWorker>(recorded.parts(true));
    worker->start();
    std::vector<std::thread> playbacks;
    for (int i = 0; i < 4; ++i)
        playbacks.emplace_back([&] {
            for (int j = 0; j < 5; ++j) worker->notice(failedBell(), std::chrono::steady_clock::now());
        });
    for (auto& thread : playbacks) thread.join();
    EXPECT_TRUE(testing::waitUntil([&] { return recorded.sendCount() == 20; })) << recorded.sendCount();
    const auto stopping = std::chrono::steady_clock::now();
    worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(5)) << "the stop ends the wait for the next health look";
}

TEST(AlertWorkerThread, ASendThatThrowsIsLoggedAndTheNextAlertsStillGoOut) {
    RecordedAlerts recorded;
    recorded.addresses.alerts.mailTo = "";
    AlertWorkerParts parts = recorded.parts();
    const auto send = parts.deliver;
    std::atomic<bool> thrown = false;
    parts.deliver = [&](const AlertWorkerParts::Addresses& addresses, AlertChannel channel, const AlertMessage& message) {
        if (!thrown.exchange(true)) throw std::runtime_error("no memory for the message");
        return send(addresses, channel, message);
    };
    AlertWorker worker(std::move(parts));
    worker.start();
    worker.notice(failedBell(), std::chrono::steady_clock::now());
    ASSERT_TRUE(testing::waitUntil([&] { return thrown.load(); }));
    worker.notice(failedBell(), std::chrono::steady_clock::now());
    EXPECT_TRUE(testing::waitUntil([&] { return recorded.sendCount() == 1; })) << "the worker's thread survived the exception";
}

}  // namespace
}  // namespace quorvane
