#pragma once
// The C library's broken-down time, thread-safe on every system (the _r calls are POSIX only).
#include <ctime>

namespace quorvane {

std::tm localTmOf(std::time_t seconds);
std::tm utcTmOf(std::time_t seconds);
// The inverse of utcTmOf; fields out of range are carried over like mktime does.
std::time_t utcSecondsOf(std::tm tm);
// The moment of a local time; tm_isdst tells the two readings of the hour repeated in autumn apart.
std::time_t localSecondsOf(std::tm tm);

}  // namespace quorvane
