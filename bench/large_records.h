#pragma once
// The large configuration the benchmarks measure against: 2,000 signals, 500 timetables of 12 lessons
// per channel with two extra plays, 200 calendar regions of 58 dates each.
#include <string>

#include "model/db.h"

namespace quorvane {

inline void fillLarge(DB& database, Cache& calendar) {
    database.loadFactoryDefault();
    for (int i = 0; i < 2000; ++i)
        database.signals.add(AudioAsset{"Uploaded signal " + std::to_string(i), "0123456789abcdef0123456789abcdef.mp3", 7});
    for (int t = 0; t < 500; ++t) {
        TimeTable timetable;
        timetable.name = "Timetable " + std::to_string(t);
        for (int channel = 0; channel <= 1; ++channel) {
            SignalTable& ch = timetable.chAt(channel);
            ch.lessons.clear();
            for (int l = 0; l < 12; ++l) ch.lessons.push_back(Lesson{TimeOfDay(7 + l, 0), TimeOfDay(7 + l, 45)});
            ch.startOfClass.id = ch.endOfClass.id = FACTORY_DEFAULT_SIGNAL_ID_MELODY;
        }
        UserPlay extra;
        extra.slots = {TimeOfDay(12, 30), TimeOfDay(16, 0)};
        timetable.customPlays.push_back(extra);
        database.timetables.add(timetable);
    }
    for (int r = 0; r < 200; ++r) {
        CalendarRegion region;
        region.name = "Region " + std::to_string(r);
        for (int d = 1; d <= 28; ++d) region.holidays.push_back("2025-02-" + std::string(d < 10 ? "0" : "") + std::to_string(d));
        for (int d = 1; d <= 28; ++d) region.schoolBreaks.push_back("2025-07-" + std::string(d < 10 ? "0" : "") + std::to_string(d));
        region.extraWorkdays = {"2025-03-01", "2025-10-18"};
        calendar.calendarRegions.add(region, "r" + std::to_string(r));
    }
}

}  // namespace quorvane
