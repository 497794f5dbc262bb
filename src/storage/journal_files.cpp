#include "storage/journal_files.h"

#include <algorithm>

#include "core/atomic_file.h"
#include "core/read_file.h"
#include "model/record.h"

namespace quorvane {
namespace {

constexpr const char* DAY_FILE_EXTENSION = ".jsonl";

// The date of a day file's name, when it is one.
std::optional<struct_time> dayOfFileName(const std::filesystem::path& file) {
    if (file.extension() != DAY_FILE_EXTENSION) return std::nullopt;
    return parseDateText(file.stem().string());
}

struct LastPass {
    std::string date;
    std::string time;

    static constexpr auto fields() { return std::tuple{field("date", &LastPass::date), field("time", &LastPass::time)}; }
};

}  // namespace

std::filesystem::path journalFileOf(const std::filesystem::path& folder, const std::string& date) {
    return folder / (date + DAY_FILE_EXTENSION);
}

std::vector<JournalEntry> readJournalDay(const std::filesystem::path& folder, const std::string& date) {
    std::vector<JournalEntry> entries;
    const std::optional<std::string> text = readWholeFile(journalFileOf(folder, date));
    if (!text) return entries;
    entries.reserve(static_cast<size_t>(std::count(text->begin(), text->end(), '\n')) + 1);
    for (size_t start = 0; start < text->size();) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        if (end > start) {
            try {
                entries.push_back(from_json<JournalEntry>(text->substr(start, end - start)));
            } catch (const std::exception&) {
                // A line torn by a crash, or damaged by hand: the others still count.
            }
        }
        start = end + 1;
    }
    // Entries are appended as their plays end; a person reads them by the second they were due.
    std::stable_sort(entries.begin(), entries.end(), [](const JournalEntry& a, const JournalEntry& b) { return a.due < b.due; });
    return entries;
}

void pruneJournal(const std::filesystem::path& folder, const struct_time& today, int64_t keepDays) {
    const int64_t oldestKept = wallSeconds(*parseDateText(dateStringOf(today))) - (keepDays - 1) * SECONDS_IN_A_DAY;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        const auto day = dayOfFileName(item.path());
        if (day && wallSeconds(*day) < oldestKept) std::filesystem::remove(item.path(), error);
    }
}

std::optional<struct_time> readLastPass(const std::filesystem::path& folder) {
    const std::optional<std::string> text = readWholeFile(folder / LAST_PASS_FILE_NAME);
    if (!text) return std::nullopt;
    try {
        const LastPass pass = from_json<LastPass>(*text);
        return parseJournalMoment(pass.date + "T" + pass.time);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void writeLastPass(const std::filesystem::path& folder, const struct_time& reading) {
    const std::string moment = journalMoment(reading);
    writeFileAtomically(folder / LAST_PASS_FILE_NAME, to_json(LastPass{journalDateOf(moment), moment.substr(11)}));
}

std::optional<struct_time> lastSignOfLife(const std::filesystem::path& folder, const struct_time& now) {
    std::optional<struct_time> latest = readLastPass(folder);
    std::vector<std::string> days;
    if (latest) {
        days = {dateStringOf(*latest), dateStringOf(wallReading(wallSeconds(*latest) + SECONDS_IN_A_DAY))};
    } else {
        // No record of a pass: the newest day file tells what it can.
        std::error_code error;
        std::optional<std::string> newest;
        for (const auto& item : std::filesystem::directory_iterator(folder, error))
            if (dayOfFileName(item.path()) && (!newest || item.path().stem().string() > *newest)) newest = item.path().stem().string();
        if (newest) days = {*newest};
    }
    const std::string nowMoment = journalMoment(now);
    for (const std::string& day : days) {
        for (const JournalEntry& entry : readJournalDay(folder, day)) {
            if (entry.due > nowMoment) continue;  // the clock was set back since
            const auto due = parseJournalMoment(entry.due);
            if (due && (!latest || wallSeconds(*due) > wallSeconds(*latest))) latest = due;
        }
    }
    if (latest && wallSeconds(*latest) > wallSeconds(now)) return std::nullopt;
    return latest;
}

}  // namespace quorvane
