#include "model/journal_entry.h"

#include <chrono>
#include <cstdio>

namespace quorvane {
namespace {

// Digits only, exactly as many as asked for.
std::optional<int> digitsAt(const std::string& text, size_t at, size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

void JournalSummary::count(PlayOutcome outcome) {
    switch (outcome) {
        case PlayOutcome::RANG: ++rang; break;
        case PlayOutcome::FAILED: ++failed; break;
        case PlayOutcome::MISSED: ++missed; break;
        case PlayOutcome::STOPPED: ++stopped; break;
        case PlayOutcome::NOTE: break;
    }
}

std::string journalMoment(const struct_time& reading) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", reading.tm_year, reading.tm_mon, reading.tm_mday, reading.tm_hour,
                  reading.tm_min, reading.tm_sec);
    return buffer;
}

std::string journalMomentNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, ".%03d", static_cast<int>(millis));
    return journalMoment(localStructTime(now)) + buffer;
}

std::string journalDateOf(const std::string& moment) { return moment.substr(0, 10); }

std::optional<struct_time> parseDateText(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
    if (!year || !month || !day || *year < 1970) return std::nullopt;
    struct_time fields;
    fields.tm_year = *year;
    fields.tm_mon = *month;
    fields.tm_mday = *day;
    // A day that does not exist (02-30, 13-01) comes back as another one.
    const struct_time midnight = wallReading(wallSeconds(fields));
    if (midnight.tm_year != *year || midnight.tm_mon != *month || midnight.tm_mday != *day) return std::nullopt;
    return midnight;
}

std::optional<struct_time> parseJournalMoment(const std::string& moment) {
    if (moment.size() < 19 || moment[10] != 'T' || moment[13] != ':' || moment[16] != ':') return std::nullopt;
    auto day = parseDateText(moment.substr(0, 10));
    const auto hour = digitsAt(moment, 11, 2), minute = digitsAt(moment, 14, 2), second = digitsAt(moment, 17, 2);
    if (!day || !hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;
    return wallReading(wallSeconds(*day) + *hour * 3600 + *minute * 60 + *second);
}

}  // namespace quorvane
