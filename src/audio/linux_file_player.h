#pragma once
// The file player outside Windows: each play is a child process of a command-line player, mpg123 for
// MP3 and aplay for WAVE, found on the executable search path.
#include <string>
#include <vector>

#include "audio/file_player.h"

namespace quorvane {

// The extension of the last path component, dot included and in lower case ("" without one); dots
// that only begin the component do not start an extension.
std::string lowerCaseExtension(const std::string& path);
// "mpg123" or "aplay" for the path; PlaybackError "Unsupported file format: <ext>" for anything else.
std::string playerProgramFor(const std::string& path);
// The program, its option for the ALSA device when one is chosen (mpg123 -a, aplay -D), and the path.
std::vector<std::string> playerCommandFor(const std::string& path, const std::string& device);

class LinuxFilePlayer : public FilePlayer {
public:
    LinuxFilePlayer() = default;
    LinuxFilePlayer(const LinuxFilePlayer&) = delete;
    LinuxFilePlayer& operator=(const LinuxFilePlayer&) = delete;
    // A child still running is handed to the reaper, never left behind as a zombie.
    ~LinuxFilePlayer() override;

    void startPlay(const std::string& path) override;
    bool isPlaying() override;
    void closeFile(bool wasAborted) override;
    PlayerExit lastExit() const override { return _lastExit; }

private:
    // Process id of the child of the current play; -1 once it has been collected or handed on.
    int _proc = -1;
    PlayerExit _lastExit;
};

}  // namespace quorvane
