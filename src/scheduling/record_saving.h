#pragma once

namespace quorvane {

// The three auto-saves of a scheduler pass, each tried even when another fails. A failure is logged
// and retried on later passes; a failure that repeats is logged at most once a minute.
void saveStoredRecords();

}  // namespace quorvane
