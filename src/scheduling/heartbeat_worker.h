#pragma once
// The background worker that runs the heartbeat, so that the scheduler pass never waits on the network.
#include <chrono>

namespace quorvane {

// Runs phoneHome on the background heartbeat worker and returns at once; a heartbeat that is still
// running when the next is due is skipped. This is what the scheduler calls.
void startHeartbeat();

bool heartbeatRunning();
// Waits until no heartbeat is running; false when one still runs when the limit is reached.
bool waitForHeartbeatIdle(std::chrono::milliseconds limit);

}  // namespace quorvane
