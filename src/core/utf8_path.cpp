#include "core/utf8_path.h"

namespace quorvane {

std::filesystem::path pathFromUtf8(std::string_view text) { return std::filesystem::path(std::u8string(text.begin(), text.end())); }

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace quorvane
