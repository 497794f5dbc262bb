#include "audio/file_player.h"

#include <mutex>
#include <utility>

namespace quorvane {
namespace {

std::mutex factoryMutex;
FilePlayerFactory installedFactory;

}  // namespace

FilePlayerFactory setFilePlayerFactory(FilePlayerFactory factory) {
    std::lock_guard lock(factoryMutex);
    return std::exchange(installedFactory, std::move(factory));
}

bool platformPlays(AudioFormat format) {
#ifdef _WIN32
    return format == AudioFormat::MP3 || format == AudioFormat::WAVE || format == AudioFormat::MP4;
#else
    return format == AudioFormat::MP3 || format == AudioFormat::WAVE;
#endif
}

std::unique_ptr<FilePlayer> makeFilePlayer() {
    FilePlayerFactory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = installedFactory;
    }
    return factory ? factory() : makePlatformFilePlayer();
}

}  // namespace quorvane
