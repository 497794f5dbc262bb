#pragma once
// The whole interface on one page: every route of the system, in registration order.
#include <vector>

#include "web/route_table.h"

namespace quorvane::web {

std::vector<Route> applicationRoutes();

}  // namespace quorvane::web
