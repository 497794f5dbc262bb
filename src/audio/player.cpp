#include "audio/player.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <vector>

#include <spdlog/spdlog.h>

#include "audio/journal_sink.h"

namespace quorvane {
namespace {

// Leaf lock of the registry. playFile holds it from registering to starting and stopAll for its whole
// walk, so that no playback can slip past a stopAll.
std::mutex registryMutex;
struct Registered {
    std::shared_ptr<PlayerThread> thread;
    PlaySource source;
};
std::vector<Registered> threads;
// Threads started here whose bodies have not ended yet, whether or not a stopAll took them off the
// registry.
std::vector<const PlayerThread*> running;

// Both ways of starting a play: registered and counted against the cap in one step.
std::shared_ptr<PlayerThread> startPlayback(const std::string& path, const std::string& followUp, int64_t count, double delay, PlaySource source,
                                            std::optional<JournalEntry> journalEntry) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        spdlog::error("ERROR: File does not exist: {}", path);
        if (journalEntry) {
            journalEntry->outcome = PlayOutcome::FAILED;
            journalEntry->reason = OutcomeReason::FILE_MISSING;
            journalEntry->detail = path;
            toJournal(std::move(*journalEntry));
        }
        return nullptr;
    }
    auto thread = std::make_shared<PlayerThread>(path, count, delay);
    if (journalEntry) thread->setJournalEntry(std::move(*journalEntry));
    if (!followUp.empty()) {
        if (std::filesystem::exists(followUp, ignored)) thread->followEachPlayWith(followUp);
        else spdlog::error("ERROR: File does not exist: {}; {} plays alone", followUp, path);
    }
    std::lock_guard lock(registryMutex);
    // Counted under the registry's lock, so that plays asked for side by side cannot pass the cap together.
    if (source == PlaySource::INTERFACE && std::count_if(threads.begin(), threads.end(), [](const Registered& entry) {
                                               return entry.source == PlaySource::INTERFACE;
                                           }) >= static_cast<std::ptrdiff_t>(MAX_INTERFACE_PLAYS))
        throw TooManyPlays();
    threads.push_back({thread, source});
    running.push_back(thread.get());
    try {
        thread->start();
    } catch (...) {
        threads.pop_back();
        running.pop_back();
        throw;
    }
    return thread;
}

}  // namespace

std::shared_ptr<PlayerThread> Player::playFile(const std::string& path, int64_t count, double delay, PlaySource source,
                                               std::optional<JournalEntry> entry) {
    return startPlayback(path, "", count, delay, source, std::move(entry));
}

std::shared_ptr<PlayerThread> Player::playFollowedBy(const std::string& path, const std::string& followUp, int64_t count, PlaySource source,
                                                     std::optional<JournalEntry> entry) {
    return startPlayback(path, followUp, count, 0.0, source, std::move(entry));
}

void Player::stopAll(OutcomeReason why) {
    std::lock_guard lock(registryMutex);
    // Every registered thread is aborted, also one that is started but whose body has not begun yet:
    // it would otherwise play unregistered and unstoppable.
    for (const auto& entry : threads) entry.thread->abortPlay(why);
    threads.clear();
}

bool Player::isPlaying() {
    std::lock_guard lock(registryMutex);
    return !threads.empty();
}

size_t Player::activePlays() {
    std::lock_guard lock(registryMutex);
    return threads.size();
}

bool Player::hasRunningThreads() {
    std::lock_guard lock(registryMutex);
    return !running.empty();
}

void Player::_onThreadEnd(const PlayerThread* thread) {
    std::lock_guard lock(registryMutex);
    const auto found = std::find_if(threads.begin(), threads.end(), [thread](const auto& entry) { return entry.thread.get() == thread; });
    if (found != threads.end()) threads.erase(found);
    std::erase(running, thread);
}

void stopAllPlay() { Player::stopAll(); }

}  // namespace quorvane
