#include "model/calendar_date.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(CalendarDate, OnlyRealDatesInTheExactFormParse) {
    EXPECT_EQ(parseDate("1970-01-01"), 0);
    EXPECT_EQ(parseDate("2024-02-29"), parseDate("2024-02-28").value() + 1);
    EXPECT_EQ(parseDate("2024-03-01"), parseDate("2024-02-29").value() + 1);
    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-00-10", "2024-04-31", "2024-9-02", "2024-09-2", "20240902", " 2024-09-02",
                            "2024-09-02 ", "2024/09/02", "2024-09-0x", "", "+024-09-02"})
        EXPECT_FALSE(parseDate(bad).has_value()) << bad;
}

TEST(CalendarDate, DayNumbersRoundTripWithWeekdayAndDayOfYear) {
    const int64_t monday = parseDate("2024-09-02").value();
    EXPECT_EQ(dateText(monday), "2024-09-02");
    EXPECT_EQ(dateText(monday + 120), "2024-12-31");
    EXPECT_EQ(dateText(monday + 121), "2025-01-01");
    const struct_time midnight = midnightOf(monday + 6);
    EXPECT_EQ(midnight.tm_wday, 6) << "Sunday";
    EXPECT_EQ(midnight.tm_yday, 252);
    EXPECT_EQ(midnight.tm_hour, 0);
    struct_time evening = midnightOf(monday);
    evening.tm_hour = 23;
    evening.tm_min = 59;
    EXPECT_EQ(dayNumberOf(evening), monday);
    EXPECT_EQ(dayNumberOf(midnightOf(-1)), -1) << "before 1970 too";
}

}  // namespace
}  // namespace quorvane
