#pragma once
// The journal's folder: one JSON-lines file per day (journal/2024-09-02.jsonl), each line one entry, and
// "last-pass.json", the scheduler's last pass as written at most once a minute.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/journal_entry.h"
#include "model/time_reading.h"

namespace quorvane {

inline constexpr const char* JOURNAL_FOLDER_NAME = "journal";
inline constexpr const char* LAST_PASS_FILE_NAME = "last-pass.json";

std::filesystem::path journalFileOf(const std::filesystem::path& folder, const std::string& date);

// A line of a day file that holds a whole entry, as written: a flat JSON object of texts and numbers,
// pure ASCII, with its due moment and outcome picked out. The views point into the file's text.
struct JournalLine {
    std::string_view text;
    std::string_view due;
    std::string_view outcome;
};
// The whole entries of a day file's text in the order of their due second (entries of one second in the
// order written). A line torn by a crash, or damaged, is left out.
std::vector<JournalLine> scanJournalLines(std::string_view fileText);

// The text of a day file; empty when there is none.
std::string readJournalText(const std::filesystem::path& folder, const std::string& date);
// The day's entries, in the order of scanJournalLines; a line that does not decode is skipped too.
std::vector<JournalEntry> readJournalDay(const std::filesystem::path& folder, const std::string& date);

// Removes the day files older than `keepDays` days before `today` (today counts as one of them).
void pruneJournal(const std::filesystem::path& folder, const struct_time& today, int64_t keepDays);

// The scheduler's last pass as recorded; absent when none is (or the file does not decode).
std::optional<struct_time> readLastPass(const std::filesystem::path& folder);
// Throws std::system_error when it cannot be written.
void writeLastPass(const std::filesystem::path& folder, const struct_time& reading);

// The latest moment the previous run is known to have been alive, up to `now`: its recorded last pass
// or a later entry of its journal (the record of the pass may be up to a minute old).
std::optional<struct_time> lastSignOfLife(const std::filesystem::path& folder, const struct_time& now);

}  // namespace quorvane
