#include "web/routes.h"

#include "web/auth_handlers.h"
#include "web/config_endpoints.h"
#include "web/journal_endpoints.h"
#include "web/static_files.h"
#include "web/target_endpoints.h"

namespace quorvane::web {

std::vector<Route> applicationRoutes() {
    constexpr bool OPEN = false, GATED = true;
    constexpr Effect READ_ONLY = Effect::READ_ONLY, READS_MEMORY = Effect::READS_MEMORY;
    constexpr RequestBody NO_BODY = RequestBody::NONE, JSON_BODY = RequestBody::JSON, MULTIPART_BODY = RequestBody::MULTIPART;
    return {
        {"POST", "/auth/login", auth_login, OPEN, JSON_BODY},
        {"GET", "/auth/logout", auth_logout, GATED},
        {"POST", "/auth/chpasswd", auth_chpasswd, GATED, JSON_BODY},
        {"GET", "/<path:path>", serve_static, OPEN, NO_BODY, READ_ONLY},
        {"GET", "/", serve_static, OPEN, NO_BODY, READ_ONLY},
        // Before the generic read targets, which would take these names too.
        {"GET", "/api/get/journal", journal_endpoint, GATED, NO_BODY, READ_ONLY},
        {"GET", "/api/get/health", health_endpoint, GATED, NO_BODY, READ_ONLY},
        {"GET", "/api/get/<target>", get_endpoint, GATED, NO_BODY, READS_MEMORY},
        {"GET", "/api/trigger/<target>/<id>", trigger_endpoint, GATED},
        {"GET", "/db", get_db, GATED, NO_BODY, READS_MEMORY},
        {"POST", "/upload", upload_file, GATED, MULTIPART_BODY},
        {"GET", "/get_signal_file/<id>", get_signal_file, GATED, NO_BODY, READ_ONLY},
        {"GET", "/db/timetables", get_timetables, GATED, NO_BODY, READS_MEMORY},
        {"POST", "/db/timetables/create", timetables_create, GATED, JSON_BODY},
        {"POST", "/db/timetables/update/<id>", timetables_update, GATED, JSON_BODY},
        {"POST", "/db/settings/update", update_settings, GATED, JSON_BODY},
        {"GET", "/healthz", healthz, OPEN, NO_BODY, READ_ONLY},
    };
}

}  // namespace quorvane::web
