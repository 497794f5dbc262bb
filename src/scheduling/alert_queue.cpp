#include "scheduling/alert_queue.h"

#include <algorithm>

namespace quorvane {

bool AlertQueue::add(AlertMessage message, AlertChannel channel, Time now) {
    if (_waiting.size() >= CAPACITY) return false;
    _waiting.push_back({std::move(message), channel, 0, now});
    return true;
}

std::vector<AlertQueue::Delivery> AlertQueue::takeDue(Time now) {
    std::vector<Delivery> due;
    for (auto it = _waiting.begin(); it != _waiting.end();) {
        if (it->due <= now) {
            due.push_back(std::move(*it));
            it = _waiting.erase(it);
        } else {
            ++it;
        }
    }
    return due;
}

bool AlertQueue::retry(Delivery delivery, Time now) {
    if (delivery.attempts >= MAX_ATTEMPTS || delivery.attempts < 1) return false;
    // A retry keeps its place even when the queue filled up meanwhile: it was admitted once.
    delivery.due = now + RETRY_AFTER[static_cast<size_t>(delivery.attempts - 1)];
    _waiting.push_back(std::move(delivery));
    return true;
}

std::optional<AlertQueue::Time> AlertQueue::nextDue() const {
    if (_waiting.empty()) return std::nullopt;
    return std::min_element(_waiting.begin(), _waiting.end(), [](const Delivery& a, const Delivery& b) { return a.due < b.due; })->due;
}

}  // namespace quorvane
