#include "support/log_capture.h"

#include <spdlog/sinks/ostream_sink.h>

#include <algorithm>

namespace quorvane::testing {

std::string LogCapture::LockedBuffer::text() {
    std::lock_guard lock(_mutex);
    return str();
}

void LogCapture::LockedBuffer::clear() {
    std::lock_guard lock(_mutex);
    str({});
}

std::streamsize LogCapture::LockedBuffer::xsputn(const char* text, std::streamsize count) {
    std::lock_guard lock(_mutex);
    return std::stringbuf::xsputn(text, count);
}

LogCapture::LockedBuffer::int_type LogCapture::LockedBuffer::overflow(int_type c) {
    std::lock_guard lock(_mutex);
    return std::stringbuf::overflow(c);
}

LogCapture::LogCapture(spdlog::level::level_enum level)
    : _buffer(std::make_unique<LockedBuffer>()),
      _stream(std::make_unique<std::ostream>(_buffer.get())),
      _previous(spdlog::default_logger()) {
    auto logger = std::make_shared<spdlog::logger>("capture", std::make_shared<spdlog::sinks::ostream_sink_mt>(*_stream, true));
    logger->set_pattern("%v");
    logger->set_level(level);
    spdlog::set_default_logger(std::move(logger));
}

LogCapture::~LogCapture() { spdlog::set_default_logger(_previous); }

std::string LogCapture::text() const { return _buffer->text(); }

std::vector<std::string> LogCapture::lines() const {
    std::vector<std::string> result;
    std::istringstream stream(text());
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

bool LogCapture::hasLine(const std::string& line) const {
    const auto all = lines();
    return std::find(all.begin(), all.end(), line) != all.end();
}

std::vector<std::string> LogCapture::linesContaining(const std::string& text) const {
    std::vector<std::string> result;
    for (const auto& line : lines())
        if (line.find(text) != std::string::npos) result.push_back(line);
    return result;
}

void LogCapture::clear() { _buffer->clear(); }

}  // namespace quorvane::testing
