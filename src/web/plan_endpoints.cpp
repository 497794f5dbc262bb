#include "web/plan_endpoints.h"

#include "core/clock.h"
#include "model/calendar_date.h"
#include "scheduling/day_plan.h"
#include "scheduling/day_type.h"
#include "scheduling/plan_changes.h"
#include "storage/stored_records.h"
#include "web/revisions.h"

namespace quorvane::web {
namespace {

// A member of the body that must be a text (or, where allowed, null: absent).
std::optional<std::string> textMember(const Json& body, const std::string& name, bool nullable) {
    const auto member = body.find(name);
    if (member != body.end() && member->is_string()) return member->get<std::string>();
    if (nullable && (member == body.end() || member->is_null())) return std::nullopt;
    throw PlanError("Invalid " + name + ": expected " + (nullable ? "a text or null" : "a text"));
}

Json dayPlanJson(const StateLock& lock, const DayPlan& plan) {
    Json result = to_dict(plan.info);
    result["dayReason"] = Codec<DayReason>::encode(plan.dayReason);
    result["calendarDataUntil"] = plan.calendarDataUntil ? Json(*plan.calendarDataUntil) : Json(nullptr);
    result["timetableName"] = plan.timetableName ? Json(*plan.timetableName) : Json(nullptr);
    result["adjustment"] = plan.adjustment ? to_dict(*plan.adjustment) : Json(nullptr);
    Json bells = Json::array();
    for (const ScheduledBell& bell : plan.bells) {
        Json item = to_dict(bell);
        const AudioAsset* signal = db.view(lock).signals.find(bell.desc.id);
        item["signalName"] = signal ? Json(signal->name) : Json(nullptr);
        bells.push_back(std::move(item));
    }
    result["bells"] = std::move(bells);
    return result;
}

// Plans live in the settings, so a plan change is made against the settings' revision.
template <class Change>
Reply changePlan(const RequestContext& context, Change&& change) {
    try {
        StateLock lock;
        if (auto stale = staleRevisionRefusal(context.request.headers, revisionOf(db.view(lock).settings))) return *stale;
        // Checked on a copy: a change that fails leaves the settings untouched.
        Settings settings = db.view(lock).settings;
        change(settings, db.view(lock).timetables, lock);
        db.edit(lock).settings.plannedDays = std::move(settings.plannedDays);
        db.edit(lock).settings.weekdayTimetables = std::move(settings.weekdayTimetables);
        db.edit(lock).settings.dayAdjustments = std::move(settings.dayAdjustments);
        return withRevision(json_response(true), revisionOf(db.view(lock).settings));
    } catch (const PlanError& error) {
        return BadRequest(error.what());
    }
}

}  // namespace

Json usesJson(const TimetableUses& uses) {
    Json result = Json::object();
    result["dates"] = uses.dates;
    result["weekdays"] = uses.weekdays;
    return result;
}

Reply get_day(RequestContext& context) {
    const std::string date = context.query("date").value_or("");
    const auto day = parseDate(date);
    if (!day) return BadRequest("Invalid date: " + date);
    StateLock lock;
    return json_response(dayPlanJson(lock, dayPlanOf(lock, *day)));
}

Reply get_day_types(RequestContext& context) {
    const std::string fromText = context.query("from").value_or("");
    const std::string toText = context.query("to").value_or("");
    const auto from = parseDate(fromText);
    if (!from) return BadRequest("Invalid date: " + fromText);
    const auto to = parseDate(toText);
    if (!to) return BadRequest("Invalid date: " + toText);
    if (*to < *from || *to - *from + 1 > MAX_PLAN_DAYS) return BadRequest("Invalid range: at most 366 days, from before to");
    Json days = Json::array();
    StateLock lock;
    for (int64_t day = *from; day <= *to; ++day) {
        const TypeOfDay type = typeOfDayNumber(lock, day);
        days.push_back({{"date", dateText(day)}, {"typeOfDay", Codec<TypeOfDay>::encode(type)}, {"working", isWorkingDayType(type)}});
    }
    return json_response(days);
}

Reply plan_days(RequestContext& context) {
    const Json& body = context.json;
    return changePlan(context, [&](Settings& settings, const MapDb<TimeTable>& timetables, const StateLock& lock) {
        if (!body.is_object()) throw PlanError("The plan must be a JSON object");
        const std::string from = *textMember(body, "from", false);
        const std::string to = textMember(body, "to", true).value_or(from);
        bool workingDaysOnly = false;
        if (const auto member = body.find("workingDaysOnly"); member != body.end()) {
            if (!member->is_boolean()) throw PlanError("Invalid workingDaysOnly: expected true or false");
            workingDaysOnly = member->get<bool>();
        }
        // A range over the holidays must not make them ring: their days keep what they had.
        std::function<bool(int64_t)> included;
        if (workingDaysOnly) included = [&lock](int64_t day) { return isWorkingDayType(typeOfDayNumber(lock, day)); };
        planDays(settings, timetables, from, to, textMember(body, "timetableId", true), dayNumberOf(getClock()), included);
    });
}

Reply plan_adjust(RequestContext& context) {
    const Json& body = context.json;
    return changePlan(context, [&](Settings& settings, const MapDb<TimeTable>&, const StateLock&) {
        if (!body.is_object()) throw PlanError("The adjustment must be a JSON object");
        for (const auto& [name, value] : body.items())
            if (name != "date" && name != "shiftMinutes" && name != "from" && name != "endAfter" && name != "clear")
                throw PlanError("Unknown member of the adjustment: " + name);
        DayAdjustmentChange change;
        change.date = textMember(body, "date", true).value_or(dateStringOf(getClock()));
        if (const auto shift = body.find("shiftMinutes"); shift != body.end()) {
            if (!isInt64(*shift)) throw PlanError("Invalid shiftMinutes: expected a whole number of minutes");
            change.shiftMinutes = shift->get<int64_t>();
        }
        change.from = textMember(body, "from", true).value_or("");
        if (body.contains("endAfter")) change.endAfter = textMember(body, "endAfter", false);
        if (const auto clear = body.find("clear"); clear != body.end()) {
            if (*clear != true) throw PlanError("Invalid clear: expected true");
            change.clear = true;
        }
        adjustDay(settings, change, dayNumberOf(getClock()));
    });
}

Reply plan_weekdays(RequestContext& context) {
    const Json& body = context.json;
    return changePlan(context, [&](Settings& settings, const MapDb<TimeTable>& timetables, const StateLock&) {
        const auto member = body.is_object() ? body.find("weekdayTimetables") : body.end();
        if (member == body.end() || !member->is_array()) throw PlanError("Invalid weekdayTimetables: expected a list of 7 texts");
        std::vector<std::string> perWeekday;
        for (const Json& id : *member) {
            if (!id.is_string()) throw PlanError("Invalid weekdayTimetables: expected a list of 7 texts");
            perWeekday.push_back(id.get<std::string>());
        }
        setWeekdayTimetables(settings, timetables, perWeekday);
    });
}

Reply timetables_delete(RequestContext& context) {
    const std::string& id = context.param("id");
    const auto confirm = context.json.is_object() ? context.json.find("confirm") : context.json.end();
    const bool confirmed = confirm != context.json.end() && confirm->is_boolean() && confirm->get<bool>();
    StateLock lock;
    if (!db.view(lock).timetables.contains(id)) return BadRequest("ID not found");
    if (auto stale = staleRevisionRefusal(context.request.headers, revisionOf(*db.view(lock).timetables.find(id)))) return *stale;
    const TimetableUses uses = usesOf(db.view(lock).settings, id);
    Json result = Json::object();
    result["uses"] = usesJson(uses);
    result["deleted"] = uses.empty() || confirmed;
    if (result["deleted"].get<bool>()) {
        clearUses(db.edit(lock).settings, id);
        db.edit(lock).timetables.remove(id);
    }
    return json_response(result);
}

}  // namespace quorvane::web
