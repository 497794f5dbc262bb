#pragma once
// What an alert says: made from a bell the journal reports as failed or missed, from a health check
// turning to error and back, or on request as a test; written as the webhook's JSON and as a mail.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/journal_entry.h"
#include "model/json_text.h"
#include "scheduling/health_checks.h"

namespace quorvane {

struct AlertMessage {
    std::string event;            // "bellFailed", "bellMissed", "checkError", "checkRecovered" or "test"
    std::string time;             // when it happened, local time: 2026-12-11T08:00:03
    Json about = Json::object();  // {"bell": <journal entry>} or {"check": <health check>}
    std::string message;
    std::string remedy;

    bool operator==(const AlertMessage&) const = default;
};

// None for a bell that rang, a note, a sound nobody scheduled (a person who pressed a button sees its
// failure) and a bell an emergency routine silenced on purpose.
std::optional<AlertMessage> bellAlert(const JournalEntry& entry);

AlertMessage testAlert(const std::string& time);

// Remembers each check's last state and tells what changed: a check that turns to error, and one in error
// that is no longer. The first look reports the checks already in error (the player just started).
class HealthWatch {
public:
    std::vector<AlertMessage> look(const std::vector<HealthCheck>& checks, const std::string& time);

private:
    std::map<std::string, HealthStatus> _last;
};

// {"event", "player", "time", "bell" or "check", "message", "remedy"}.
std::string webhookJson(const AlertMessage& alert, const std::string& player);

struct MailHeaders {
    std::string from;
    std::string to;
    std::string date;  // as a mail writes it: Fri, 11 Dec 2026 08:00:03 +0100
};
// The whole mail with CRLF line ends. The player's name and the subject are encoded for the header line,
// so no text of the settings or the journal can start a header line of its own.
std::string alertMail(const AlertMessage& alert, const std::string& player, const MailHeaders& headers);

// A moment as a mail's Date line writes it, in the local time of the given offset from UTC.
std::string mailDate(int64_t secondsSinceEpoch, int64_t utcOffsetSeconds);

}  // namespace quorvane
