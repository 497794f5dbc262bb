#pragma once
// What kind of day a date is, from the synchronised calendar region and the configured working week.
#include <cstdint>
#include <string>
#include <utility>

#include "core/state_lock.h"
#include "model/record.h"

namespace quorvane {

enum class TypeOfDay { WORKDAY, NON_WORKDAY, HOLIDAY, SCHOOL_BREAK, EXTRA_WORKDAY };
template <>
struct EnumTexts<TypeOfDay> {
    static constexpr std::pair<TypeOfDay, const char*> values[] = {{TypeOfDay::WORKDAY, "WORKDAY"},
                                                                   {TypeOfDay::NON_WORKDAY, "NON_WORKDAY"},
                                                                   {TypeOfDay::HOLIDAY, "HOLIDAY"},
                                                                   {TypeOfDay::SCHOOL_BREAK, "SCHOOL_BREAK"},
                                                                   {TypeOfDay::EXTRA_WORKDAY, "REPLACED_WORKDAY"}};
};

// dayOfWeek: Monday = 0 ... Sunday = 6; dateStr as 2024-09-02.
TypeOfDay calculateTypeOfDayWithCalendar(const StateLock& lock, int dayOfWeek, const std::string& dateStr);
// The same for a day number (days since 1970-01-01).
TypeOfDay typeOfDayNumber(const StateLock& lock, int64_t dayNumber);
// The days on which the default and the weekday timetables ring.
inline bool isWorkingDayType(TypeOfDay type) { return type == TypeOfDay::WORKDAY || type == TypeOfDay::EXTRA_WORKDAY; }

}  // namespace quorvane
