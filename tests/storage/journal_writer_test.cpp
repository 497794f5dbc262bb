// The journal's files: appends by the writer thread, torn lines, the daily cap, the record of the last
// pass.
#include "storage/journal_writer.h"

#include <gtest/gtest.h>

#include "core/event_counts.h"
#include "model/record.h"
#include "storage/journal_files.h"
#include "support/fake_time_source.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::readFile;
using testing::reading;
using testing::writeFile;

JournalEntry entryDue(const std::string& due, PlayOutcome outcome = PlayOutcome::RANG) {
    JournalEntry entry;
    entry.due = due;
    entry.kind = PlayKind::LESSON_START;
    entry.outcome = outcome;
    entry.signalId = "ID_bell";
    return entry;
}

size_t lineCount(const std::filesystem::path& file) {
    const std::string text = readFile(file);
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class JournalFiles : public ::testing::Test {
protected:
    testing::TempDir dir;
    std::filesystem::path folder = dir / "journal";
};

TEST_F(JournalFiles, EntriesLandInTheFileOfTheDayTheyWereDueAndReadBackInDueOrder) {
    {
        JournalWriter writer(folder);
        writer.submit(entryDue("2024-09-02T08:45:00"));
        writer.submit(entryDue("2024-09-02T08:00:00", PlayOutcome::FAILED));
        writer.submit(entryDue("2024-09-03T00:00:01"));
    }  // the writer's end writes what is queued
    const auto monday = readJournalDay(folder, "2024-09-02");
    ASSERT_EQ(monday.size(), 2u);
    EXPECT_EQ(monday[0].due, "2024-09-02T08:00:00");
    EXPECT_EQ(monday[0].outcome, PlayOutcome::FAILED);
    EXPECT_EQ(monday[1].due, "2024-09-02T08:45:00");
    EXPECT_EQ(readJournalDay(folder, "2024-09-03").size(), 1u);
    EXPECT_TRUE(readJournalDay(folder, "2024-09-04").empty());
    // One line per entry, the record's own JSON.
    EXPECT_EQ(readFile(folder / "2024-09-03.jsonl"), to_json(entryDue("2024-09-03T00:00:01")) + "\n");
}

// Monitoring counts every bell the journal is given, by kind and outcome; the journal's own notes are no bells.
TEST_F(JournalFiles, EveryBellIsCountedForMonitoringButNotTheNotes) {
    const auto count = [](const char* kind, const char* outcome) {
        const auto bells = EventCounts::read().bells;
        const auto found = bells.find({kind, outcome});
        return found == bells.end() ? uint64_t{0} : found->second;
    };
    const uint64_t rang = count("lessonStart", "rang"), failed = count("lessonStart", "failed"), notes = count("lessonStart", "note");
    JournalWriter writer(folder);
    writer.submit(entryDue("2024-09-02T08:00:00"));
    writer.submit(entryDue("2024-09-02T08:45:00", PlayOutcome::FAILED));
    writer.submit(entryDue("2024-09-02T08:50:00", PlayOutcome::NOTE));
    EXPECT_EQ(count("lessonStart", "rang"), rang + 1);
    EXPECT_EQ(count("lessonStart", "failed"), failed + 1);
    EXPECT_EQ(count("lessonStart", "note"), notes);
}

TEST_F(JournalFiles, ATornLastLineIsSkippedAndDoesNotSwallowTheNextEntry) {
    std::filesystem::create_directories(folder);
    const std::string whole = to_json(entryDue("2024-09-02T08:00:00")) + "\n";
    writeFile(folder / "2024-09-02.jsonl", whole + whole.substr(0, whole.size() / 2));  // a crash in the middle of a line
    EXPECT_EQ(readJournalDay(folder, "2024-09-02").size(), 1u);

    JournalWriter writer(folder);
    writer.submit(entryDue("2024-09-02T09:00:00"));
    writer.flush();
    const auto entries = readJournalDay(folder, "2024-09-02");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].due, "2024-09-02T09:00:00");
}

TEST_F(JournalFiles, ADayKeepsAtMostTheCapAndNotesItOnceAlsoAfterARestart) {
    constexpr int64_t cap = JournalWriter::MAX_ENTRIES_PER_DAY;
    {
        JournalWriter writer(folder);
        for (int64_t i = 0; i < cap + 5; ++i) {
            writer.submit(entryDue("2024-09-02T08:00:00"));
            if (i % 1000 == 999) writer.flush();  // within the queue's bound
        }
    }
    const auto file = folder / "2024-09-02.jsonl";
    EXPECT_EQ(lineCount(file), static_cast<size_t>(cap + 1));
    {
        JournalWriter restarted(folder);
        restarted.submit(entryDue("2024-09-02T09:00:00"));
    }
    EXPECT_EQ(lineCount(file), static_cast<size_t>(cap + 1)) << "neither the entry nor a second note";
    const auto entries = readJournalDay(folder, "2024-09-02");
    const auto notes = std::count_if(entries.begin(), entries.end(), [](const JournalEntry& e) { return e.kind == PlayKind::JOURNAL_FULL; });
    EXPECT_EQ(notes, 1);
    JournalSummary summary;
    for (const auto& entry : entries) summary.count(entry);
    EXPECT_EQ(summary.rang, cap) << "the note counts as no bell";
}

TEST_F(JournalFiles, TheLastPassIsWrittenAtMostOnceAMinuteUnlessTheClockGoesBack) {
    JournalWriter writer(folder);
    writer.notePass(reading(2024, 9, 2, 8, 0, 0));
    writer.flush();
    EXPECT_EQ(readLastPass(folder), reading(2024, 9, 2, 8, 0, 0));
    writer.notePass(reading(2024, 9, 2, 8, 0, 59));
    writer.flush();
    EXPECT_EQ(readLastPass(folder), reading(2024, 9, 2, 8, 0, 0));
    writer.notePass(reading(2024, 9, 2, 8, 1, 0));
    writer.flush();
    EXPECT_EQ(readLastPass(folder), reading(2024, 9, 2, 8, 1, 0));
    writer.notePass(reading(2024, 9, 2, 7, 0, 0));
    writer.flush();
    EXPECT_EQ(readLastPass(folder), reading(2024, 9, 2, 7, 0, 0));
}

TEST_F(JournalFiles, LastSignOfLifeIgnoresWhatLiesAfterNow) {
    EXPECT_FALSE(lastSignOfLife(folder, reading(2024, 9, 2, 9, 0, 0))) << "a first start knows of no previous run";
    {
        JournalWriter writer(folder);
        writer.notePass(reading(2024, 9, 2, 8, 0, 0));
        writer.submit(entryDue("2024-09-02T08:00:30"));
        writer.submit(entryDue("2024-09-02T10:00:00"));  // written before the clock was set back
    }
    EXPECT_EQ(lastSignOfLife(folder, reading(2024, 9, 2, 9, 0, 0)), reading(2024, 9, 2, 8, 0, 30));
    EXPECT_FALSE(lastSignOfLife(folder, reading(2024, 9, 2, 7, 0, 0))) << "the clock went back: nothing was missed";
}

TEST(JournalLines, OnlyWholeFlatEntriesAreTakenAsTheyWereWritten) {
    JournalEntry tricky = entryDue("2024-09-02T08:00:00", PlayOutcome::FAILED);
    tricky.detail = "cannot start \"mpg123\": {gone} \u00e9t\u00e9\n";
    const std::string whole = to_json(tricky);
    const size_t brace = whole.find('}');                         // inside the detail text
    const std::string text = whole + "\n" +                       // kept
                             whole.substr(0, brace + 1) + "\n" +  // torn just after a brace in a text
                             R"({"due": "2024-09-02T07:00:00", "nested": {"a": 1}})"
                             "\n" +
                             "{\"due\": \"2024-09-02T07:00:00\", \"signalName\": \"\xc3\xa9\"}\n" +  // raw UTF-8: never written
                             R"({"kind": "alarm"})"
                             "\n" +  // no due moment
                             R"({"due": "2024-09-02T07:30:00", "outcome": "missed", "code": -1.5e3, "plays": null})"
                             "\n";
    const auto lines = scanJournalLines(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].due, "2024-09-02T07:30:00") << "in due order";
    EXPECT_EQ(lines[0].outcome, "missed");
    EXPECT_EQ(lines[1].text, whole) << "as written, escapes and all";
    EXPECT_EQ(from_json<JournalEntry>(std::string(lines[1].text)).detail, tricky.detail);
}

TEST(JournalDates, OnlyRealDaysNameAFile) {
    EXPECT_TRUE(parseDateText("2024-02-29"));
    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-00-10", "2024-9-02", "../../etc", "2024-09-02x", "", "1969-12-31"})
        EXPECT_FALSE(parseDateText(bad)) << bad;
    EXPECT_EQ(parseJournalMoment("2024-09-02T08:05:09.123"), reading(2024, 9, 2, 8, 5, 9));
    EXPECT_FALSE(parseJournalMoment("2024-09-02T24:00:00"));
}

}  // namespace
}  // namespace quorvane
