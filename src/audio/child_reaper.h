#pragma once
// Collection of child processes that their owner no longer waits for (a player terminated by an
// abort), so that none stays a zombie and nobody's thread blocks on it.

namespace quorvane {

// Waits for the child on a background thread of its own and collects its exit status.
void reapInBackground(int pid);

}  // namespace quorvane
