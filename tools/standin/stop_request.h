#pragma once
// The stand-in stops on SIGTERM or SIGINT (Ctrl+C), or on Windows on the console's events. The wait
// runs as ordinary code on the main thread, never inside a signal handler.

namespace standin {

// Before any thread starts, so that every thread inherits the blocked signals (POSIX).
void blockStopRequests();

// Returns once a stop was asked for.
void waitForStopRequest();

}  // namespace standin
