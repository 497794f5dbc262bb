#pragma once
// The alerts waiting to be sent, each on one way (webhook or mail), with its retries: a failed send is
// tried again after 1, 5 and 30 minutes, then given up. Holds no lock and reads no clock: the alert
// worker owns it and passes the time in.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "scheduling/alert_message.h"

namespace quorvane {

enum class AlertChannel { WEBHOOK, MAIL };

class AlertQueue {
public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr std::array<std::chrono::minutes, 3> RETRY_AFTER{std::chrono::minutes(1), std::chrono::minutes(5), std::chrono::minutes(30)};
    static constexpr int MAX_ATTEMPTS = static_cast<int>(RETRY_AFTER.size()) + 1;
    // A flood (every bell of a day failing with the sound card gone) must not grow without end.
    static constexpr size_t CAPACITY = 200;

    struct Delivery {
        AlertMessage message;
        AlertChannel channel = AlertChannel::WEBHOOK;
        int attempts = 0;  // made so far
        Time due;
    };

    // False when the queue is full: the delivery is dropped.
    bool add(AlertMessage message, AlertChannel channel, Time now);
    // Takes the deliveries due by now, oldest first.
    std::vector<Delivery> takeDue(Time now);
    // After a failed attempt: queued again for its next try, or given up (false) after the last.
    bool retry(Delivery delivery, Time now);
    // When the next delivery is due; none when the queue is empty.
    std::optional<Time> nextDue() const;
    size_t size() const { return _waiting.size(); }

private:
    std::deque<Delivery> _waiting;
};

}  // namespace quorvane
