#include "support/emulator.h"

#ifndef _WIN32
#include <elf.h>
#endif

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string_view>

namespace quorvane::testing {
namespace {

#ifdef _WIN32
// Under Wine every program the tests start is a Windows program that Wine runs as it stands.
bool isExecutableOfOwnMachine(const std::string&) { return false; }
#else
#if defined(__aarch64__)
constexpr Elf64_Half OWN_MACHINE = EM_AARCH64;
#elif defined(__x86_64__)
constexpr Elf64_Half OWN_MACHINE = EM_X86_64;
#else
constexpr Elf64_Half OWN_MACHINE = EM_NONE;
#endif

bool isExecutableOfOwnMachine(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    Elf64_Ehdr header{};
    if (!file.read(reinterpret_cast<char*>(&header), sizeof header)) return false;
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_machine == OWN_MACHINE;
}
#endif

}  // namespace

bool runsUnderEmulator() { return !std::string_view(QUORVANE_TEST_EMULATOR).empty(); }

std::vector<std::string> underEmulator(std::vector<std::string> command) {
    if (!runsUnderEmulator()) return command;
    // The first such word is the program the command runs, also behind env or sh -c 'exec "$@"'.
    const auto program = std::find_if(command.begin(), command.end(), isExecutableOfOwnMachine);
    if (program != command.end()) command.insert(program, QUORVANE_TEST_EMULATOR);
    return command;
}

}  // namespace quorvane::testing
