#include "model/time_values.h"

#include <gtest/gtest.h>

#include "model/errors.h"
#include "model/time_reading.h"

namespace quorvane {
namespace {

TEST(TimeOfDayText, WritesSecondsOnlyWhenPresent) {
    EXPECT_EQ(TimeOfDay(7, 0, 0).asString(), "07:00");
    EXPECT_EQ(TimeOfDay(7, 0, 9).asString(), "07:00:09");
    EXPECT_EQ(TimeOfDay(8, 5, 30).asString(), "08:05:30");
    EXPECT_EQ(TimeOfDay().asString(), "00:00");
    EXPECT_EQ(TimeOfDay::encode(TimeOfDay(23, 59, 59)), "23:59:59");
}

TEST(TimeOfDayText, OutOfRangeFieldsBuiltDirectlyAreWrittenWhole) {
    EXPECT_EQ(TimeOfDay(-1, 5).asString(), "-1:05");
    EXPECT_EQ(TimeOfDay(123, 0).asString(), "123:00");
}

TEST(TimeOfDayDecode, AcceptsLooseButValidTexts) {
    EXPECT_EQ(TimeOfDay::decode("07:00:00"), TimeOfDay(7, 0, 0));
    EXPECT_EQ(TimeOfDay::decode("07:00:00").asString(), "07:00");
    EXPECT_EQ(TimeOfDay::decode("  7:5 "), TimeOfDay(7, 5));
    EXPECT_EQ(TimeOfDay::decode("8 : 05"), TimeOfDay(8, 5));
    EXPECT_EQ(TimeOfDay::decode("23:59:59"), TimeOfDay(23, 59, 59));
    EXPECT_EQ(TimeOfDay::decode("+08:007"), TimeOfDay(8, 7));
    EXPECT_EQ(TimeOfDay::decode("10:20:30:99"), TimeOfDay(10, 20, 30));  // extra components are ignored
}

TEST(TimeOfDayDecode, RefusesInvalidTexts) {
    for (const char* text : {"23:60", "-1:00", "12", "ab:cd", "24:00", "", ":", "12:", "12:30:60", "1.5:00", "12:30:x"})
        EXPECT_THROW(TimeOfDay::decode(text), ValueError) << text;
}

TEST(TimeOfDayArithmetic, SecondsOfDayWrapOverMidnight) {
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(86400), TimeOfDay(0, 0));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(-1), TimeOfDay(23, 59, 59));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(-60), TimeOfDay(23, 59));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(90000), TimeOfDay(1, 0));
    EXPECT_EQ(TimeOfDay::fromSecondsOfDay(3 * 86400 + 3661), TimeOfDay(1, 1, 1));
    EXPECT_EQ(TimeOfDay(10, 11, 12).toSecondsOfDay(), 36672);
}

TEST(TimeOfDayArithmetic, MinusMinutesWrapsBothWays) {
    EXPECT_EQ(TimeOfDay(0, 2).minusMinutes(5), TimeOfDay(23, 57));
    EXPECT_EQ(TimeOfDay(0, 3).minusMinutes(5), TimeOfDay(23, 58));
    EXPECT_EQ(TimeOfDay(23, 58).minusMinutes(-5), TimeOfDay(0, 3));
    EXPECT_EQ(TimeOfDay(8, 0).minusMinutes(0), TimeOfDay(8, 0));
    EXPECT_EQ(TimeOfDay(8, 0, 30).minusMinutes(1), TimeOfDay(7, 59, 30));
}

TEST(TimeOfDayEquality, ComparesWithTheClockToTheSecond) {
    struct_time clock;
    clock.tm_hour = 8;
    EXPECT_TRUE(TimeOfDay(8, 0) == clock);
    EXPECT_FALSE(TimeOfDay(8, 0, 1) == clock);
    EXPECT_EQ(TimeOfDay::fromTimeStruct(clock), TimeOfDay(8, 0));
}

TEST(LessonText, DecodesWithOrWithoutBlanks) {
    const Lesson spaced = Lesson::decode("08:00 - 08:45");
    const Lesson tight = Lesson::decode("8:00-8:45");
    EXPECT_EQ(spaced, tight);
    EXPECT_EQ(Lesson::encode(tight), "08:00 - 08:45");
    EXPECT_EQ(Lesson::decode("08:00:30 - 08:45 - 09:00").asString(), "08:00:30 - 08:45");
    EXPECT_THROW(Lesson::decode("08:00"), ValueError);
    EXPECT_THROW(Lesson::decode("08:00 - 25:00"), ValueError);
}

TEST(LessonDefaults, SixLessonsFromEightToOneFortyFive) {
    EXPECT_EQ(Lesson::fromHour(0).asString(), "00:00 - 00:45");
    const auto lessons = Lesson::defaults();
    ASSERT_EQ(lessons.size(), 6u);
    EXPECT_EQ(lessons.front().asString(), "08:00 - 08:45");
    EXPECT_EQ(lessons.back().asString(), "13:00 - 13:45");
}

TEST(MyDateTimeText, KeepsTheTextItWasReadFrom) {
    EXPECT_EQ(MyDateTime::encode(MyDateTime::decode("2024-09-02T07:45:00")), "2024-09-02T07:45:00");
    EXPECT_EQ(MyDateTime("2024-09-02").text(), "2024-09-02");
    EXPECT_EQ(MyDateTime("2024-09-02T07:45:12.345678+02:00").text(), "2024-09-02T07:45:12.345678+02:00");
    EXPECT_EQ(MyDateTime("2024-09-02 07:45Z").text(), "2024-09-02 07:45Z");
}

TEST(MyDateTimeText, EmptyTextMeansNow) {
    const std::string text = MyDateTime::decode("").text();
    EXPECT_TRUE(isIsoDateTime(text)) << text;
    const std::string today = dateStringOf(localStructTime(std::chrono::system_clock::now()));
    EXPECT_EQ(text.substr(0, 10), today);
    EXPECT_GE(text.size(), 19u);
    EXPECT_EQ(text[10], 'T');
}

TEST(MyDateTimeText, RefusesTextsThatAreNotIsoDates) {
    for (const char* text : {"yesterday", "2024-13-01", "2023-02-29", "2024-09-02T25:00", "2024-9-2", "2024-09-02T07:45:00.1234567"})
        EXPECT_THROW(MyDateTime{std::string(text)}, ValueError) << text;
    EXPECT_NO_THROW(MyDateTime{std::string("2024-02-29T23:59:59")});
}

}  // namespace
}  // namespace quorvane
