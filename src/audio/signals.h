#pragma once
// Signals of the configuration turned into playbacks: a signal id is looked up in db.signals and its
// file played. They read the configuration, so the caller proves it holds the state lock.
#include <memory>
#include <optional>
#include <string>

#include "audio/player.h"
#include "audio/player_thread.h"
#include "core/state_lock.h"
#include "model/db.h"

namespace quorvane {

// With a journal entry the play is journaled, the signal's id and name filled in.
std::shared_ptr<PlayerThread> playSignalByDescriptor(const StateLock& lock, const PlayDesc& desc, std::optional<JournalEntry> entry = std::nullopt);
std::shared_ptr<PlayerThread> playSignalById(const StateLock& lock, const std::string& id, int64_t count = 1, double delay = 0.0,
                                             PlaySource source = PlaySource::AUTOMATIC, std::optional<JournalEntry> entry = std::nullopt);
// KeyError "id not found" for an id that is not in the signal table.
std::string getSignalAssetPathById(const StateLock& lock, const std::string& id);

}  // namespace quorvane
