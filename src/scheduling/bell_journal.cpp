#include "scheduling/bell_journal.h"

#include <utility>

#include "audio/journal_sink.h"
#include "core/installed.h"
#include "core/paths.h"
#include "scheduling/alert_worker.h"
#include "scheduling/scheduler.h"
#include "storage/journal_files.h"

namespace quorvane {
namespace {

Installed<std::shared_ptr<JournalWriter>> installed;

}  // namespace

std::shared_ptr<JournalWriter> openJournal(std::shared_ptr<JournalWriter> writer) {
    if (writer) {
        setJournalSink([writer](JournalEntry entry) {
            noticeForAlerts(entry);
            writer->submit(std::move(entry));
        });
    } else {
        setJournalSink({});
    }
    return installed.replace(std::move(writer));
}

std::shared_ptr<JournalWriter> openedJournal() { return installed.get(); }

std::filesystem::path journalFolder() { return getUserDataPath() / JOURNAL_FOLDER_NAME; }

std::string clockSetBackText(int64_t seconds) { return "The clock was set back by " + std::to_string(seconds) + " s"; }

JournalEntry clockSetBackNote(const struct_time& to, int64_t seconds) {
    JournalEntry note;
    note.due = journalMoment(to);
    note.kind = PlayKind::CLOCK_STEP;
    note.outcome = PlayOutcome::NOTE;
    note.reason = OutcomeReason::SET_BACK;
    note.code = seconds;
    note.detail = clockSetBackText(seconds);
    return note;
}

void noteSchedulerPass(const struct_time& reading) {
    if (const auto writer = openedJournal()) writer->notePass(reading);
}

void openJournalOfThisProcess(Scheduler& scheduler) {
    auto writer = std::make_shared<JournalWriter>(journalFolder());
    if (const auto lastAlive = lastSignOfLife(writer->folder(), localStructTime(std::chrono::system_clock::now()))) scheduler.resumeAfter(*lastAlive);
    openJournal(std::move(writer));
}

}  // namespace quorvane
