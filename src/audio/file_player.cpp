#include "audio/file_player.h"

#include <utility>

#include "core/installed.h"

namespace quorvane {
namespace {

Installed<FilePlayerFactory> installedFactory;

}  // namespace

FilePlayerFactory setFilePlayerFactory(FilePlayerFactory factory) { return installedFactory.replace(std::move(factory)); }

bool platformPlays(AudioFormat format) {
#ifdef _WIN32
    return format == AudioFormat::MP3 || format == AudioFormat::WAVE || format == AudioFormat::MP4;
#else
    return format == AudioFormat::MP3 || format == AudioFormat::WAVE;
#endif
}

std::unique_ptr<FilePlayer> makeFilePlayer() {
    const FilePlayerFactory factory = installedFactory.get();
    return factory ? factory() : makePlatformFilePlayer();
}

}  // namespace quorvane
