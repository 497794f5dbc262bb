#pragma once
// Paths from and to the UTF-8 text the program keeps everywhere. std::string paths are read in the
// system's narrow code page on Windows, which loses every character outside it; these go through
// char8_t so Windows gets the wide names.
#include <filesystem>
#include <string>
#include <string_view>

namespace quorvane {

std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8Of(const std::filesystem::path& path);

}  // namespace quorvane
