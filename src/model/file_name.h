#pragma once
// The one rule for a file name's extension: what follows the last dot of the last path component,
// where dots that only begin the component do not start an extension.
#include <string>
#include <utility>

namespace quorvane {

// (stem, extension lowercased without its dot).
std::pair<std::string, std::string> getFileNameAndExtension(const std::string& filename);

}  // namespace quorvane
