#include "audio/signals.h"

#include "audio/player.h"
#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/errors.h"
#include "storage/stored_records.h"

namespace quorvane {

std::shared_ptr<PlayerThread> playSignalByDescriptor(const StateLock& lock, const PlayDesc& desc, std::optional<JournalEntry> entry) {
    if (desc.doRepeat) return playSignalById(lock, desc.id, desc.iterations, desc.delaySec, PlaySource::AUTOMATIC, std::move(entry));
    return playSignalById(lock, desc.id, 1, 0.0, PlaySource::AUTOMATIC, std::move(entry));
}

std::shared_ptr<PlayerThread> playSignalById(const StateLock& lock, const std::string& id, int64_t count, double delay, PlaySource source,
                                             std::optional<JournalEntry> entry) {
    if (id == NULL_ID) return nullptr;
    const std::string path = getSignalAssetPathById(lock, id);
    if (entry) {
        entry->signalId = id;
        entry->signalName = db.view(lock).signals.find(id)->name;
    }
    return Player::playFile(path, count, delay, source, std::move(entry));
}

std::string getSignalAssetPathById(const StateLock& lock, const std::string& id) {
    const AudioAsset* signal = db.view(lock).signals.find(id);
    if (!signal) throw KeyError("id not found");
    if (signal->storageCategory == StorageCategory::ASSET) return utf8Of(getAssetPath(signal->filename));
    return getUserFilePath(signal->filename);
}

}  // namespace quorvane
