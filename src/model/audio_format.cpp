#include "model/audio_format.h"

#include "model/file_name.h"

namespace quorvane {

AudioFormat audioFormatOf(const std::string& filename) {
    const std::string extension = getFileNameAndExtension(filename).second;
    if (extension == "mp3") return AudioFormat::MP3;
    if (extension == "wav") return AudioFormat::WAVE;
    if (extension == "mp4") return AudioFormat::MP4;
    return AudioFormat::UNKNOWN;
}

}  // namespace quorvane
