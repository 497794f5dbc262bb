#pragma once
// The child processes of the command-line players, from their start to their collection. Every child
// is known here until it has been waited for, so that shutdown can end them all and none stays a
// zombie; a child is signalled only while it is known, so a signal never reaches a reused process id.
#include <chrono>
#include <string>
#include <vector>

#include "audio/file_player.h"

namespace quorvane {

// Starts the player's command (the program, found on the search path, then its arguments); PlaybackError
// with the system's text when it cannot, or when the players have been closed for shutdown.
int startPlayerChild(const std::vector<std::string>& command);
// True once the child has ended; it is then collected, and how it ended goes to `exit` when given.
bool playerChildHasEnded(int pid, PlayerExit* exit = nullptr);
// Sends SIGTERM to the child unless it has been collected.
void terminatePlayerChild(int pid);
// Waits for the child on a background thread of its own and collects it; for children that their owner
// no longer follows (a player terminated by an abort).
void reapInBackground(int pid);

// Shutdown: no player starts any more; every player still running gets SIGTERM, and one still running
// at the deadline SIGKILL. True when all had ended by the deadline. Returns shortly after the deadline
// at the latest.
bool endAllPlayerChildren(std::chrono::steady_clock::time_point deadline);
// Tests open the players again after endAllPlayerChildren.
void reopenPlayerChildrenForTesting();

}  // namespace quorvane
