#pragma once
// SIGTERM (the service manager's stop) and SIGINT (Ctrl+C) end the server cleanly. They are blocked in
// every thread and taken by one thread that waits for them, so that the shutdown runs as ordinary code
// rather than inside a signal handler. On Windows the console's events (Ctrl+C, closing, logoff,
// shutdown) take their place.
#include <functional>
#include <string>

namespace quorvane {

// Blocks both signals in the calling thread; threads started afterwards inherit the mask, so this comes
// before the process starts any thread.
void blockTerminationSignals();

// Starts the thread that waits for the signals; it calls onSignal with the signal's name ("SIGTERM")
// for each one that arrives.
void startTerminationSignalThread(std::function<void(const std::string&)> onSignal);

// A stop asked for by other means (Windows' service control manager) takes the same way as a signal:
// the function given to startTerminationSignalThread is called with the name. A request before that
// call is kept and delivered then.
void requestTermination(const std::string& name);

}  // namespace quorvane
