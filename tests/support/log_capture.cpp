#include "support/log_capture.h"

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/spdlog.h>

namespace quorvane::testing {

namespace {
// The ostream sink writes under its own mutex; text() reads under the same one.
std::mutex& captureMutex() {
    static std::mutex mutex;
    return mutex;
}

class LockedSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    explicit LockedSink(std::shared_ptr<std::ostringstream> stream) : _stream(std::move(stream)) {}

protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(message, formatted);
        std::lock_guard lock(captureMutex());
        _stream->write(formatted.data(), static_cast<std::streamsize>(formatted.size()));
    }
    void flush_() override {}

private:
    std::shared_ptr<std::ostringstream> _stream;
};
}  // namespace

LogCapture::LogCapture() : _stream(std::make_shared<std::ostringstream>()), _previous(spdlog::default_logger()) {
    auto logger = std::make_shared<spdlog::logger>("capture", std::make_shared<LockedSink>(_stream));
    logger->set_formatter(std::make_unique<spdlog::pattern_formatter>("%v", spdlog::pattern_time_type::local, "\n"));
    logger->set_level(spdlog::level::debug);
    spdlog::set_default_logger(logger);
}

LogCapture::~LogCapture() { spdlog::set_default_logger(_previous); }

std::string LogCapture::text() const {
    std::lock_guard lock(captureMutex());
    return _stream->str();
}

void LogCapture::clear() {
    std::lock_guard lock(captureMutex());
    _stream->str("");
}

}  // namespace quorvane::testing
