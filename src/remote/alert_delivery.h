#pragma once
// Sends one alert on its way: a JSON POST to a webhook, or a mail through an SMTP server. Each call
// blocks until the receiver has answered, failed or run out of time; the alert worker calls it from a
// thread of its own, never from the scheduler's pass or under the state lock.
#include <chrono>
#include <string>
#include <vector>

namespace quorvane {

struct DeliveryOutcome {
    bool sent = false;
    std::string error;  // what went wrong, for the journal and the settings page; empty when sent
};

inline constexpr std::chrono::seconds ALERT_SEND_TIME_LIMIT{15};

// Any 2xx answer counts as sent; redirects are not followed, and at most 64 KiB of the answer are read.
DeliveryOutcome postJsonToWebhook(const std::string& url, const std::string& json, std::chrono::milliseconds timeLimit = ALERT_SEND_TIME_LIMIT);

struct MailDelivery {
    std::string server;  // smtp://host[:port] (STARTTLS when offered) or smtps://host[:port]
    std::string from;
    std::string to;
    std::string message;  // the whole mail, header lines and body, with CRLF line ends
};
DeliveryOutcome sendMail(const MailDelivery& mail, std::chrono::milliseconds timeLimit = ALERT_SEND_TIME_LIMIT);

}  // namespace quorvane
