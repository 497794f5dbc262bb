#pragma once
// Sends the alerts from a thread of its own: a bell the journal reports as failed or missed, and a health
// check turning to error or recovering (looked at every HEALTH_LOOK_INTERVAL). Nothing here runs on the
// scheduler's pass: noticing an entry only queues it. Every attempt is noted in the journal.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/alert_settings.h"
#include "model/journal_entry.h"
#include "remote/alert_delivery.h"
#include "scheduling/alert_message.h"
#include "scheduling/alert_queue.h"
#include "scheduling/health_checks.h"

namespace quorvane {

// What a worker is made of; the defaults are those of the running process, tests replace them.
struct AlertWorkerParts {
    struct Addresses {
        AlertSettings alerts;
        std::string player;
    };
    // Takes the state lock itself; called with no lock held.
    std::function<Addresses()> addresses;
    std::function<DeliveryOutcome(const Addresses&, AlertChannel, const AlertMessage&)> deliver;
    std::function<std::vector<HealthCheck>()> healthChecks;  // empty: no check is watched
    std::function<void(JournalEntry)> journal;
    std::function<std::string()> wallNow;  // a journal moment, local time

    // Real sends, the settings of db, the journal sink; no health checks (the caller knows its sources).
    static AlertWorkerParts ofThisProcess();
};

struct TestAlertResult {
    AlertChannel channel;
    DeliveryOutcome outcome;
};
// Sends a test alert on every way that is set, once each and at once, from the calling thread (with no
// lock held), and notes each attempt in the journal. Empty when no way is set.
std::vector<TestAlertResult> sendTestAlert(const AlertWorkerParts& parts);

class AlertWorker {
public:
    using Time = AlertQueue::Time;
    static constexpr std::chrono::seconds HEALTH_LOOK_INTERVAL{30};
    // The checks settle after start-up (the scheduler's first pass, the first calendar sync) before the
    // first look.
    static constexpr std::chrono::seconds FIRST_HEALTH_LOOK_AFTER{60};

    explicit AlertWorker(AlertWorkerParts parts);
    // Stops the thread when it was started; a send in progress ends within its time limit.
    ~AlertWorker();
    AlertWorker(const AlertWorker&) = delete;
    AlertWorker& operator=(const AlertWorker&) = delete;

    void start();
    // Queues an alert for the entry when it calls for one; never blocks on the network or the state lock.
    void notice(const JournalEntry& entry, Time now);
    // One round at a moment: the health look when due, then the deliveries due. The thread runs it; tests
    // call it with the times they choose. A stop requested ends it between two sends.
    void step(Time now, std::stop_token stop = {});
    // Deliveries waiting, for tests and the log.
    size_t waiting() const;

private:
    void run(std::stop_token stop);
    void queue(const AlertMessage& message, Time now);
    void attempt(AlertQueue::Delivery delivery, const AlertWorkerParts::Addresses& addresses, Time now);

    const AlertWorkerParts _parts;
    HealthWatch _watch;  // only the stepping thread touches it
    // Leaf lock of the queue and the next health look (see core/state_lock.h).
    mutable std::mutex _mutex;
    std::condition_variable_any _wake;
    AlertQueue _queue;
    std::optional<Time> _nextHealthLook;
    bool _dropping = false;
    std::jthread _thread;
};

// The process's worker: bells noticed by the journal go to it. Null uninstalls.
void installAlertWorker(std::shared_ptr<AlertWorker> worker);
void noticeForAlerts(const JournalEntry& entry);

// How a channel is named in the journal and on the settings page: "webhook", "mail".
const char* channelName(AlertChannel channel);

}  // namespace quorvane
