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

}  // namespace

HealthSources healthSources() {
    std::lock_guard lock(sourcesMutex);
    return installedSources ? *installedSources : HealthSources::ofThisProcess();
}

void setHealthSources(std::optional<HealthSources> sources) {
    std::lock_guard lock(sourcesMutex);
    installedSources = std::move(sources);
}

std::string journalDayText(const std::filesystem::path& folder, const std::string& date) {
    // The lines are the entries' JSON as the record wrote it: a full day is answered by putting them
    // together, not by decoding and encoding each again.
    const std::string file = readJournalText(folder, date);
    const std::vector<JournalLine> lines = scanJournalLines(file);
    JournalSummary summary;
    std::string text = "{\"date\": " + toJsonText(date) + ", \"entries\": [";
    text.reserve(file.size() + 256);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += ", ";
        text += lines[i].text;
        for (const auto& [outcome, name] : EnumTexts<PlayOutcome>::values)
            if (lines[i].outcome == name) summary.count(outcome);
    }
    text += "], \"summary\": " + to_json(summary) + "}";
    return text;
}

Reply journal_endpoint(RequestContext& context) {
    const std::string date = context.query("date").value_or(getDateString());
    // Checked before it names a file: only a real date does.
    if (!parseDateText(date)) return BadRequest("Bad date: use the form 2024-09-02");
    return jsonTextResponse(journalDayText(journalFolder(), date));
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
