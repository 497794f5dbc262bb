#include "model/time_values.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "model/decimal.h"
#include "model/errors.h"
#include "model/text.h"
#include "model/time_reading.h"
#include "model/tm_conversions.h"

namespace quorvane {
namespace {

int parseInRange(std::string_view text, int low, int high) {
    const std::optional<int64_t> value = parseDecimalInteger(text);
    if (!value || *value < low || *value > high) throw ValueError("");
    return static_cast<int>(*value);
}

std::string twoDigits(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

int digitsValue(std::string_view text) {
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool isIsoDate(std::string_view date) {
    std::string_view y, m, d;
    if (date.size() == 10 && date[4] == '-' && date[7] == '-') {
        y = date.substr(0, 4), m = date.substr(5, 2), d = date.substr(8, 2);
    } else if (date.size() == 8) {
        y = date.substr(0, 4), m = date.substr(4, 2), d = date.substr(6, 2);
    } else {
        return false;
    }
    if (!allDigits(y) || !allDigits(m) || !allDigits(d)) return false;
    const int year = digitsValue(y), month = digitsValue(m), day = digitsValue(d);
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

// HH[:MM[:SS]] with two-digit fields.
bool isIsoClock(std::string_view clock, bool allowSeconds) {
    const auto parts = splitAt(clock, ':');
    if (parts.empty() || parts.size() > (allowSeconds ? 3u : 2u)) return false;
    static constexpr int limits[] = {23, 59, 59};
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].size() != 2 || !allDigits(parts[i]) || digitsValue(parts[i]) > limits[i]) return false;
    return true;
}

bool isIsoTime(std::string_view time) {
    // A UTC offset may follow: Z, +HH:MM or -HH:MM (seconds allowed).
    const size_t offsetAt = time.find_first_of("Z+-");
    if (offsetAt != std::string_view::npos) {
        const std::string_view offset = time.substr(offsetAt);
        time = time.substr(0, offsetAt);
        if (offset != "Z" && !isIsoClock(offset.substr(1), true)) return false;
    }
    const size_t fractionAt = time.find_first_of(".,");
    if (fractionAt != std::string_view::npos) {
        const std::string_view fraction = time.substr(fractionAt + 1);
        if (!allDigits(fraction) || fraction.size() > 6) return false;
        time = time.substr(0, fractionAt);
        if (splitAt(time, ':').size() != 3) return false;
    }
    return isIsoClock(time, true);
}

}  // namespace

TimeOfDay TimeOfDay::fromTimeStruct(const struct_time& clock) { return TimeOfDay(clock.tm_hour, clock.tm_min, clock.tm_sec); }

TimeOfDay TimeOfDay::fromSecondsOfDay(int64_t seconds) {
    if (seconds < 0 || seconds >= SECONDS_IN_A_DAY) seconds = ((seconds % SECONDS_IN_A_DAY) + SECONDS_IN_A_DAY) % SECONDS_IN_A_DAY;
    const int h = static_cast<int>(seconds / 3600);
    seconds -= h * 3600;
    const int m = static_cast<int>(seconds / 60);
    return TimeOfDay(h, m, static_cast<int>(seconds - m * 60));
}

TimeOfDay TimeOfDay::minusMinutes(int64_t minutes) const { return fromSecondsOfDay(toSecondsOfDay() - minutes * 60); }

std::string TimeOfDay::asString() const {
    std::string text = twoDigits(h) + ":" + twoDigits(m);
    if (s > 0) text += ":" + twoDigits(s);
    return text;
}

TimeOfDay TimeOfDay::decode(const std::string& text) {
    const auto components = splitAt(trimmed(text), ':');
    if (components.size() < 2) throw ValueError("invalid time of day: " + text);
    try {
        const int hour = parseInRange(components[0], 0, 23);
        const int minute = parseInRange(components[1], 0, 59);
        const int second = components.size() >= 3 ? parseInRange(components[2], 0, 59) : 0;
        return TimeOfDay(hour, minute, second);
    } catch (const ValueError&) {
        throw ValueError("invalid time of day: " + text);
    }
}

bool TimeOfDay::operator==(const struct_time& clock) const { return *this == fromTimeStruct(clock); }

std::vector<Lesson> Lesson::defaults() {
    std::vector<Lesson> lessons;
    for (int hour = 8; hour <= 13; ++hour) lessons.push_back(fromHour(hour));
    return lessons;
}

Lesson Lesson::decode(const std::string& text) {
    const auto parts = splitAt(text, '-');
    if (parts.size() < 2) throw ValueError("invalid lesson: " + text);
    try {
        return {TimeOfDay::decode(std::string(parts[0])), TimeOfDay::decode(std::string(parts[1]))};
    } catch (const ValueError&) {
        throw ValueError("invalid lesson: " + text);
    }
}

bool isIsoDateTime(const std::string& text) {
    const std::string_view view(text);
    if (view.size() <= 10) return isIsoDate(view);
    // The date and the time are separated by one character, usually T.
    return isIsoDate(view.substr(0, 10)) && isIsoTime(view.substr(11));
}

MyDateTime::MyDateTime() {
    using namespace std::chrono;
    const auto moment = system_clock::now();
    const auto micros = duration_cast<microseconds>(moment.time_since_epoch()).count() % 1000000;
    const std::time_t seconds = system_clock::to_time_t(moment);
    const std::tm local = localTmOf(seconds);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
    _text = buffer;
    if (micros != 0) {
        std::snprintf(buffer, sizeof buffer, ".%06lld", static_cast<long long>(micros));
        _text += buffer;
    }
}

MyDateTime::MyDateTime(const std::string& dateText) {
    if (dateText.empty()) {
        *this = MyDateTime();
        return;
    }
    if (!isIsoDateTime(dateText)) throw ValueError("Invalid isoformat string: '" + dateText + "'");
    _text = dateText;
}

}  // namespace quorvane
