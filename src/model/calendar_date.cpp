#include "model/calendar_date.h"

#include <chrono>

#include "model/time_values.h"

namespace quorvane {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int number(const std::string& text, size_t from, size_t count) {
    int value = 0;
    for (size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

}  // namespace

std::optional<int64_t> parseDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (const size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!isDigit(text[i])) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(number(text, 0, 4)), std::chrono::month(static_cast<unsigned>(number(text, 5, 2))),
                                           std::chrono::day(static_cast<unsigned>(number(text, 8, 2)))};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days(date).time_since_epoch().count();
}

std::string dateText(int64_t dayNumber) { return dateStringOf(midnightOf(dayNumber)); }

int64_t dayNumberOf(const struct_time& reading) {
    const int64_t seconds = wallSeconds(reading);
    return seconds >= 0 ? seconds / SECONDS_IN_A_DAY : -((-seconds + SECONDS_IN_A_DAY - 1) / SECONDS_IN_A_DAY);
}

struct_time midnightOf(int64_t dayNumber) { return wallReading(dayNumber * SECONDS_IN_A_DAY); }

}  // namespace quorvane
