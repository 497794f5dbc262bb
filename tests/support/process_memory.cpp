#include "support/process_memory.h"

#include <fstream>

#include <unistd.h>

namespace quorvane::testing {

size_t statusKiB(int pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stoul(line.substr(field.size() + 1));
    return 0;
}

size_t ownStatusKiB(const std::string& field) { return statusKiB(static_cast<int>(getpid()), field); }

}  // namespace quorvane::testing
