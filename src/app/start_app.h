#pragma once

namespace quorvane {

// The entry of the process; returns only when the server stops (or start-up fails), with the exit status.
int start_app(int argc, const char* const* argv);

}  // namespace quorvane
