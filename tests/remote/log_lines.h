#pragma once
// Whole-line views of a captured log.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/log_capture.h"

namespace quorvane::testing {

inline std::vector<std::string> logLines(const LogCapture& log) {
    std::vector<std::string> lines;
    std::istringstream stream(log.text());
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

inline bool hasLogLine(const LogCapture& log, const std::string& line) {
    const auto lines = logLines(log);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline std::vector<std::string> logLinesContaining(const LogCapture& log, const std::string& text) {
    std::vector<std::string> found;
    for (const auto& line : logLines(log))
        if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
}

}  // namespace quorvane::testing
