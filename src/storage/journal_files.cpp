#include "storage/journal_files.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/atomic_file.h"
#include "core/file_io.h"
#include "core/utf8_path.h"
#include "model/record.h"

namespace quorvane {
namespace {

constexpr const char* DAY_FILE_EXTENSION = ".jsonl";

// The date of a day file's name, when it is one.
std::optional<struct_time> dayOfFileName(const std::filesystem::path& file) {
    if (file.extension() != DAY_FILE_EXTENSION) return std::nullopt;
    return parseDateText(utf8Of(file.stem()));
}

struct LastPass {
    std::string date;
    std::string time;

    static constexpr auto fields() { return std::tuple{field("date", &LastPass::date), field("time", &LastPass::time)}; }
};

// Reads the flat JSON objects the writer makes, one pass and no allocation, so that a full day is
// answered quickly: members whose values are texts, integers, truth values or null. Anything else,
// a line cut short among it, is refused.
class FlatObjectScanner {
public:
    explicit FlatObjectScanner(std::string_view text) : _text(text) {}

    bool scan(JournalLine& line) {
        skipSpace();
        if (!take('{')) return false;
        skipSpace();
        if (take('}')) return false;  // no due moment
        for (;;) {
            std::string_view key, value;
            skipSpace();
            if (!text(key)) return false;
            skipSpace();
            if (!take(':')) return false;
            skipSpace();
            const bool isText = peek() == '"';
            if (isText ? !text(value) : !scalar()) return false;
            if (isText && key == "due") line.due = value;
            if (isText && key == "outcome") line.outcome = value;
            skipSpace();
            if (take('}')) break;
            if (!take(',')) return false;
        }
        skipSpace();
        return _at == _text.size() && line.due.size() >= 19;
    }

private:
    char peek() const { return _at < _text.size() ? _text[_at] : '\0'; }
    bool take(char c) {
        if (peek() != c) return false;
        ++_at;
        return true;
    }
    void skipSpace() {
        while (peek() == ' ' || peek() == '\t' || peek() == '\r') ++_at;
    }
    // A text without its quotes; escapes are checked, not decoded (moments and outcomes have none).
    bool text(std::string_view& value) {
        if (!take('"')) return false;
        const size_t start = _at;
        for (;;) {
            while (_at < _text.size() && !SPECIAL[static_cast<unsigned char>(_text[_at])]) ++_at;
            if (_at >= _text.size()) return false;
            const auto c = static_cast<unsigned char>(_text[_at]);
            if (c == '"') break;
            if (c < 0x20 || c >= 0x80) return false;  // control characters, and the writer's text is pure ASCII
            if (c == '\\') {
                const char escaped = ++_at < _text.size() ? _text[_at] : '\0';
                if (escaped == 'u') {
                    for (int i = 0; i < 4; ++i)
                        if (++_at >= _text.size() || !std::isxdigit(static_cast<unsigned char>(_text[_at]))) return false;
                } else if (std::string_view("\"\\/bfnrt").find(escaped) == std::string_view::npos || escaped == '\0') {
                    return false;
                }
            }
            ++_at;
        }
        value = _text.substr(start, _at - start);
        ++_at;
        return true;
    }
    bool scalar() {
        for (const std::string_view word : {"true", "false", "null"}) {
            if (_text.substr(_at, word.size()) == word) {
                _at += word.size();
                return true;
            }
        }
        take('-');
        const size_t digits = _at;
        while (std::isdigit(static_cast<unsigned char>(peek()))) ++_at;
        if (_at == digits) return false;
        if (take('.') && !std::isdigit(static_cast<unsigned char>(peek()))) return false;
        while (std::isdigit(static_cast<unsigned char>(peek()))) ++_at;
        if (take('e') || take('E')) {
            if (!take('+')) take('-');
            if (!std::isdigit(static_cast<unsigned char>(peek()))) return false;
            while (std::isdigit(static_cast<unsigned char>(peek()))) ++_at;
        }
        return true;
    }

    // The bytes a text stops at: its end, an escape, and what the writer never leaves in one.
    static constexpr auto SPECIAL = [] {
        std::array<bool, 256> special{};
        for (int c = 0; c < 0x20; ++c) special[c] = true;
        for (int c = 0x80; c < 0x100; ++c) special[c] = true;
        special['"'] = special['\\'] = true;
        return special;
    }();

    std::string_view _text;
    size_t _at = 0;
};

}  // namespace

std::vector<JournalLine> scanJournalLines(std::string_view fileText) {
    std::vector<JournalLine> lines;
    for (size_t start = 0; start < fileText.size();) {
        size_t end = fileText.find('\n', start);
        if (end == std::string_view::npos) end = fileText.size();
        JournalLine line;
        line.text = fileText.substr(start, end - start);
        if (FlatObjectScanner(line.text).scan(line)) lines.push_back(line);
        start = end + 1;
    }
    // Entries are appended as their plays end; a person reads them by the second they were due.
    const auto byDue = [](const JournalLine& a, const JournalLine& b) { return a.due < b.due; };
    if (!std::is_sorted(lines.begin(), lines.end(), byDue)) std::stable_sort(lines.begin(), lines.end(), byDue);
    return lines;
}

std::filesystem::path journalFileOf(const std::filesystem::path& folder, const std::string& date) { return folder / (date + DAY_FILE_EXTENSION); }

std::string readJournalText(const std::filesystem::path& folder, const std::string& date) {
    return readWholeFile(journalFileOf(folder, date)).value_or("");
}

std::vector<JournalEntry> readJournalDay(const std::filesystem::path& folder, const std::string& date) {
    const std::string text = readJournalText(folder, date);
    std::vector<JournalEntry> entries;
    for (const JournalLine& line : scanJournalLines(text)) {
        try {
            entries.push_back(from_json<JournalEntry>(std::string(line.text)));
        } catch (const std::exception&) {
            // Well formed but not an entry (edited by hand): the others still count.
        }
    }
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
            if (dayOfFileName(item.path()) && (!newest || utf8Of(item.path().stem()) > *newest)) newest = utf8Of(item.path().stem());
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
