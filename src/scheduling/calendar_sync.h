#pragma once
// Calendar synchronisation: the heartbeat to the remote service and the download of a newer registry.

namespace quorvane {

// The heartbeat and the download; they block on the network, so they run on the heartbeat worker.
// They take the state lock themselves, only around their work with the cache.
void phoneHome();
void updateCalendarRegions();

// Runs phoneHome on the background heartbeat worker and returns at once; a heartbeat that is still
// running when the next is due is skipped. This is what the scheduler calls.
void startHeartbeat();

}  // namespace quorvane
