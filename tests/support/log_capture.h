#pragma once
// Captures the process log for a test: installs a default spdlog logger that writes the bare messages
// into memory through an ostream sink, and puts the previous logger back at destruction.
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace quorvane::testing {

class LogCapture {
public:
    explicit LogCapture(spdlog::level::level_enum level = spdlog::level::debug);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // All of these are safe while other threads are logging.
    std::string text() const;
    std::vector<std::string> lines() const;
    bool hasLine(const std::string& line) const;
    // The lines that contain the text.
    std::vector<std::string> linesContaining(const std::string& text) const;
    void clear();

private:
    // A string buffer that can be read while a logging thread writes into it.
    class LockedBuffer : public std::stringbuf {
    public:
        std::string text();
        void clear();

    protected:
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int_type overflow(int_type c) override;

    private:
        std::recursive_mutex _mutex;  // xsputn may call overflow
    };

    std::unique_ptr<LockedBuffer> _buffer;
    std::unique_ptr<std::ostream> _stream;
    std::shared_ptr<spdlog::logger> _previous;
};

}  // namespace quorvane::testing
