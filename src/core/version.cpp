#include "core/version.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "core/child_process.h"
#include "core/paths.h"
#include "core/utf8_path.h"
#include "model/text.h"

namespace quorvane {

std::string getVersion() {
    if (isRelease()) {
        std::ifstream file(getAssetPath("version.info"));
        if (!file) throw std::runtime_error("cannot read " + utf8Of(getAssetPath("version.info")));
        std::stringstream content;
        content << file.rdbuf();
        return std::string(trimmed(content.str()));
    }
    const CommandOutput git = runCommand({"git", "describe", "--always", "--dirty"});
    return "D" + (git.exitStatus == 0 ? std::string(trimmed(git.standardOutput)) : std::string("?"));
}

const std::string& versionText() {
    static const std::string version = getVersion();
    return version;
}

}  // namespace quorvane
