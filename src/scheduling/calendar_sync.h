#pragma once
// Calendar synchronisation: the heartbeat to the remote service and the download of a newer registry.

namespace quorvane {

// The heartbeat and the download; they block on the network, so they run on the heartbeat worker.
// They take the state lock themselves, only around their work with the cache.
void phoneHome();
void updateCalendarRegions();

}  // namespace quorvane
