#include "web/routes.h"

#include "web/alert_endpoints.h"
#include "web/auth_handlers.h"
#include "web/backup_endpoints.h"
#include "web/config_endpoints.h"
#include "web/emergency_endpoints.h"
#include "web/journal_endpoints.h"
#include "web/metrics_endpoint.h"
#include "web/openapi_endpoint.h"
#include "web/plan_endpoints.h"
#include "web/static_files.h"
#include "web/target_endpoints.h"
#include "web/timetable_sharing.h"

namespace quorvane::web {

std::vector<Route> applicationRoutes() {
    constexpr bool OPEN = false, GATED = true;
    constexpr Effect CHANGES_STATE = Effect::CHANGES_STATE, READ_ONLY = Effect::READ_ONLY, READS_MEMORY = Effect::READS_MEMORY;
    const std::string INVALID_TIMETABLE = "Invalid timetable";
    constexpr RequestBody NO_BODY = RequestBody::NONE, JSON_BODY = RequestBody::JSON, MULTIPART_BODY = RequestBody::MULTIPART;
    return {
        {"POST", "/auth/login", auth_login, OPEN, JSON_BODY},
        {"GET", "/auth/logout", auth_logout, GATED},
        {"POST", "/auth/chpasswd", auth_chpasswd, GATED, JSON_BODY},
        {"GET", "/<path:path>", serve_static, OPEN, NO_BODY, READ_ONLY},
        {"GET", "/", serve_static, OPEN, NO_BODY, READ_ONLY},
        {"GET", "/api/get/day", get_day, GATED, NO_BODY, READS_MEMORY},
        // Before the generic read targets, which would take these names too.
        {"GET", "/api/get/journal", journal_endpoint, GATED, NO_BODY, READ_ONLY},
        {"GET", "/api/get/health", health_endpoint, GATED, NO_BODY, READ_ONLY},
        {"GET", "/api/get/dayTypes", get_day_types, GATED, NO_BODY, READS_MEMORY},
        {"GET", "/api/get/<target>", get_endpoint, GATED, NO_BODY, READS_MEMORY},
        {"GET", "/api/trigger/<target>/<id>", trigger_endpoint, GATED},
        // Before the routines, which would take the name too.
        {"POST", "/api/emergency/stop", emergency_stop, GATED},
        {"POST", "/api/emergency/<routine>", emergency_start, GATED, JSON_BODY},
        {"GET", "/db", get_db, GATED, NO_BODY, READS_MEMORY},
        {"GET", "/backup", get_backup, GATED, NO_BODY, READ_ONLY},
        {"POST", "/restore", restore_backup, GATED, MULTIPART_BODY, CHANGES_STATE, MAX_BACKUP_BYTES},
        {"POST", "/upload", upload_file, GATED, MULTIPART_BODY},
        {"POST", "/db/signals/restoreFactory", signals_restore_factory, GATED},
        {"POST", "/db/signals/rename/<id>", signals_rename, GATED, JSON_BODY},
        {"GET", "/get_signal_file/<id>", get_signal_file, GATED, NO_BODY, READ_ONLY},
        {"GET", "/db/timetables", get_timetables, GATED, NO_BODY, READS_MEMORY},
        {"POST", "/db/timetables/create", timetables_create, GATED, JSON_BODY, CHANGES_STATE, DEFAULT_MAX_BODY_BYTES, INVALID_TIMETABLE},
        {"POST", "/db/timetables/update/<id>", timetables_update, GATED, JSON_BODY, CHANGES_STATE, DEFAULT_MAX_BODY_BYTES, INVALID_TIMETABLE},
        {"GET", "/db/timetables/export/<id>", timetables_export, GATED, NO_BODY, READS_MEMORY},
        {"POST", "/db/timetables/import", timetables_import, GATED, JSON_BODY},
        {"POST", "/db/settings/update", update_settings, GATED, JSON_BODY},
        {"POST", "/db/plan/days", plan_days, GATED, JSON_BODY},
        {"POST", "/db/plan/weekdays", plan_weekdays, GATED, JSON_BODY},
        {"POST", "/db/plan/adjust", plan_adjust, GATED, JSON_BODY},
        {"POST", "/db/timetables/delete/<id>", timetables_delete, GATED, JSON_BODY},
        {"GET", "/healthz", healthz, OPEN, NO_BODY, READ_ONLY},
        // Open to a monitoring tool's token as well as to a session: the handler checks either.
        {"GET", "/metrics", metrics_endpoint, OPEN, NO_BODY, READ_ONLY},  // the health checks look at files
        {"GET", "/api/metrics/token", metrics_token, GATED, NO_BODY, READS_MEMORY},
        {"POST", "/api/metrics/token", metrics_token_renew, GATED},
        {"GET", "/api/openapi.json", openapi_document, GATED, NO_BODY, READ_ONLY},
        // Waits for the receivers: on a worker, never on the transport's thread.
        {"POST", "/api/alerts/test", alerts_test, GATED},
    };
}

}  // namespace quorvane::web
