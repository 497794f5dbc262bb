#include "core/event_counts.h"

#include <atomic>
#include <mutex>

namespace quorvane {
namespace {

// The answers and logins come with every request: atomics, no lock. Bells are few, and their labels
// need a map: a leaf lock of its own (see core/state_lock.h).
std::atomic<uint64_t> saveFailures{0};
std::array<std::atomic<uint64_t>, 6> httpAnswers{};
std::atomic<uint64_t> failedLogins{0};
std::mutex bellsMutex;
std::map<std::pair<std::string, std::string>, uint64_t> bells;

}  // namespace

void EventCounts::bell(std::string_view kind, std::string_view outcome) {
    std::lock_guard lock(bellsMutex);
    ++bells[{std::string(kind), std::string(outcome)}];
}

void EventCounts::saveFailure() { saveFailures.fetch_add(1, std::memory_order_relaxed); }

void EventCounts::httpAnswer(int status) {
    const int statusClass = status / 100;
    if (statusClass >= 1 && statusClass <= 5) httpAnswers[statusClass].fetch_add(1, std::memory_order_relaxed);
}

void EventCounts::failedLogin() { failedLogins.fetch_add(1, std::memory_order_relaxed); }

EventCountsReading EventCounts::read() {
    EventCountsReading reading;
    {
        std::lock_guard lock(bellsMutex);
        reading.bells = bells;
    }
    reading.saveFailures = saveFailures.load(std::memory_order_relaxed);
    for (size_t i = 0; i < httpAnswers.size(); ++i) reading.httpAnswers[i] = httpAnswers[i].load(std::memory_order_relaxed);
    reading.failedLogins = failedLogins.load(std::memory_order_relaxed);
    return reading;
}

}  // namespace quorvane
