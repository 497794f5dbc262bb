#pragma once
// An alert worker's parts for a test: addresses it chooses, sends that are recorded and fail as told,
// a journal that keeps the notes, health checks it scripts and a fixed wall clock.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "scheduling/alert_worker.h"

namespace quorvane::testing {

struct RecordedAlerts {
    struct Send {
        AlertChannel channel;
        AlertMessage message;
    };
    mutable std::mutex mutex;
    AlertWorkerParts::Addresses addresses{{"http://127.0.0.1:9/hook", "it@district.example", "", "smtp://127.0.0.1:9"}, "North building"};
    std::vector<Send> sends;
    std::vector<JournalEntry> notes;
    std::deque<DeliveryOutcome> outcomes;  // the next sends' outcomes; sent when none is left
    std::vector<HealthCheck> checks;
    int healthLooks = 0;

    AlertWorkerParts parts(bool watchHealth = false) {
        AlertWorkerParts parts;
        parts.addresses = [this] {
            std::lock_guard lock(mutex);
            return addresses;
        };
        parts.deliver = [this](const AlertWorkerParts::Addresses&, AlertChannel channel, const AlertMessage& message) {
            std::lock_guard lock(mutex);
            sends.push_back({channel, message});
            if (outcomes.empty()) return DeliveryOutcome{true, ""};
            const DeliveryOutcome next = outcomes.front();
            outcomes.pop_front();
            return next;
        };
        parts.journal = [this](JournalEntry note) {
            std::lock_guard lock(mutex);
            notes.push_back(std::move(note));
        };
        parts.wallNow = [] { return std::string("2026-12-11T08:00:05"); };
        if (watchHealth)
            parts.healthChecks = [this] {
                std::lock_guard lock(mutex);
                healthLooks += 1;
                return checks;
            };
        return parts;
    }
    size_t sendCount() const {
        std::lock_guard lock(mutex);
        return sends.size();
    }
};

inline JournalEntry failedBell() {
    JournalEntry entry;
    entry.due = "2026-12-11T08:00:00";
    entry.kind = PlayKind::LESSON_START;
    entry.outcome = PlayOutcome::FAILED;
    entry.reason = OutcomeReason::EXIT_STATUS;
    entry.lesson = 0;
    return entry;
}

}  // namespace quorvane::testing
