#include "scheduling/record_saving.h"

#include <chrono>
#include <mutex>
#include <optional>

#include <spdlog/spdlog.h>

#include "core/event_counts.h"
#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

using SteadyClock = std::chrono::steady_clock;

// One failing save is reported at once; the same save failing again is reported at most once a minute.
// Leaf lock of the failing saves' texts, which the health view reads from other threads.
std::mutex failuresMutex;

class SaveFailureLog {
public:
    void failed(const std::string& text) {
        EventCounts::saveFailure();
        {
            std::lock_guard lock(failuresMutex);
            _error = text;
        }
        const auto now = SteadyClock::now();
        if (_lastReport && now - *_lastReport < std::chrono::minutes(1)) return;
        _lastReport = now;
        logSchedulerError(text);
    }
    void succeeded() {
        _lastReport.reset();
        std::lock_guard lock(failuresMutex);
        _error.reset();
    }
    std::optional<std::string> error() const {
        std::lock_guard lock(failuresMutex);
        return _error;
    }

private:
    std::optional<SteadyClock::time_point> _lastReport;
    std::optional<std::string> _error;
};

SaveFailureLog dbFailures, shadowFailures, cacheFailures;

// Every write logs its own line (storage_wrapper.h), whoever makes it.
template <class Wrapper>
void autoSave(Wrapper& wrapper, SaveFailureLog& failures) {
    try {
        wrapper.saveAuto();
        failures.succeeded();
    } catch (const std::exception& error) {
        failures.failed(error.what());
    }
}

}  // namespace

void saveStoredRecords() {
    autoSave(db, dbFailures);
    autoSave(shadow, shadowFailures);
    autoSave(cache, cacheFailures);
}

std::optional<std::string> lastSaveError() {
    for (const SaveFailureLog* log : {&dbFailures, &shadowFailures, &cacheFailures})
        if (auto error = log->error()) return error;
    return std::nullopt;
}

}  // namespace quorvane
