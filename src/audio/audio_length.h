#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "model/audio_format.h"

namespace quorvane {

// How long TagLib may read one file. A real file is measured in milliseconds whatever its size; a large
// file that is not audio makes TagLib search every byte of it for a frame (about 10 s for 99 MiB of
// random bytes, 40 s for 99 MiB of zeros), and is cut off here instead.
inline constexpr std::chrono::milliseconds AUDIO_READ_LIMIT{2000};

// Playing time in seconds of a file read as the given format; absent when TagLib finds no audio stream
// in it or does not finish reading within the limit.
std::optional<double> readAudioSeconds(const std::string& filePath, AudioFormat format, std::chrono::milliseconds limit = AUDIO_READ_LIMIT);

// Playing time of an MP3, WAVE or MP4 file (format by extension) in whole seconds (half to even), -1
// when it cannot be read.
int64_t getAudioLength(const std::string& filePath);
// The same rounding for a time already read.
int64_t wholeSeconds(std::optional<double> seconds);

}  // namespace quorvane
