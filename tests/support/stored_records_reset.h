#pragma once
// Puts the process-wide stored records back to their defaults for a test.
#include "storage/stored_records.h"

namespace quorvane::testing {

inline void resetStoredRecords() {
    StateLock lock;
    db.edit() = DB();
    cache.edit() = Cache();
    shadow.edit() = Shadow();
}

}  // namespace quorvane::testing
