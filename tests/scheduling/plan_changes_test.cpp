#include "scheduling/plan_changes.h"

#include <gtest/gtest.h>

#include "model/calendar_date.h"

namespace quorvane {
namespace {

class PlanChanges : public ::testing::Test {
protected:
    PlanChanges() {
        timetables.add(TimeTable{}, "exam");
        timetables.add(TimeTable{}, "short");
    }
    void plan(const std::string& from, const std::string& to, const std::optional<std::string>& id) {
        planDays(settings, timetables, from, to, id, today);
    }
    // The failure's text, with the settings checked to be untouched.
    std::string refusal(const std::string& from, const std::string& to, const std::optional<std::string>& id) {
        const Json before = to_dict(settings);
        try {
            Settings copy = settings;
            planDays(copy, timetables, from, to, id, today);
        } catch (const PlanError& error) {
            EXPECT_EQ(to_dict(settings), before);
            return error.what();
        }
        return "accepted";
    }
    std::vector<std::string> planned() const {
        std::vector<std::string> texts;
        for (const PlannedDay& day : settings.plannedDays) texts.push_back(day.date + "=" + day.timetableId);
        return texts;
    }

    Settings settings;
    MapDb<TimeTable> timetables;
    const int64_t today = parseDate("2026-12-08").value();
};

TEST_F(PlanChanges, RangesAreStoredPerDateSortedAndReplaceEarlierPlans) {
    plan("2026-12-16", "2026-12-17", "short");
    plan("2026-12-14", "2026-12-16", "exam");
    plan("2026-12-08", "2026-12-08", NULL_ID);
    EXPECT_EQ(planned(), (std::vector<std::string>{"2026-12-08=NULL", "2026-12-14=exam", "2026-12-15=exam", "2026-12-16=exam", "2026-12-17=short"}));
    plan("2026-12-15", "2026-12-16", std::nullopt);
    EXPECT_EQ(planned(), (std::vector<std::string>{"2026-12-08=NULL", "2026-12-14=exam", "2026-12-17=short"}));
}

TEST_F(PlanChanges, WrongRequestsNameTheProblemAndChangeNothing) {
    plan("2026-12-14", "2026-12-14", "exam");
    EXPECT_EQ(refusal("2026-12-07", "2026-12-09", "exam"), "Date in the past: 2026-12-07");
    EXPECT_EQ(refusal("2026-12-10", "2026-12-10", "gone"), "Unknown timetable in timetableId: gone");
    EXPECT_EQ(refusal("2026-12-10", "2027-12-11", "exam"), "Range longer than a year: 2026-12-10 to 2027-12-11");
    EXPECT_EQ(refusal("2027-12-01", "2027-12-12", "exam"), "Date more than a year ahead: 2027-12-12");
    EXPECT_EQ(refusal("2026-12-10", "2026-12-09", "exam"), "The range ends before it starts: 2026-12-10 to 2026-12-09");
    EXPECT_EQ(refusal("2026-02-30", "2026-12-09", "exam"), "Invalid date in from: 2026-02-30");
    EXPECT_EQ(refusal("2026-12-10", "soon", std::nullopt), "Invalid date in to: soon");
    EXPECT_EQ(refusal("2026-12-10", "2027-12-09", "exam"), "accepted") << "a year ahead is allowed";
}

TEST_F(PlanChanges, WeekdaysNeedSevenKnownTimetablesOrBlanks) {
    setWeekdayTimetables(settings, timetables, {"", "", "", "", "", "short", ""});
    EXPECT_EQ(settings.weekdayTimetables[5], "short");
    EXPECT_THROW(setWeekdayTimetables(settings, timetables, {"", "short"}), PlanError);
    try {
        setWeekdayTimetables(settings, timetables, {"", "", "gone", "", "", "", ""});
        FAIL() << "accepted an unknown timetable";
    } catch (const PlanError& error) {
        EXPECT_STREQ(error.what(), "Unknown timetable in weekdayTimetables[2]: gone");
    }
    EXPECT_EQ(settings.weekdayTimetables[5], "short") << "a refused change leaves the weekdays";
    EXPECT_EQ(settings.weekdayTimetables[2], "");
}

TEST_F(PlanChanges, UsesAreListedAndClearedTogether) {
    plan("2026-12-14", "2026-12-15", "exam");
    plan("2026-12-16", "2026-12-16", "short");
    settings.weekdayTimetables[0] = "exam";
    settings.weekdayTimetables[4] = "exam";
    const TimetableUses uses = usesOf(settings, "exam");
    EXPECT_EQ(uses.dates, (std::vector<std::string>{"2026-12-14", "2026-12-15"}));
    EXPECT_EQ(uses.weekdays, (std::vector<int64_t>{0, 4}));
    EXPECT_TRUE(usesOf(settings, "other").empty());
    clearUses(settings, "exam");
    EXPECT_TRUE(usesOf(settings, "exam").empty());
    EXPECT_EQ(planned(), (std::vector<std::string>{"2026-12-16=short"}));
    EXPECT_EQ(settings.weekdayTimetables, std::vector<std::string>(7));
}

}  // namespace
}  // namespace quorvane
