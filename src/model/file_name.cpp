#include "model/file_name.h"

#include "model/text.h"

namespace quorvane {

std::pair<std::string, std::string> getFileNameAndExtension(const std::string& filename) {
    const size_t lastSeparator = filename.find_last_of("/\\");
    const size_t componentStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
    size_t firstNonDot = componentStart;
    while (firstNonDot < filename.size() && filename[firstNonDot] == '.') ++firstNonDot;
    const size_t dot = filename.rfind('.');
    if (dot == std::string::npos || dot < firstNonDot) return {filename, ""};
    return {filename.substr(0, dot), toLower(filename.substr(dot + 1))};
}

}  // namespace quorvane
