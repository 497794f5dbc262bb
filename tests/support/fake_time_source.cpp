#include "support/fake_time_source.h"

namespace quorvane::testing {

struct_time reading(int year, int month, int day, int hour, int minute, int second) {
    struct_time fields;
    fields.tm_year = year;
    fields.tm_mon = month;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return wallReading(wallSeconds(fields));
}

}  // namespace quorvane::testing
