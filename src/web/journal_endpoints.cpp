#include "web/journal_endpoints.h"

#include <mutex>

#include "core/clock.h"
#include "model/journal_entry.h"
#include "scheduling/bell_journal.h"
#include "storage/journal_files.h"

namespace quorvane::web {
namespace {

std::mutex sourcesMutex;
std::optional<HealthSources> installedSources;

HealthSources healthSources() {
    std::lock_guard lock(sourcesMutex);
    return installedSources ? *installedSources : HealthSources::ofThisProcess();
}

}  // namespace

void setHealthSources(std::optional<HealthSources> sources) {
    std::lock_guard lock(sourcesMutex);
    installedSources = std::move(sources);
}

Json journalDay(const std::filesystem::path& folder, const std::string& date) {
    JournalSummary summary;
    Json entries = Json::array();
    for (const JournalEntry& entry : readJournalDay(folder, date)) {
        summary.count(entry);
        entries.push_back(to_dict(entry));
    }
    Json result = Json::object();
    result["date"] = date;
    result["entries"] = std::move(entries);
    result["summary"] = to_dict(summary);
    return result;
}

Reply journal_endpoint(RequestContext& context) {
    const std::string date = context.query("date").value_or(getDateString());
    // Checked before it names a file: only a real date does.
    if (!parseDateText(date)) return BadRequest("Bad date: use the form 2024-09-02");
    return json_response(journalDay(journalFolder(), date));
}

Reply health_endpoint(RequestContext&) {
    Json checks = Json::array();
    for (const HealthCheck& check : runHealthChecks(healthSources())) checks.push_back(to_dict(check));
    return json_response(checks);
}

Reply healthz(RequestContext&) {
    const std::string word = monitoringWord(healthSources());
    return plainText(word == "ok" ? 200 : 503, word);
}

}  // namespace quorvane::web
