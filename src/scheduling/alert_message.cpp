#include "scheduling/alert_message.h"

#include <array>
#include <cstdio>

#include "model/record.h"

namespace quorvane {
namespace {

// What a person calls the bell, as the browser app does.
std::string bellWords(const JournalEntry& entry) {
    const std::string lesson = entry.lesson >= 0 ? " of lesson " + std::to_string(entry.lesson + 1) : "";
    switch (entry.kind) {
        case PlayKind::LESSON_START: return "The start bell" + lesson;
        case PlayKind::LESSON_END: return "The end bell" + lesson;
        case PlayKind::PRE_START: return "The bell before the start" + lesson;
        case PlayKind::PRE_END: return "The bell before the end" + lesson;
        case PlayKind::EXTRA_PLAY: return "The extra play";
        default: return "The bell";
    }
}

std::string bellRemedy(const JournalEntry& entry) {
    switch (entry.reason) {
        case OutcomeReason::FILE_MISSING: return "Upload the signal's file again, or choose another signal for this bell in the timetable.";
        case OutcomeReason::SIGNAL_MISSING: return "Choose a signal for this bell in the timetable.";
        case OutcomeReason::PLAYER_NOT_STARTED: return "Install the sound players (mpg123, aplay) or check them on the health page.";
        case OutcomeReason::EXIT_STATUS:
        case OutcomeReason::KILLED_BY_SIGNAL: return "Check the sound output on the health page, then play the signal once from the dashboard.";
        case OutcomeReason::NOT_RUNNING: return "The player was not running then: keep the computer on and let the service start with it.";
        case OutcomeReason::SCHEDULER_OFF: return "The bells are switched off: switch them on from the dashboard.";
        case OutcomeReason::SKIPPED: return "The clock jumped forward past the bell: check the computer's time synchronisation.";
        default: return "Look at the journal and the health page of the player.";
    }
}

bool scheduled(PlayKind kind) {
    return kind == PlayKind::LESSON_START || kind == PlayKind::LESSON_END || kind == PlayKind::PRE_START || kind == PlayKind::PRE_END ||
           kind == PlayKind::EXTRA_PLAY;
}

// HH:MM of a journal moment (2026-12-11T08:00:00).
std::string clockOf(const std::string& moment) { return moment.size() >= 16 ? moment.substr(11, 5) : moment; }

// A header line's text as an encoded word when it holds more than printable ASCII (RFC 2047, "Q").
std::string headerText(const std::string& text) {
    bool plain = true;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) plain = false;
    if (plain) return text;
    std::string encoded = "=?UTF-8?Q?";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) {
            encoded += c;
        } else if (byte == ' ') {
            encoded += '_';
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "=%02X", byte);
            encoded += hex;
        }
    }
    return encoded + "?=";
}

// A body line never starts with a lone "." (the SMTP end of data) and has no bare line breaks.
std::string bodyText(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text.empty() || text.front() != '.' ? text : " " + text;
}

std::string subjectOf(const AlertMessage& alert, const std::string& player) {
    const std::string where = player.empty() ? "Quorvane Player" : player;
    if (alert.event == "bellFailed") return where + ": a bell failed";
    if (alert.event == "bellMissed") return where + ": a bell was missed";
    if (alert.event == "checkError") return where + ": a health check is in error";
    if (alert.event == "checkRecovered") return where + ": a health check is fine again";
    return where + ": test alert";
}

}  // namespace

std::optional<AlertMessage> bellAlert(const JournalEntry& entry) {
    if (!scheduled(entry.kind) || entry.reason == OutcomeReason::EMERGENCY) return std::nullopt;
    if (entry.outcome != PlayOutcome::FAILED && entry.outcome != PlayOutcome::MISSED) return std::nullopt;
    const bool failed = entry.outcome == PlayOutcome::FAILED;
    AlertMessage alert;
    alert.event = failed ? "bellFailed" : "bellMissed";
    alert.time = entry.due;
    alert.about = {{"bell", to_dict(entry)}};
    const std::string timetable = entry.timetableName.empty() ? "" : " (" + entry.timetableName + ")";
    alert.message = bellWords(entry) + " at " + clockOf(entry.due) + timetable + (failed ? " failed" : " was missed") +
                    (entry.detail.empty() ? "." : ": " + entry.detail + ".");
    alert.remedy = bellRemedy(entry);
    return alert;
}

AlertMessage testAlert(const std::string& time) {
    AlertMessage alert;
    alert.event = "test";
    alert.time = time;
    alert.message = "A test alert, sent from the settings page: alerts reach this address.";
    return alert;
}

std::vector<AlertMessage> HealthWatch::look(const std::vector<HealthCheck>& checks, const std::string& time) {
    std::vector<AlertMessage> changes;
    for (const HealthCheck& check : checks) {
        const auto last = _last.find(check.name);
        const bool wasError = last != _last.end() && last->second == HealthStatus::ERROR;
        const bool isError = check.status == HealthStatus::ERROR;
        _last[check.name] = check.status;
        if (wasError == isError) continue;
        AlertMessage alert;
        alert.event = isError ? "checkError" : "checkRecovered";
        alert.time = time;
        alert.about = {{"check", to_dict(check)}};
        alert.message = check.message;
        alert.remedy = isError ? check.remedy : "";
        changes.push_back(std::move(alert));
    }
    return changes;
}

std::string webhookJson(const AlertMessage& alert, const std::string& player) {
    Json json = {{"event", alert.event}, {"player", player}, {"time", alert.time}};
    for (const auto& [key, value] : alert.about.items()) json[key] = value;
    json["message"] = alert.message;
    json["remedy"] = alert.remedy;
    return toJsonText(json);
}

std::string alertMail(const AlertMessage& alert, const std::string& player, const MailHeaders& headers) {
    std::string mail = "From: Quorvane Player <" + headers.from + ">\r\n";
    mail += "To: <" + headers.to + ">\r\n";
    mail += "Subject: " + headerText(subjectOf(alert, player)) + "\r\n";
    mail += "Date: " + headers.date + "\r\n";
    mail += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
    mail += bodyText(alert.message) + "\r\n";
    if (!alert.remedy.empty()) mail += "\r\n" + bodyText("What to do: " + alert.remedy) + "\r\n";
    mail += "\r\n" + bodyText("Player: " + (player.empty() ? std::string("(no name set)") : player) + ", at " + alert.time) + "\r\n";
    return mail;
}

std::string mailDate(int64_t secondsSinceEpoch, int64_t utcOffsetSeconds) {
    static constexpr std::array<const char*, 7> DAYS = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr std::array<const char*, 12> MONTHS = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const struct_time local = wallReading(secondsSinceEpoch + utcOffsetSeconds);
    const int64_t offsetMinutes = (utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", DAYS[static_cast<size_t>(local.tm_wday) % 7], local.tm_mday,
                  MONTHS[static_cast<size_t>(local.tm_mon - 1) % 12], local.tm_year, local.tm_hour, local.tm_min, local.tm_sec,
                  utcOffsetSeconds < 0 ? '-' : '+', static_cast<int>(offsetMinutes / 60), static_cast<int>(offsetMinutes % 60));
    return text;
}

}  // namespace quorvane
