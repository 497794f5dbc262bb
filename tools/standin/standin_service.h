#pragma once
// The one endpoint of the remote service, GET /api/player/v1?c=<command>, answered from local files.
#include <httplib.h>

#include "standin_options.h"

namespace standin {

void addServiceRoutes(httplib::Server& server, const Options& options);

}  // namespace standin
