#include "web/routes.h"

#include "web/auth_handlers.h"
#include "web/backup_endpoints.h"
#include "web/config_endpoints.h"
#include "web/plan_endpoints.h"
#include "web/journal_endpoints.h"
#include "web/static_files.h"
#include "web/target_endpoints.h"
#include "web/timetable_sharing.h"

namespace quorvane::web {

std::vector<Route> applicationRoutes() {
    constexpr bool OPEN = false, GATED = true;
    constexpr bool JSON_BODY = true;
    return {
        {"POST", "/auth/login", auth_login, OPEN, JSON_BODY},
        {"GET", "/auth/logout", auth_logout, GATED},
        {"POST", "/auth/chpasswd", auth_chpasswd, GATED, JSON_BODY},
        {"GET", "/<path:path>", serve_static, OPEN},
        {"GET", "/", serve_static, OPEN},
        {"GET", "/api/get/day", get_day, GATED},
        // Before the generic read targets, which would take these names too.
        {"GET", "/api/get/journal", journal_endpoint, GATED},
        {"GET", "/api/get/health", health_endpoint, GATED},
        {"GET", "/api/get/<target>", get_endpoint, GATED},
        {"GET", "/api/trigger/<target>/<id>", trigger_endpoint, GATED},
        {"GET", "/db", get_db, GATED},
        {"GET", "/backup", get_backup, GATED},
        {"POST", "/restore", restore_backup, GATED},
        {"POST", "/upload", upload_file, GATED},
        {"GET", "/get_signal_file/<id>", get_signal_file, GATED},
        {"GET", "/db/timetables", get_timetables, GATED},
        {"POST", "/db/timetables/create", timetables_create, GATED},
        {"POST", "/db/timetables/update/<id>", timetables_update, GATED},
        {"GET", "/db/timetables/export/<id>", timetables_export, GATED},
        {"POST", "/db/timetables/import", timetables_import, GATED, JSON_BODY},
        {"POST", "/db/settings/update", update_settings, GATED, JSON_BODY},
        {"POST", "/db/plan/days", plan_days, GATED, JSON_BODY},
        {"POST", "/db/plan/weekdays", plan_weekdays, GATED, JSON_BODY},
        {"POST", "/db/timetables/delete/<id>", timetables_delete, GATED, JSON_BODY},
        {"GET", "/healthz", healthz, OPEN},
    };
}

}  // namespace quorvane::web
