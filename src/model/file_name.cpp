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

std::string fileNamePart(const std::string& name) {
    constexpr size_t MAX_BYTES = 40;
    std::string part;
    for (const unsigned char c : name) {
        if (part.size() == MAX_BYTES) break;
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (kept) part += static_cast<char>(c);
        else if (!part.empty() && part.back() != '-') part += '-';
    }
    while (!part.empty() && part.back() == '-') part.pop_back();
    return part;
}

}  // namespace quorvane
