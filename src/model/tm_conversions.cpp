#include "model/tm_conversions.h"

#include <cstdio>

namespace quorvane {

std::tm localTmOf(std::time_t seconds) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &seconds);
#else
    localtime_r(&seconds, &tm);
#endif
    return tm;
}

std::tm utcTmOf(std::time_t seconds) {
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &seconds);
#else
    gmtime_r(&seconds, &tm);
#endif
    return tm;
}

std::time_t utcSecondsOf(std::tm tm) {
#ifdef _WIN32
    return _mkgmtime(&tm);
#else
    return timegm(&tm);
#endif
}

std::time_t localSecondsOf(std::tm tm) { return std::mktime(&tm); }

std::string timeZoneText(std::time_t seconds) {
    const std::tm local = localTmOf(seconds);
    const long long offset = static_cast<long long>(utcSecondsOf(local) - seconds);
    const long long minutes = (offset < 0 ? -offset : offset) / 60;
    char text[32];
    std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    char name[64] = "";
    std::strftime(name, sizeof name, "%Z", &local);
    return name[0] ? std::string(name) + ", " + text : std::string(text);
}

}  // namespace quorvane
