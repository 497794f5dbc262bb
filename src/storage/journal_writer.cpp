#include "storage/journal_writer.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <spdlog/spdlog.h>

#include "core/event_counts.h"
#include "core/file_io.h"
#include "core/utf8_path.h"
#include "model/record.h"
#include "storage/journal_files.h"

namespace quorvane {
namespace {

void appendDurably(const std::filesystem::path& path, const std::string& text) {
    const int fd = openFileDescriptor(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + utf8Of(path));
    if (!writeAll(fd, text)) {
        const int saved = errno;
        closeFileDescriptor(fd);
        throw std::system_error(saved, std::generic_category(), "cannot append to " + utf8Of(path));
    }
    syncFileData(fd);
    closeFileDescriptor(fd);
}

JournalEntry capNote(const std::string& date) {
    JournalEntry note;
    note.due = date + "T23:59:59";
    note.kind = PlayKind::JOURNAL_FULL;
    note.outcome = PlayOutcome::NOTE;
    note.reason = OutcomeReason::DAILY_CAP;
    note.detail = "The journal keeps at most " + std::to_string(JournalWriter::MAX_ENTRIES_PER_DAY) +
                  " entries a day; later events of this day were not recorded.";
    return note;
}

}  // namespace

JournalWriter::JournalWriter(std::filesystem::path folder) : _folder(std::move(folder)) {
    std::error_code error;
    std::filesystem::create_directories(_folder, error);
    _thread = std::thread([this] { run(); });
}

JournalWriter::~JournalWriter() {
    {
        std::lock_guard lock(_mutex);
        _stop = true;
    }
    _wake.notify_one();
    _thread.join();
}

bool JournalWriter::submit(JournalEntry entry) {
    // Counted as it happened, also when the queue has no room to keep it.
    if (entry.outcome != PlayOutcome::NOTE) EventCounts::bell(enumText(entry.kind), enumText(entry.outcome));
    {
        std::lock_guard lock(_mutex);
        if (_queue.size() >= QUEUE_CAPACITY) {
            if (!std::exchange(_dropping, true)) spdlog::error("The journal cannot keep up: entries are dropped");
            return false;
        }
        _dropping = false;
        _queue.push_back(std::move(entry));
        ++_requested;
    }
    _wake.notify_one();
    return true;
}

void JournalWriter::notePass(const struct_time& reading) {
    bool wake = false;
    {
        std::lock_guard lock(_mutex);
        const std::string date = dateStringOf(reading);
        if (date != _passDate) {
            _passDate = date;
            _pendingPrune = reading;
            wake = true;
        }
        // A clock set back writes at once too, or the record would stay in the future for a while.
        const int64_t sinceWritten = _writtenPass ? wallSeconds(reading) - wallSeconds(*_writtenPass) : LAST_PASS_INTERVAL_SECONDS;
        if (sinceWritten >= LAST_PASS_INTERVAL_SECONDS || sinceWritten < 0) {
            _writtenPass = reading;  // counted as written from now on: one write a minute at most
            _pendingPass = reading;
            wake = true;
        }
        if (wake) ++_requested;
    }
    if (wake) _wake.notify_one();
}

void JournalWriter::flush() {
    std::unique_lock lock(_mutex);
    const uint64_t target = _requested;
    _done.wait(lock, [&] { return _completed >= target; });
}

bool JournalWriter::hasWork() const { return !_queue.empty() || _pendingPass || _pendingPrune; }

void JournalWriter::run() {
    std::unique_lock lock(_mutex);
    for (;;) {
        _wake.wait(lock, [this] { return _stop || hasWork(); });
        if (!hasWork() && _stop) return;
        Work work;
        work.entries.swap(_queue);
        work.lastPass = std::exchange(_pendingPass, std::nullopt);
        work.pruneFor = std::exchange(_pendingPrune, std::nullopt);
        const uint64_t taken = _requested;
        lock.unlock();
        write(work);
        lock.lock();
        _completed = taken;
        _done.notify_all();
    }
}

void JournalWriter::write(Work& work) {
    try {
        if (work.pruneFor) {
            pruneJournal(_folder, *work.pruneFor, KEEP_DAYS);
            _days.clear();  // counts are read again from the files that remain
        }
        // Runs of entries of one day become one append each.
        while (!work.entries.empty()) {
            const std::string date = journalDateOf(work.entries.front().due);
            std::deque<JournalEntry> sameDay;
            while (!work.entries.empty() && journalDateOf(work.entries.front().due) == date) {
                sameDay.push_back(std::move(work.entries.front()));
                work.entries.pop_front();
            }
            append(date, sameDay);
        }
        if (work.lastPass) writeLastPass(_folder, *work.lastPass);
    } catch (const std::exception& error) {
        spdlog::error("The journal could not be written: {}", error.what());
    }
}

JournalWriter::DayFile& JournalWriter::dayFile(const std::string& date) {
    const auto known = _days.find(date);
    if (known != _days.end()) return known->second;
    DayFile day;
    if (const auto text = readWholeFile(journalFileOf(_folder, date)); text && !text->empty()) {
        day.lines = std::count(text->begin(), text->end(), '\n');
        day.endsTorn = text->back() != '\n';
    }
    return _days.emplace(date, day).first->second;
}

void JournalWriter::append(const std::string& date, const std::deque<JournalEntry>& entries) {
    if (!parseDateText(date)) return;  // never a file named by something that is no date
    DayFile& day = dayFile(date);
    std::string text;
    int64_t lines = day.lines;
    // A torn last line must not swallow the first new entry.
    if (day.endsTorn) {
        text = "\n";
        ++lines;
    }
    for (const JournalEntry& entry : entries) {
        if (lines >= MAX_ENTRIES_PER_DAY) {
            // The note is the one line past the cap, so a full day file tells by its length alone.
            if (lines == MAX_ENTRIES_PER_DAY) {
                text += to_json(capNote(date)) + "\n";
                ++lines;
            }
            break;
        }
        text += to_json(entry) + "\n";
        ++lines;
    }
    if (text.empty()) return;
    appendDurably(journalFileOf(_folder, date), text);
    day.lines = lines;
    day.endsTorn = false;
}

}  // namespace quorvane
