#pragma once
// How long a request to the remote service may take. Nobody waits on the network without bound: the
// heartbeat worker and the web handlers both call the client.
#include <chrono>

namespace quorvane {

struct TimeLimits {
    std::chrono::milliseconds connect;
    std::chrono::milliseconds read;  // each wait for data; the whole answer gets connect + read
};

TimeLimits requestTimeLimits();   // connect 5 s, read 15 s
TimeLimits downloadTimeLimits();  // connect 5 s, read 60 s: an announcement is a whole audio file

// Tests divide every limit by this (1 gives the real ones again), so a timeout takes milliseconds.
void shortenTimeLimitsForTesting(int divisor);

}  // namespace quorvane
