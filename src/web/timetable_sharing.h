#pragma once
// One timetable as a file to share between schools, and its import as a new timetable.
#include "web/request_context.h"

namespace quorvane::web {

// GET /db/timetables/export/<id>: {"quorvaneTimetable": 1, "timetable": {...}, "signals": {id: name}}
Reply timetables_export(RequestContext& context);
// POST /db/timetables/import with an exported file as the JSON body: the new timetable's id, and the
// signals this installation lacks (they play nothing in the copy).
Reply timetables_import(RequestContext& context);

}  // namespace quorvane::web
