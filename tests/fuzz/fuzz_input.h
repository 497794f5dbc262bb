#pragma once
// What every fuzz target shares: the input as text, and one way to report a broken property. libFuzzer
// counts an abort (and anything the sanitizers report, and an exception that escapes) as a crash and keeps
// the input that caused it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace quorvane::fuzz {

inline std::string inputText(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

[[noreturn]] inline void broken(const char* property, const std::string& detail = "") {
    std::fprintf(stderr, "property broken: %s\n%s\n", property, detail.c_str());
    std::abort();
}

inline void require(bool holds, const char* property, const std::string& detail = "") {
    if (!holds) broken(property, detail);
}

}  // namespace quorvane::fuzz
