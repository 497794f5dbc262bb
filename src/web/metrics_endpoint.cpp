#include "web/metrics_endpoint.h"

#include <array>

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include "core/version.h"
#include "model/journal_entry.h"
#include "model/text.h"
#include "model/uuid.h"
#include "storage/stored_records.h"
#include "web/journal_endpoints.h"
#include "web/login_gate.h"
#include "web/login_throttle.h"

namespace quorvane::web {
namespace {

constexpr size_t TOKEN_BYTES = 24;
// A label is no place for a paragraph; the setting is cut here, not refused, so the metrics always come.
constexpr size_t MAX_PLAYER_LABEL_BYTES = 100;

using Labels = std::map<std::string, std::string>;

// Every series carries the player's name: a district's dashboards tell its players apart by it.
struct Families {
    prometheus::Registry& registry;
    Labels player;

    Labels with(Labels labels) const {
        labels.insert(player.begin(), player.end());
        return labels;
    }
    void counter(const std::string& name, const std::string& help, const Labels& labels, double value) const {
        prometheus::BuildCounter().Name(name).Help(help).Register(registry).Add(with(labels)).Increment(value);
    }
    void gauge(const std::string& name, const std::string& help, const Labels& labels, double value) const {
        prometheus::BuildGauge().Name(name).Help(help).Register(registry).Add(with(labels)).Set(value);
    }
};

int checkStateValue(HealthStatus status) { return status == HealthStatus::OK ? 0 : status == HealthStatus::WARNING ? 1 : 2; }

// Compared in time that does not depend on where the texts first differ.
bool sameSecret(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool bearerAccepted(std::string_view authorization) {
    constexpr std::string_view SCHEME = "Bearer ";
    if (authorization.substr(0, SCHEME.size()) != SCHEME) return false;
    const std::string offered(authorization.substr(SCHEME.size()));
    StateLock lock;
    const auto& token = shadow.view(lock)._metricsToken;
    return token && !token->empty() && sameSecret(offered, *token);
}

// The scheduled bells' series are there from the start, at 0: an alert rule's increase() needs a sample
// before the first missed bell to see it, above all the ones journaled right after a restart.
std::map<std::pair<std::string, std::string>, uint64_t> withScheduledBellsAtZero(std::map<std::pair<std::string, std::string>, uint64_t> bells) {
    for (PlayKind kind : {PlayKind::LESSON_START, PlayKind::LESSON_END, PlayKind::PRE_START, PlayKind::PRE_END, PlayKind::EXTRA_PLAY})
        for (PlayOutcome outcome : {PlayOutcome::RANG, PlayOutcome::FAILED, PlayOutcome::MISSED})
            bells.try_emplace({enumText(kind), enumText(outcome)}, 0);
    return bells;
}

Json tokenJson(const std::optional<std::string>& token) { return {{"token", token ? Json(*token) : Json(nullptr)}}; }

}  // namespace

std::string metricsText(const MetricsReading& reading, size_t throttledAddresses) {
    prometheus::Registry registry;
    const Families families{registry, {{"player", shortened(reading.playerName, MAX_PLAYER_LABEL_BYTES)}}};
    const auto& counts = reading.counts;

    families.gauge("quorvane_build_info", "The running program; the value is always 1.", {{"version", reading.version}}, 1);
    for (const auto& [key, count] : withScheduledBellsAtZero(counts.bells))
        families.counter("quorvane_bells_total", "Bells and other plays journaled since start, by kind and outcome.",
                         {{"kind", key.first}, {"outcome", key.second}}, static_cast<double>(count));
    if (reading.secondsSinceLastPass)
        families.gauge("quorvane_scheduler_last_pass_age_seconds", "Seconds since the scheduler's last pass (it passes every second).", {},
                       *reading.secondsSinceLastPass);
    if (reading.secondsToNextBell)
        families.gauge("quorvane_next_bell_seconds", "Seconds to the next bell today; absent when none is left today.", {},
                       static_cast<double>(*reading.secondsToNextBell));
    families.counter("quorvane_save_failures_total", "Failed saves of the stored records since start.", {}, static_cast<double>(counts.saveFailures));
    for (size_t statusClass = 1; statusClass < counts.httpAnswers.size(); ++statusClass)
        families.counter("quorvane_http_responses_total", "HTTP answers since start, by status class.",
                         {{"class", std::to_string(statusClass) + "xx"}}, static_cast<double>(counts.httpAnswers[statusClass]));
    families.counter("quorvane_failed_logins_total", "Wrong passwords since start.", {}, static_cast<double>(counts.failedLogins));
    families.gauge("quorvane_throttled_addresses", "Client addresses that must wait before their next password.", {},
                   static_cast<double>(throttledAddresses));
    if (reading.daysSinceCalendarSync)
        families.gauge("quorvane_calendar_sync_age_days", "Days since the calendar was last synchronised with the service.", {},
                       static_cast<double>(*reading.daysSinceCalendarSync));
    if (reading.calendarDaysLeft)
        families.gauge("quorvane_calendar_data_days_left", "Days the chosen region's calendar data still covers.", {},
                       static_cast<double>(*reading.calendarDaysLeft));
    for (const auto& [name, status] : reading.checks)
        families.gauge("quorvane_health_check_state", "Each health check: 0 ok, 1 warning, 2 error.", {{"check", name}}, checkStateValue(status));
    families.gauge("quorvane_active_plays", "Sounds playing now.", {}, static_cast<double>(reading.activePlays));
    return prometheus::TextSerializer().Serialize(registry.Collect());
}

Reply metrics_endpoint(RequestContext& context) {
    if (!bearerAccepted(context.request.headers.value("Authorization")) && require_login(context)) {
        Reply refused = plainText(401, "Log in, or send the metrics token as: Authorization: Bearer <token>");
        refused.headers.emplace_back("WWW-Authenticate", "Bearer");
        return refused;
    }
    MetricsReading reading = readMetrics(healthSources());
    reading.version = getVersion();
    Reply reply = plainText(200, metricsText(reading, loginThrottle.waitingAt(context.now)));
    reply.contentType = "text/plain; version=0.0.4; charset=utf-8";
    return reply;
}

Reply metrics_token(RequestContext&) {
    StateLock lock;
    return json_response(tokenJson(shadow.view(lock)._metricsToken));
}

Reply metrics_token_renew(RequestContext&) {
    StateLock lock;
    shadow.edit(lock)._metricsToken = randomHex(TOKEN_BYTES);
    return json_response(tokenJson(shadow.view(lock)._metricsToken));
}

}  // namespace quorvane::web
