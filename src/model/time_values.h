#pragma once
// Times of day, lessons and creation moments, with the text forms the stored files and the browser use.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

struct struct_time;

inline constexpr int SECONDS_IN_A_DAY = 86400;

struct TimeOfDay {
    int h = 0;
    int m = 0;
    int s = 0;

    constexpr TimeOfDay() = default;
    constexpr explicit TimeOfDay(int hour, int minute = 0, int second = 0) : h(hour), m(minute), s(second) {}

    static TimeOfDay fromTimeStruct(const struct_time& clock);
    static TimeOfDay fromSecondsOfDay(int64_t seconds);

    int toSecondsOfDay() const { return h * 3600 + m * 60 + s; }
    TimeOfDay minusMinutes(int64_t minutes) const;
    std::string asString() const;

    static std::string encode(const TimeOfDay& value) { return value.asString(); }
    // Throws ValueError for a text that is not a valid time of day.
    static TimeOfDay decode(const std::string& text);

    bool operator==(const TimeOfDay& other) const = default;
    // A time of day equals a clock reading when hour, minute and second agree.
    bool operator==(const struct_time& clock) const;
};

struct Lesson {
    TimeOfDay start;
    TimeOfDay end;

    static Lesson fromHour(int startHour = 0) { return {TimeOfDay(startHour, 0), TimeOfDay(startHour, 45)}; }
    static std::vector<Lesson> defaults();

    std::string asString() const { return start.asString() + " - " + end.asString(); }
    static std::string encode(const Lesson& value) { return value.asString(); }
    static Lesson decode(const std::string& text);

    bool operator==(const Lesson& other) const = default;
};

// A creation moment. It keeps the exact text it was read from, so that reading and writing a stored file
// does not change it.
class MyDateTime {
public:
    // The current local date and time, with microseconds.
    MyDateTime();
    // Throws ValueError when the text is not an ISO 8601 date-time; an empty text means now.
    explicit MyDateTime(const std::string& dateText);

    static std::string encode(const MyDateTime& value) { return value._text; }
    static MyDateTime decode(const std::string& text) { return MyDateTime(text); }

    const std::string& text() const { return _text; }
    bool operator==(const MyDateTime& other) const = default;

private:
    std::string _text;
};

// True when the text is an ISO 8601 date or date-time as the stored files use them.
bool isIsoDateTime(const std::string& text);

}  // namespace quorvane
