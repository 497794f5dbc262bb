#pragma once
// Any day's bells in advance, planned days, weekday timetables and the delete of a timetable that
// names where it is planned.
#include "scheduling/plan_changes.h"
#include "web/request_context.h"

namespace quorvane::web {

// GET /api/get/day?date=YYYY-MM-DD
Reply get_day(RequestContext& context);
// Where a timetable is planned: {"dates": [...], "weekdays": [Monday = 0...]}.
Json usesJson(const TimetableUses& uses);
// GET /api/get/dayTypes?from=YYYY-MM-DD&to=YYYY-MM-DD: each date's type of day and whether it is a working day
Reply get_day_types(RequestContext& context);
// POST /db/plan/days {"from", "to" (optional), "timetableId": id, "NULL" for no bells, null to clear,
// "workingDaysOnly" (optional): only the working days of the range change}
Reply plan_days(RequestContext& context);
// POST /db/plan/weekdays {"weekdayTimetables": seven ids or "", Monday first}
Reply plan_weekdays(RequestContext& context);
// POST /db/plan/adjust {"date" (default today), "shiftMinutes", "from", "endAfter"} or {"date", "clear": true}
Reply plan_adjust(RequestContext& context);
// POST /db/timetables/delete/<id> {"confirm": bool}: deletes at once when nothing plans the timetable;
// otherwise lists the uses and deletes (clearing them) only when confirmed.
Reply timetables_delete(RequestContext& context);

}  // namespace quorvane::web
