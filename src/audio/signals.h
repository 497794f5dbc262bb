#pragma once
// Signals of the configuration turned into playbacks, the alarm, and the length of audio files.
#include <memory>
#include <string>

#include "audio/player.h"
#include "model/db.h"

namespace quorvane {

// These read db.signals and db.settings: the caller holds the state lock.
std::shared_ptr<PlayerThread> playSignalByDescriptor(const PlayDesc& desc);
std::shared_ptr<PlayerThread> playSignalById(const std::string& id, int64_t count = 1, double delay = 0.0);
// KeyError "id not found" for an id that is not in the signal table.
std::string getSignalAssetPathById(const std::string& id);

class Alarm {
public:
    // Switches the endless alarm on or off. Requires the state lock (it reads the alarm settings).
    static void toggle();
    static bool isActive();
};

// Playing time of an MP3 or WAVE file in whole seconds (half to even), -1 when it cannot be read.
int64_t getAudioLength(const std::string& filePath);

}  // namespace quorvane
