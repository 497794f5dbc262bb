#pragma once
#include <cstdint>
#include <string>

namespace quorvane {

// Playing time of an MP3 or WAVE file in whole seconds (half to even), -1 when it cannot be read.
int64_t getAudioLength(const std::string& filePath);

}  // namespace quorvane
