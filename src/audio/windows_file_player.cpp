#include "audio/windows_file_player.h"

#include <utility>

#include "audio/mci_commands.h"

namespace quorvane {

std::atomic<uint64_t> WindowsFilePlayer::instanceCounter{0};

WindowsFilePlayer::WindowsFilePlayer(CommandSender send) : _send(std::move(send)) {}

void WindowsFilePlayer::startPlay(const std::string& path) {
    // A fresh alias for every play, also for each repetition of one thread.
    _alias = mciAlias(instanceCounter.fetch_add(1));
    _send(mciOpenCommand(path, _alias));
    // When play fails the device stays open under the alias; nothing closes it.
    _send(mciPlayCommand(_alias));
}

bool WindowsFilePlayer::isPlaying() { return mciModeIsPlaying(_send(mciStatusCommand(_alias))); }

// Closing also stops a sound that still plays, so an abort needs nothing else.
void WindowsFilePlayer::closeFile(bool /*wasAborted*/) { _send(mciCloseCommand(_alias)); }

}  // namespace quorvane
