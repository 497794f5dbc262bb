// The time values of timetables: a text is either refused with a ValueError or read as a valid value
// whose written form reads back to the same value. Pre-signals within the declared bounds stay on the
// clock face.
#include "fuzz_input.h"
#include "model/decimal.h"
#include "model/errors.h"
#include "model/time_values.h"

namespace {

using namespace quorvane;

bool onTheClock(const TimeOfDay& time) { return time.h >= 0 && time.h < 24 && time.m >= 0 && time.m < 60 && time.s >= 0 && time.s < 60; }

void timeOfDay(const std::string& text) {
    TimeOfDay time;
    try {
        time = TimeOfDay::decode(text);
    } catch (const ValueError&) {
        return;
    }
    fuzz::require(onTheClock(time), "a decoded time is on the clock", text);
    fuzz::require(TimeOfDay::decode(TimeOfDay::encode(time)) == time, "a time reads back", text);
    for (const int64_t minutes : {0, 1, 5, 59, 60, 719, 1439, 1440})
        fuzz::require(onTheClock(time.minusMinutes(minutes)), "a pre-signal time is on the clock", text);
}

void lesson(const std::string& text) {
    Lesson read;
    try {
        read = Lesson::decode(text);
    } catch (const ValueError&) {
        return;
    }
    fuzz::require(onTheClock(read.start) && onTheClock(read.end), "a lesson's times are on the clock", text);
    fuzz::require(Lesson::decode(Lesson::encode(read)) == read, "a lesson reads back", text);
}

void dateTime(const std::string& text) {
    try {
        const MyDateTime moment(text);
        fuzz::require(text.empty() || moment.text() == text, "a date-time keeps the text it was read from", text);
        fuzz::require(isIsoDateTime(moment.text()), "a date-time's text is ISO 8601", moment.text());
    } catch (const ValueError&) {
        fuzz::require(!isIsoDateTime(text), "an ISO 8601 text is accepted", text);
    }
}

void decimals(const std::string& text) {
    if (const auto integer = parseDecimalInteger(text))
        fuzz::require(parseDecimalInteger(std::to_string(*integer)) == integer, "an integer reads back", text);
    (void)parseDecimalReal(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::inputText(data, size);
    timeOfDay(text);
    lesson(text);
    dateTime(text);
    decimals(text);
    return 0;
}
