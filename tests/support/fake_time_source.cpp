#include "support/fake_time_source.h"

#include <ctime>

namespace quorvane::testing {

struct_time reading(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    const std::time_t moment = timegm(&tm);
    std::tm normalised{};
    gmtime_r(&moment, &normalised);
    struct_time result;
    result.tm_year = normalised.tm_year + 1900;
    result.tm_mon = normalised.tm_mon + 1;
    result.tm_mday = normalised.tm_mday;
    result.tm_hour = normalised.tm_hour;
    result.tm_min = normalised.tm_min;
    result.tm_sec = normalised.tm_sec;
    result.tm_wday = (normalised.tm_wday + 6) % 7;
    result.tm_yday = normalised.tm_yday + 1;
    return result;
}

}  // namespace quorvane::testing
