#include "audio/journal_sink.h"

#include <utility>

#include "core/clock.h"
#include "core/installed.h"

namespace quorvane {
namespace {

Installed<JournalSink> installedSink;

}  // namespace

JournalSink setJournalSink(JournalSink sink) { return installedSink.replace(std::move(sink)); }

void toJournal(JournalEntry entry) {
    if (const JournalSink sink = installedSink.get()) sink(std::move(entry));
}

JournalEntry requestedPlay(PlayKind kind) {
    JournalEntry entry;
    entry.kind = kind;
    entry.due = journalMoment(getClock());
    return entry;
}

}  // namespace quorvane
