#pragma once
// A small application over the transport, enough to drive every path of it from tests:
//   /echo            the request as the handler saw it (method, path, query, body)
//   /file?name=N     the file N of the file folder, ranges allowed (and ranges=no to refuse them)
//   /upload          multipart into the spool folder; each part summed up, file parts observed
//   /refuse          refused before its body with 403
//   /hold            waits until release() (to fill the worker pool)
//   /inline          "ok", handled on the I/O thread
//   /secure          "yes" when the request came over TLS, else "no"
//   /throw           a handler that throws
//   /memory          this process's peak and current resident memory in KiB: "VmHWM VmRSS"
// Every answer gets the three cache headers from finish().
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "http/application.h"
#include "http/limits.h"
#include "http/server.h"

namespace quorvane::http::testing {

class TestApplication : public Application {
public:
    explicit TestApplication(std::filesystem::path folder) : _folder(std::move(folder)) {}

    BodyPlan planBody(const Request& request) override;
    Response handle(Request& request) override;
    void finish(Response& response) override;
    void log(LogLevel level, const std::string& message) override;

    const std::filesystem::path& folder() const { return _folder; }
    // Lets every /hold request, waiting or to come, answer.
    void release();
    size_t holding() const;
    // The errors logged since the last call.
    std::vector<std::string> takeErrors();
    size_t finished() const;

private:
    std::filesystem::path _folder;
    mutable std::mutex _mutex;
    std::condition_variable _released;
    bool _open = false;
    size_t _holding = 0, _finished = 0;
    std::vector<std::string> _errors;
};

// Peak and current resident memory of this process, in KiB.
size_t peakResidentKiB();
size_t residentKiB();

// A 16 hexadecimal digit FNV-1a digest, computed piece by piece.
class Fnv {
public:
    void add(std::string_view bytes);
    std::string hex() const;

private:
    uint64_t _hash = 1469598103934665603ull;
};

}  // namespace quorvane::http::testing
