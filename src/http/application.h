#pragma once
// The web layer above the transport implements this.
#include <string>

#include "http/message.h"

namespace quorvane::http {

enum class LogLevel { debug, error };

class Application {
public:
    virtual ~Application() = default;
    // Headers are complete. Runs on an I/O thread: must be quick (it may take short locks).
    virtual BodyPlan planBody(const Request& request) = 0;
    // The body has arrived. Runs on the worker pool: may block on files and locks.
    virtual Response handle(Request& request) = 0;
    // Last touch on every answer, the transport's own errors included (400, 408, 411, 413, 414, 415,
    // 416, 431, 503...). Runs on a worker for handled requests and on an I/O thread for the
    // transport's own answers: must be quick and thread-safe.
    virtual void finish(Response& response) = 0;
    // An error the transport met (a handler that threw, a spool file that cannot be written...) at
    // error; a client's ordinary misbehaviour (timeouts, limits, malformed requests) at debug.
    // Called from any of the transport's threads.
    virtual void log(LogLevel level, const std::string& message) = 0;
};

}  // namespace quorvane::http
