#pragma once
// The one rule for a file name's extension: what follows the last dot of the last path component,
// where dots that only begin the component do not start an extension.
#include <string>
#include <utility>

namespace quorvane {

// (stem, extension lowercased without its dot).
std::pair<std::string, std::string> getFileNameAndExtension(const std::string& filename);

// A name made fit to stand in a file name on any system and in a quoted header: ASCII letters, digits,
// '-' and '_' kept, every other run of characters one '-', none at either end, at most 40 bytes.
std::string fileNamePart(const std::string& name);

}  // namespace quorvane
