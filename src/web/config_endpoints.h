#pragma once
// The configuration endpoints: the whole database, timetables, settings, uploads and signal files.
#include "web/request_context.h"

namespace quorvane::web {

Reply get_db(RequestContext& context);
Reply get_timetables(RequestContext& context);
Reply timetables_create(RequestContext& context);
Reply timetables_update(RequestContext& context);
Reply update_settings(RequestContext& context);
Reply upload_file(RequestContext& context);
// Adds back the factory signals that are missing, under their own ids; answers {"restored": [ids]}.
Reply signals_restore_factory(RequestContext& context);
// POST /db/signals/rename/<id> {"name"}: trimmed, 1 to MAX_SIGNAL_NAME_BYTES bytes
inline constexpr size_t MAX_SIGNAL_NAME_BYTES = 80;
Reply signals_rename(RequestContext& context);
Reply get_signal_file(RequestContext& context);

}  // namespace quorvane::web
