#pragma once
// Where the player sends word of a bell that did not ring or a health check in error: a webhook, and a
// mail through the school's SMTP server. Empty texts mean "not this way".
#include <optional>
#include <string>
#include <tuple>

#include "model/record.h"

namespace quorvane {

struct AlertSettings {
    std::string webhookUrl;  // http:// or https://; the message is POSTed to it as JSON
    std::string mailTo;      // one address
    std::string mailFrom;    // the sender the SMTP server is told; empty for DEFAULT_ALERT_SENDER
    std::string smtpServer;  // smtp://host[:port] (STARTTLS when the server offers it) or smtps://host[:port]

    bool webhookSet() const { return !webhookUrl.empty(); }
    bool mailSet() const { return !mailTo.empty(); }

    static constexpr auto fields() {
        return std::tuple{field("webhookUrl", &AlertSettings::webhookUrl), field("mailTo", &AlertSettings::mailTo),
                          field("mailFrom", &AlertSettings::mailFrom), field("smtpServer", &AlertSettings::smtpServer)};
    }
};

inline constexpr const char* DEFAULT_ALERT_SENDER = "quorvane-player@localhost";

// The first thing wrong with the settings, naming the member ("webhookUrl: ..."); none when they can be
// used. Addresses are checked strictly: they end up in a mail's header lines and in a request line.
std::optional<std::string> alertSettingsProblem(const AlertSettings& settings);

}  // namespace quorvane
