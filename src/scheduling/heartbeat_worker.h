#pragma once
// The background worker that runs the heartbeat (startHeartbeat in calendar_sync.h), so that the
// scheduler pass never waits on the network.
#include <chrono>

namespace quorvane {

bool heartbeatRunning();
// Waits until no heartbeat is running; false when one still runs when the limit is reached.
bool waitForHeartbeatIdle(std::chrono::milliseconds limit);

}  // namespace quorvane
