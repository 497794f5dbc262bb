#pragma once
// A stand-in for espeak-ng first on PATH (POSIX shells only): it records its arguments and the text of
// the file after -f, then writes a few bytes to the file after -w, or fails with the status it is given.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace quorvane::testing {

class StubSpeech {
public:
    explicit StubSpeech(int exitStatus = 0) : _previousPath(std::getenv("PATH") ? std::getenv("PATH") : "") {
        const std::filesystem::path script = _dir / "espeak-ng";
        writeFile(script,
                  "#!/bin/sh\n"
                  "echo \"$*\" >> '" +
                      trace().string() +
                      "'\n"
                      "out=''; text=''; previous=''\n"
                      "for argument in \"$@\"; do\n"
                      "  [ \"$previous\" = -w ] && out=\"$argument\"\n"
                      "  [ \"$previous\" = -f ] && text=\"$argument\"\n"
                      "  previous=\"$argument\"\n"
                      "done\n"
                      "cat \"$text\" >> '" +
                      trace().string() + "'; echo >> '" + trace().string() +
                      "'\n"
                      "[ " +
                      std::to_string(exitStatus) + " -eq 0 ] || exit " + std::to_string(exitStatus) +
                      "\n"
                      "printf 'RIFF$\\000\\000\\000WAVE' > \"$out\"\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        setenv("PATH", (_dir.path().string() + ":" + _previousPath).c_str(), 1);
    }
    ~StubSpeech() { setenv("PATH", _previousPath.c_str(), 1); }
    StubSpeech(const StubSpeech&) = delete;
    StubSpeech& operator=(const StubSpeech&) = delete;

    std::filesystem::path trace() const { return _dir / "trace"; }
    // Each call as two lines: its arguments, then the sentence it was given.
    std::string calls() const { return std::filesystem::exists(trace()) ? readFile(trace()) : ""; }

private:
    TempDir _dir;
    std::string _previousPath;
};

}  // namespace quorvane::testing
