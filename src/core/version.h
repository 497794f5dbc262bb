#pragma once
#include <string>

namespace quorvane {

// Packaged layout: the trimmed content of the asset file "version.info". Development layout: "D" and
// the output of `git describe --always --dirty` run in the current folder ("D?" when git fails).
// Throws when the version file cannot be read or git cannot be started at all.
std::string getVersion();
// getVersion() worked out once, on the first call (which may start git), then kept.
const std::string& versionText();

}  // namespace quorvane
