#pragma once
// What a process costs in memory, from /proc/<pid>/status. Sanitizer builds keep shadow memory of their
// own, so memory figures are checked in plain builds only.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool SANITIZED = true;
#else
inline constexpr bool SANITIZED = false;
#endif

inline constexpr uint64_t MiB = 1024 * 1024;

// A field of /proc/<pid>/status in KiB (VmHWM: peak resident size, VmRSS: resident now); 0 when the
// field is absent.
size_t statusKiB(int pid, const std::string& field);
// The same for this process.
size_t ownStatusKiB(const std::string& field);

}  // namespace quorvane::testing
