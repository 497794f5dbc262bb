#include "scheduling/record_saving.h"

#include <spdlog/spdlog.h>

#include <chrono>
#include <optional>

#include "scheduling/scheduler.h"
#include "storage/stored_records.h"

namespace quorvane {
namespace {

using SteadyClock = std::chrono::steady_clock;

// One failing save is reported at once; the same save failing again is reported at most once a minute.
class SaveFailureLog {
public:
    void failed(const std::string& text) {
        const auto now = SteadyClock::now();
        if (_lastReport && now - *_lastReport < std::chrono::minutes(1)) return;
        _lastReport = now;
        logSchedulerError(text);
    }
    void succeeded() { _lastReport.reset(); }

private:
    std::optional<SteadyClock::time_point> _lastReport;
};

template <class Wrapper>
void autoSave(Wrapper& wrapper, const char* savedLine, SaveFailureLog& failures) {
    try {
        if (wrapper.saveAuto()) spdlog::debug("{}", savedLine);
        failures.succeeded();
    } catch (const std::exception& error) {
        failures.failed(error.what());
    }
}

}  // namespace

void saveStoredRecords() {
    // Only the scheduler thread saves; the failure logs are its own.
    static SaveFailureLog dbFailures, shadowFailures, cacheFailures;
    autoSave(db, "DB saved to disk", dbFailures);
    autoSave(shadow, "Shadow updated", shadowFailures);
    autoSave(cache, "Cache saved", cacheFailures);
}

}  // namespace quorvane
