#pragma once
// The records of the scheduling tests: a default timetable "main" with two lessons, 08:00 - 08:45 and
// 08:45 - 09:30, whose four events play the signals "start", "end", "preStart" and "preEnd" (five
// minutes ahead); a channel B lesson at 10:00 and an empty timetable "other". 2024-09-02 is a Monday.
#include <functional>

#include <gtest/gtest.h>

#include "support/fake_time_source.h"
#include "support/stored_records_reset.h"

namespace quorvane::testing {

inline PlayDesc desc(const std::string& id) {
    PlayDesc d;
    d.id = id;
    return d;
}

class TimetableFixture : public ::testing::Test {
protected:
    void SetUp() override {
        resetStoredRecords();
        TimeTable timetable;
        timetable.chA.lessons = {Lesson::decode("08:00 - 08:45"), Lesson::decode("08:45 - 09:30")};
        timetable.chA.startOfClass = desc("start");
        timetable.chA.endOfClass = desc("end");
        timetable.chA.preStart = desc("preStart");
        timetable.chA.preEnd = desc("preEnd");
        timetable.chB.startOfClass = desc("channelB");
        timetable.chB.lessons = {Lesson::decode("10:00 - 10:45")};
        StateLock lock;
        db.edit(lock).timetables.add(timetable, "main");
        db.edit(lock).timetables.add(TimeTable{}, "other");
        db.edit(lock).settings.defaultTimetableId = "main";
    }

    void edit(const std::function<void(DB&)>& change) {
        StateLock lock;
        change(db.edit(lock));
    }
    static struct_time monday(int h, int m, int s = 0) { return reading(2024, 9, 2, h, m, s); }
};

}  // namespace quorvane::testing
