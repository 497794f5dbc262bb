#include "model/tm_conversions.h"

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

}  // namespace quorvane
