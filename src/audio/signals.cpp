#include "audio/signals.h"

#include "audio/player.h"
#include "core/paths.h"
#include "model/errors.h"
#include "storage/stored_records.h"

namespace quorvane {

std::shared_ptr<PlayerThread> playSignalByDescriptor(const StateLock& lock, const PlayDesc& desc) {
    if (desc.doRepeat) return playSignalById(lock, desc.id, desc.iterations, desc.delaySec);
    return playSignalById(lock, desc.id);
}

std::shared_ptr<PlayerThread> playSignalById(const StateLock& lock, const std::string& id, int64_t count, double delay,
                                             PlaySource source) {
    if (id == NULL_ID) return nullptr;
    return playAudioFile(getSignalAssetPathById(lock, id), count, delay, source);
}

std::string getSignalAssetPathById(const StateLock& lock, const std::string& id) {
    const AudioAsset* signal = db.view(lock).signals.find(id);
    if (!signal) throw KeyError("id not found");
    if (signal->storageCategory == StorageCategory::ASSET) return getAssetPath(signal->filename).string();
    return getUserFilePath(signal->filename);
}

}  // namespace quorvane
