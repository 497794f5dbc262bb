#pragma once
// Captures the process-wide log for the life of the object (debug level, bare messages).
#include <memory>
#include <sstream>
#include <string>

#include <spdlog/logger.h>

namespace quorvane::testing {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Everything logged so far, one message per line.
    std::string text() const;
    bool contains(const std::string& fragment) const { return text().find(fragment) != std::string::npos; }
    void clear();

private:
    std::shared_ptr<std::ostringstream> _stream;
    std::shared_ptr<spdlog::logger> _previous;
};

}  // namespace quorvane::testing
