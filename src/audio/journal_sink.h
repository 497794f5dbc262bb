#pragma once
// Where finished plays and missed bells are reported. The journal's writer installs itself at start-up;
// tests install recorders. Reporting never waits for a disk.
#include <functional>

#include "model/journal_entry.h"

namespace quorvane {

using JournalSink = std::function<void(JournalEntry)>;

// Replaces the sink (empty: entries are dropped); returns the previous one.
JournalSink setJournalSink(JournalSink sink);
// Hands the entry to the installed sink.
void toJournal(JournalEntry entry);

// An entry for a play of the given kind asked for at the second of the shared clock.
JournalEntry requestedPlay(PlayKind kind);

}  // namespace quorvane
