#pragma once
// Calendar dates in the text form of the calendar data (2024-09-02) and as day numbers (days since
// 1970-01-01), for counting days and ranges.
#include <cstdint>
#include <optional>
#include <string>

#include "model/time_reading.h"

namespace quorvane {

// The day number of a text of exactly the form 2024-09-02 naming a real date; absent otherwise.
std::optional<int64_t> parseDate(const std::string& text);
std::string dateText(int64_t dayNumber);
int64_t dayNumberOf(const struct_time& reading);
// The reading at 00:00:00 of the day, with its weekday and day of the year.
struct_time midnightOf(int64_t dayNumber);

}  // namespace quorvane
