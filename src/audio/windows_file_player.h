#pragma once
// The file player on Windows: each play is an MCI device opened under an alias of its own. The
// sequence of commands lives here and is built everywhere; sending them needs winmm and is Windows-only.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/file_player.h"

namespace quorvane {

class WindowsFilePlayer : public FilePlayer {
public:
    // Sends one MCI command and gives its return text; throws PlaybackError.
    using CommandSender = std::function<std::string(const std::string& command)>;

    // Sends through _winCommand (Windows builds only).
    WindowsFilePlayer();
    // Sends through another sender (tests).
    explicit WindowsFilePlayer(CommandSender send);

    void startPlay(const std::string& path) override;
    bool isPlaying() override;
    void closeFile(bool wasAborted) override;

    const std::string& alias() const { return _alias; }

    // The MCI string interface of winmm; logs and throws PlaybackError on an error code (Windows only).
    static std::string _winCommand(const std::string& command);

    // Numbers the aliases of all plays of the process; never reset.
    static std::atomic<uint64_t> instanceCounter;

private:
    CommandSender _send;
    std::string _alias;
};

}  // namespace quorvane
