#pragma once
// The C library's broken-down time, thread-safe on every system (the _r calls are POSIX only).
#include <ctime>
#include <string>

namespace quorvane {

std::tm localTmOf(std::time_t seconds);
std::tm utcTmOf(std::time_t seconds);
// The inverse of utcTmOf; fields out of range are carried over like mktime does.
std::time_t utcSecondsOf(std::tm tm);
// The moment of a local time; tm_isdst tells the two readings of the hour repeated in autumn apart.
std::time_t localSecondsOf(std::tm tm);
// The local time zone at a moment as people read it: its abbreviation and its offset from UTC, as
// "CET, UTC+01:00" (the offset alone where the system names no abbreviation).
std::string timeZoneText(std::time_t seconds);

}  // namespace quorvane
