#pragma once
// What a playback thread needs from the platform to make a sound.
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "model/audio_format.h"

namespace quorvane {

// A failure of a file player, carrying its message text.
class PlaybackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How the player of the last play ended, where the platform can tell (a child process's exit status).
struct PlayerExit {
    enum class How { UNKNOWN, EXITED, SIGNALLED };
    How how = How::UNKNOWN;
    int code = 0;  // the exit status, or the number of the signal that ended it
};

class FilePlayer {
public:
    virtual ~FilePlayer() = default;
    // Starts playing without waiting for the end; throws PlaybackError.
    virtual void startPlay(const std::string& path) = 0;
    virtual bool isPlaying() = 0;
    // Ends the play and releases what startPlay took; throws PlaybackError.
    virtual void closeFile(bool wasAborted) = 0;
    // How the last play's player ended once isPlaying has answered false; players that cannot tell
    // keep the default.
    virtual PlayerExit lastExit() const { return {}; }
};

// The file player of this platform (Windows: MCI; elsewhere: mpg123 and aplay child processes).
std::unique_ptr<FilePlayer> makePlatformFilePlayer();
// True when the platform's file player can play the format: MP3 and WAVE everywhere, MP4 on Windows only.
bool platformPlays(AudioFormat format);

// Where new playback threads get their file player. Tests and benchmarks install their own; an empty
// factory means the platform's. Returns the previous factory.
using FilePlayerFactory = std::function<std::unique_ptr<FilePlayer>()>;
FilePlayerFactory setFilePlayerFactory(FilePlayerFactory factory);
// A file player from the installed factory, or the platform's.
std::unique_ptr<FilePlayer> makeFilePlayer();

}  // namespace quorvane
