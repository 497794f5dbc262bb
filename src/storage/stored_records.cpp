#include "storage/stored_records.h"

#include <spdlog/spdlog.h>

#include <chrono>

#include "app/paths.h"
#include "scheduling/scheduler.h"

namespace quorvane {

// Created when the program is loaded, in this order, with default content; nothing is read yet.
StorageWrapper<Cache> cache;
StorageWrapper<DB> db;
StorageWrapper<Shadow> shadow;

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

void loadStoredRecords() {
    if (!db.load(getUserFilePath(DB_FILE_NAME))) {
        spdlog::info("Falling back to factory default config");
        StateLock lock;
        db->loadFactoryDefault();
    }
    shadow.load(getUserFilePath(SHADOW_FILE_NAME));
    cache.load(getUserFilePath(CACHE_FILE_NAME));
}

void saveStoredRecords() {
    // Only the scheduler thread saves; the failure logs are its own.
    static SaveFailureLog dbFailures, shadowFailures, cacheFailures;
    autoSave(db, "DB saved to disk", dbFailures);
    autoSave(shadow, "Shadow updated", shadowFailures);
    autoSave(cache, "Cache saved", cacheFailures);
}

std::string sessionSigningKey() {
    std::string salt;
    bool created = false;
    {
        StateLock lock;
        created = !shadow.view()._salt || shadow.view()._salt->empty();
        salt = shadow->getCurrentSalt();
    }
    if (created) shadow.saveForce();
    return salt;
}

}  // namespace quorvane
