#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quorvane::testing {

TempDir::TempDir() {
    // create_directory reports whether it made the folder, so a name another test took is never shared.
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("quorvane-test-" + std::to_string(random() % 100000000000ULL));
        if (std::filesystem::create_directory(candidate)) {
            _path = std::filesystem::canonical(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace quorvane::testing
