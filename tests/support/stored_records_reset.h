#pragma once
// Puts the process-wide stored records back to their defaults for a test.
#include "storage/stored_records.h"

namespace quorvane::testing {

inline void resetStoredRecords() {
    StateLock lock;
    db.edit(lock) = DB();
    cache.edit(lock) = Cache();
    shadow.edit(lock) = Shadow();
}

}  // namespace quorvane::testing
