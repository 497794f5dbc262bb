#include "scheduling/bell_journal.h"

#include <utility>

#include "audio/journal_sink.h"
#include "core/installed.h"
#include "core/paths.h"
#include "scheduling/scheduler.h"
#include "storage/journal_files.h"

namespace quorvane {
namespace {

Installed<std::shared_ptr<JournalWriter>> installed;

}  // namespace

std::shared_ptr<JournalWriter> openJournal(std::shared_ptr<JournalWriter> writer) {
    if (writer) {
        setJournalSink([writer](JournalEntry entry) { writer->submit(std::move(entry)); });
    } else {
        setJournalSink({});
    }
    return installed.replace(std::move(writer));
}

std::shared_ptr<JournalWriter> openedJournal() { return installed.get(); }

std::filesystem::path journalFolder() { return getUserDataPath() / JOURNAL_FOLDER_NAME; }

void noteSchedulerPass(const struct_time& reading) {
    if (const auto writer = openedJournal()) writer->notePass(reading);
}

void openJournalOfThisProcess(Scheduler& scheduler) {
    auto writer = std::make_shared<JournalWriter>(journalFolder());
    if (const auto lastAlive = lastSignOfLife(writer->folder(), localStructTime(std::chrono::system_clock::now())))
        scheduler.resumeAfter(*lastAlive);
    openJournal(std::move(writer));
}

}  // namespace quorvane
