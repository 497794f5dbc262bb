#include "audio/journal_sink.h"

#include <mutex>
#include <utility>

#include "core/clock.h"

namespace quorvane {
namespace {

// Leaf lock of the sink; the sink itself is called outside it.
std::mutex sinkMutex;
JournalSink installedSink;

}  // namespace

JournalSink setJournalSink(JournalSink sink) {
    std::lock_guard lock(sinkMutex);
    return std::exchange(installedSink, std::move(sink));
}

void toJournal(JournalEntry entry) {
    JournalSink sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = installedSink;
    }
    if (sink) sink(std::move(entry));
}

JournalEntry requestedPlay(PlayKind kind) {
    JournalEntry entry;
    entry.kind = kind;
    entry.due = journalMoment(getClock());
    return entry;
}

}  // namespace quorvane
