#pragma once

namespace quorvane {

// Configures the process-wide log: bare messages on standard error, info or debug level.
void configureLogging(bool verbose);

}  // namespace quorvane
