#pragma once
// The journal of the running process: a writer on the user data folder's journal, installed as the sink
// of finished plays and missed bells. Until one is opened (and in tests that open none) nothing is kept.
#include <filesystem>
#include <memory>
#include <string>

#include "model/journal_entry.h"
#include "model/time_reading.h"
#include "storage/journal_writer.h"

namespace quorvane {

// Installs the writer (null closes the journal); returns the previous one.
std::shared_ptr<JournalWriter> openJournal(std::shared_ptr<JournalWriter> writer);
std::shared_ptr<JournalWriter> openedJournal();
// The journal's folder inside the user data folder.
std::filesystem::path journalFolder();

// "The clock was set back by 33 s": the scheduler's warning and the journal note's detail.
std::string clockSetBackText(int64_t seconds);
// The journal's note of the wall clock set back by a number of seconds, due at the reading it went to.
JournalEntry clockSetBackNote(const struct_time& to, int64_t seconds);

// The scheduler's pass at a reading, for the record of its last pass.
void noteSchedulerPass(const struct_time& reading);

class Scheduler;
// Start-up: opens the journal of the user data folder and tells the scheduler, not started yet, when the
// previous run was last alive, so that its first pass journals the bells missed in between.
void openJournalOfThisProcess(Scheduler& scheduler);

}  // namespace quorvane
