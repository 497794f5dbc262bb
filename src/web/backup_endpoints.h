#pragma once
// The whole configuration as one archive to download, and its checked restore.
#include <cstdint>

#include "web/request_context.h"

namespace quorvane::web {

// The largest upload a restore takes.
inline constexpr uint64_t MAX_BACKUP_BYTES = uint64_t{1} << 30;

// GET /backup: a zip of the database, the calendar cache and the uploaded signal files.
Reply get_backup(RequestContext& context);
// POST /restore (multipart, part "file"): checks the whole archive, then replaces files and records.
Reply restore_backup(RequestContext& context);

}  // namespace quorvane::web
