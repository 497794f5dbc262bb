#pragma once
// Reading one series out of a Prometheus text exposition.
#include <optional>
#include <sstream>
#include <string>

namespace quorvane::testing {

// The value of the one series of the text whose name and labels are exactly these; none when absent.
inline std::optional<double> seriesValue(const std::string& text, const std::string& series) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(series + " ", 0) == 0) return std::stod(line.substr(series.size() + 1));
    return std::nullopt;
}

}  // namespace quorvane::testing
