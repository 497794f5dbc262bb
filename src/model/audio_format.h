#pragma once
// The audio formats the player knows, told from a file name's extension (model/file_name.h).
#include <string>

namespace quorvane {

enum class AudioFormat { UNKNOWN, MP3, WAVE, MP4 };

AudioFormat audioFormatOf(const std::string& filename);

}  // namespace quorvane
