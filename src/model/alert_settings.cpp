#include "model/alert_settings.h"

#include <string_view>

namespace quorvane {
namespace {

constexpr size_t MAX_URL_BYTES = 2000;
constexpr size_t MAX_ADDRESS_BYTES = 254;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// No spaces, no control characters (a line break would start a new header line), printable ASCII only.
bool plainAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) return false;
    return true;
}

// What follows the scheme: a host (name, IPv4 or bracketed IPv6), perhaps a port, and no user name or
// password (the settings, shown on the settings page and kept in backups, are no place for a secret).
bool hasHost(std::string_view url, std::string_view scheme) {
    const std::string_view rest = url.substr(scheme.size());
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    return !authority.empty() && authority.front() != ':' && authority.find('@') == std::string_view::npos;
}

std::optional<std::string> urlProblem(std::string_view url, std::initializer_list<std::string_view> schemes, std::string_view what) {
    if (url.size() > MAX_URL_BYTES) return "at most " + std::to_string(MAX_URL_BYTES) + " bytes";
    if (!plainAscii(url)) return std::string("no spaces or other characters than printable ASCII");
    for (const std::string_view scheme : schemes)
        if (startsWith(url, scheme)) return hasHost(url, scheme) ? std::nullopt : std::optional<std::string>("a host after " + std::string(scheme));
    return std::string("an address starting with ") + std::string(what);
}

std::optional<std::string> addressProblem(std::string_view address) {
    if (address.size() > MAX_ADDRESS_BYTES) return "at most " + std::to_string(MAX_ADDRESS_BYTES) + " bytes";
    const size_t at = address.find('@');
    if (!plainAscii(address) || at == 0 || at == std::string_view::npos || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string_view::npos || address.find_first_of("<>,;\"()[]\\") != std::string_view::npos)
        return std::string("one address, such as caretaker@school.example");
    return std::nullopt;
}

}  // namespace

std::optional<std::string> alertSettingsProblem(const AlertSettings& settings) {
    const auto named = [](const char* member, const std::optional<std::string>& problem) -> std::optional<std::string> {
        if (!problem) return std::nullopt;
        return std::string(member) + ": expected " + *problem;
    };
    if (settings.webhookSet())
        if (auto problem = named("webhookUrl", urlProblem(settings.webhookUrl, {"http://", "https://"}, "http:// or https://"))) return problem;
    if (settings.mailSet())
        if (auto problem = named("mailTo", addressProblem(settings.mailTo))) return problem;
    if (!settings.mailFrom.empty())
        if (auto problem = named("mailFrom", addressProblem(settings.mailFrom))) return problem;
    if (!settings.smtpServer.empty())
        if (auto problem = named("smtpServer", urlProblem(settings.smtpServer, {"smtp://", "smtps://"}, "smtp:// or smtps://"))) return problem;
    if (settings.mailSet() && settings.smtpServer.empty()) return std::string("smtpServer: expected the SMTP server that sends the mail");
    return std::nullopt;
}

}  // namespace quorvane
