// A date's adjustment on top of its timetable: what moves, what falls silent, and what the journal says.
#include "scheduling/adjusted_day.h"

#include <gtest/gtest.h>

#include "model/calendar_date.h"
#include "scheduling/missed_bells.h"
#include "scheduling/plan_changes.h"
#include "support/timetable_fixture.h"

namespace quorvane {
namespace {

using testing::TimetableFixture;

DayAdjustment adjustment(int64_t shiftMinutes, const std::string& from = "", const std::string& endAfter = "") {
    return {"2024-09-02", shiftMinutes, from, endAfter};
}

// "08:00 start (planned 07:30)" per bell, in the order they ring.
std::vector<std::string> texts(const std::vector<ScheduledBell>& bells) {
    std::vector<std::string> result;
    for (const ScheduledBell& bell : bells)
        result.push_back(bell.time.asString() + " " + bell.desc.id + (bell.planned ? " (planned " + *bell.planned + ")" : ""));
    return result;
}

class AdjustedDay : public TimetableFixture {
protected:
    std::vector<std::string> adjusted(const DayAdjustment& change) {
        StateLock lock;
        return texts(adjustedBells(bellsOf(*db.view(lock).timetables.find("main")), change));
    }
};

TEST_F(AdjustedDay, ALateStartMovesTheBellsFromItsTimeAndTheirPreSignalsWithThem) {
    EXPECT_EQ(adjusted(adjustment(90)),
              (std::vector<std::string>{"09:25 preStart (planned 07:55)", "09:30 start (planned 08:00)", "10:10 preEnd (planned 08:40)",
                                        "10:10 preStart (planned 08:40)", "10:15 end (planned 08:45)", "10:15 start (planned 08:45)",
                                        "10:55 preEnd (planned 09:25)", "11:00 end (planned 09:30)"}));
    // From 08:45 on: the pre-signals at 08:40 go with the end and the start they announce.
    EXPECT_EQ(adjusted(adjustment(20, "08:45")),
              (std::vector<std::string>{"07:55 preStart", "08:00 start", "09:00 preEnd (planned 08:40)", "09:00 preStart (planned 08:40)",
                                        "09:05 end (planned 08:45)", "09:05 start (planned 08:45)", "09:45 preEnd (planned 09:25)",
                                        "09:50 end (planned 09:30)"}));
}

TEST_F(AdjustedDay, AnEarlyEndSilencesWhatComesAfterItAndThePreSignalsOfThoseBells) {
    EXPECT_EQ(adjusted(adjustment(0, "", "08:44")), (std::vector<std::string>{"07:55 preStart", "08:00 start"}));
    // A bell at the end's own minute still rings, and its pre-signal with it.
    EXPECT_EQ(adjusted(adjustment(0, "", "08:45")),
              (std::vector<std::string>{"07:55 preStart", "08:00 start", "08:40 preEnd", "08:40 preStart", "08:45 end", "08:45 start"}));
    // The end counts the bells where they ring after the shift.
    EXPECT_EQ(adjusted(adjustment(30, "", "08:45")), (std::vector<std::string>{"08:25 preStart (planned 07:55)", "08:30 start (planned 08:00)"}));
}

TEST_F(AdjustedDay, EarlierBellsKeepTheTimeOrderAndNoneLeavesTheDay) {
    EXPECT_EQ(adjusted(adjustment(-10, "08:45")),
              (std::vector<std::string>{"07:55 preStart", "08:00 start", "08:30 preEnd (planned 08:40)", "08:30 preStart (planned 08:40)",
                                        "08:35 end (planned 08:45)", "08:35 start (planned 08:45)", "09:15 preEnd (planned 09:25)",
                                        "09:20 end (planned 09:30)"}));
    // Moved before midnight or past it, a bell would ring on another day: it does not ring at all.
    edit([](DB& database) { database.timetables.find("main")->chA.lessons = {Lesson::decode("00:10 - 00:40"), Lesson::decode("22:00 - 23:30")}; });
    EXPECT_EQ(adjusted(adjustment(-15)),
              (std::vector<std::string>{"00:20 preEnd (planned 00:35)", "00:25 end (planned 00:40)", "21:40 preStart (planned 21:55)",
                                        "21:45 start (planned 22:00)", "23:10 preEnd (planned 23:25)", "23:15 end (planned 23:30)"}));
    EXPECT_EQ(adjusted(adjustment(40, "22:00")), (std::vector<std::string>{"00:05 preStart", "00:10 start", "00:35 preEnd", "00:40 end",
                                                                           "22:35 preStart (planned 21:55)", "22:40 start (planned 22:00)"}));
}

TEST_F(AdjustedDay, TheDayOfTheAdjustmentRingsItNoOtherDay) {
    edit([](DB& database) { database.settings.dayAdjustments = {adjustment(15)}; });
    StateLock lock;
    const TimeTable& main = *db.view(lock).timetables.find("main");
    EXPECT_EQ(texts(bellsOfDay(db.view(lock).settings, "2024-09-02", main)).front(), "08:10 preStart (planned 07:55)");
    EXPECT_EQ(texts(bellsOfDay(db.view(lock).settings, "2024-09-03", main)).front(), "07:55 preStart");
}

TEST_F(AdjustedDay, TheJournalKeepsTheTimeABellWasDueAndTheTimeItWasPlannedFor) {
    edit([](DB& database) { database.settings.dayAdjustments = {adjustment(90, "", "10:00")}; });
    StateLock lock;
    const auto missed = missedBellsBetween(lock, monday(7, 0), monday(12, 0), OutcomeReason::NOT_RUNNING, {});
    ASSERT_EQ(missed.size(), 2u) << "the bells after 10:00 do not ring, so they are not missed either";
    EXPECT_EQ(missed[0].due, "2024-09-02T09:25:00");
    EXPECT_EQ(missed[0].planned, "2024-09-02T07:55:00");
    EXPECT_EQ(missed[1].due, "2024-09-02T09:30:00");
    EXPECT_EQ(missed[1].planned, "2024-09-02T08:00:00");
    EXPECT_EQ(missed[1].signalId, "start");
    // Bells at their timetable time leave the planned moment empty.
    db.edit(lock).settings.dayAdjustments.clear();
    EXPECT_EQ(missedBellsBetween(lock, monday(7, 0), monday(12, 0), OutcomeReason::NOT_RUNNING, {}).front().planned, "");
}

class DayAdjustmentChanges : public ::testing::Test {
protected:
    std::string refusal(const DayAdjustmentChange& change) {
        const Json before = to_dict(settings);
        try {
            Settings copy = settings;
            adjustDay(copy, change, today);
        } catch (const PlanError& error) {
            EXPECT_EQ(to_dict(settings), before);
            return error.what();
        }
        return "accepted";
    }
    std::vector<std::string> stored() const {
        std::vector<std::string> result;
        for (const DayAdjustment& day : settings.dayAdjustments)
            result.push_back(day.date + " " + std::to_string(day.shiftMinutes) + " from '" + day.from + "' end '" + day.endAfter + "'");
        return result;
    }

    Settings settings;
    const int64_t today = parseDate("2026-12-08").value();
};

TEST_F(DayAdjustmentChanges, TheShiftAndTheEndAreSetApartAndClearedTogether) {
    adjustDay(settings, {"2026-12-10", 90, "08:00"}, today);
    adjustDay(settings, {"2026-12-08", std::nullopt, "", "12:30"}, today);
    adjustDay(settings, {"2026-12-10", std::nullopt, "", "13:00"}, today);
    EXPECT_EQ(stored(), (std::vector<std::string>{"2026-12-08 0 from '' end '12:30'", "2026-12-10 90 from '08:00' end '13:00'"}));
    adjustDay(settings, {"2026-12-10", -15}, today);
    EXPECT_EQ(stored()[1], "2026-12-10 -15 from '' end '13:00'") << "a new shift replaces the old one and its start";
    adjustDay(settings, {"2026-12-10", std::nullopt, "", std::nullopt, true}, today);
    adjustDay(settings, {"2026-12-11", std::nullopt, "", std::nullopt, true}, today);
    EXPECT_EQ(stored(), (std::vector<std::string>{"2026-12-08 0 from '' end '12:30'"}));

    dropAdjustmentsBefore(settings, "2026-12-09");
    EXPECT_TRUE(settings.dayAdjustments.empty());
}

TEST_F(DayAdjustmentChanges, WrongChangesNameTheirMemberAndChangeNothing) {
    adjustDay(settings, {"2026-12-09", 10}, today);
    EXPECT_EQ(refusal({"2026-12-07", 10}), "Date in the past: 2026-12-07");
    EXPECT_EQ(refusal({"2027-12-10", 10}), "Date more than a year ahead: 2027-12-10");
    EXPECT_EQ(refusal({"2026-13-01", 10}), "Invalid date in date: 2026-13-01");
    for (const int64_t minutes : {0, 241, -241})
        EXPECT_EQ(refusal({"2026-12-09", minutes}),
                  "Invalid shiftMinutes: expected minutes from -240 to 240, not 0, found " + std::to_string(minutes));
    EXPECT_EQ(refusal({"2026-12-09", 240}), "accepted");
    EXPECT_EQ(refusal({"2026-12-09", -240}), "accepted");
    for (const char* time : {"8:00", "24:00", "08:60", "08:00:00", "0800", ""})
        EXPECT_EQ(refusal({"2026-12-09", std::nullopt, "", time}), std::string("Invalid endAfter: expected a time written HH:MM, found ") + time);
    EXPECT_EQ(refusal({"2026-12-09", 10, "7.30"}), "Invalid from: expected a time written HH:MM, found 7.30");
    EXPECT_EQ(refusal({"2026-12-09", std::nullopt, "08:00"}), "Invalid from: it needs shiftMinutes");
    EXPECT_EQ(refusal({"2026-12-09"}), "An adjustment gives shiftMinutes, endAfter or both, or clear alone");
    EXPECT_EQ(refusal({"2026-12-09", 10, "", std::nullopt, true}), "An adjustment gives shiftMinutes, endAfter or both, or clear alone");
}

}  // namespace
}  // namespace quorvane
