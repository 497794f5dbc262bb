#pragma once
// A request that cannot go on, with the status to answer it with.
#include <stdexcept>
#include <string>

namespace quorvane::http {

class HttpError : public std::runtime_error {
public:
    HttpError(int status, const std::string& reason) : std::runtime_error(reason), _status(status) {}
    int status() const { return _status; }

private:
    int _status;
};

}  // namespace quorvane::http
