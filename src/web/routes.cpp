#include "web/routes.h"

#include "web/auth_handlers.h"
#include "web/config_endpoints.h"
#include "web/journal_endpoints.h"
#include "web/static_files.h"
#include "web/target_endpoints.h"

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
        // Before the generic read targets, which would take these names too.
        {"GET", "/api/get/journal", journal_endpoint, GATED},
        {"GET", "/api/get/health", health_endpoint, GATED},
        {"GET", "/api/get/<target>", get_endpoint, GATED},
        {"GET", "/api/trigger/<target>/<id>", trigger_endpoint, GATED},
        {"GET", "/db", get_db, GATED},
        {"POST", "/upload", upload_file, GATED},
        {"GET", "/get_signal_file/<id>", get_signal_file, GATED},
        {"GET", "/db/timetables", get_timetables, GATED},
        {"POST", "/db/timetables/create", timetables_create, GATED},
        {"POST", "/db/timetables/update/<id>", timetables_update, GATED},
        {"POST", "/db/settings/update", update_settings, GATED, JSON_BODY},
        {"GET", "/healthz", healthz, OPEN},
    };
}

}  // namespace quorvane::web
