#pragma once
// In a cross build the tests run under user-mode emulation (qemu), and so must every program of this
// build that they start: without binfmt_misc the kernel cannot run a foreign executable by itself.
#include <string>
#include <vector>

namespace quorvane::testing {

// True in a cross build, whose tests run under the build's emulator.
bool runsUnderEmulator();

// The command as given, or with the build's emulator before its first word that names an executable
// of this build's target architecture (the program itself, or the one that env or a shell wrapper
// runs), in a cross build. The build machine's own programs (sh, dpkg, the stub players) run natively.
std::vector<std::string> underEmulator(std::vector<std::string> command);

}  // namespace quorvane::testing
