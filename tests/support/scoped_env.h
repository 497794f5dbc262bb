#pragma once

#include <optional>
#include <string>

namespace quorvane::testing {

// Sets (or, with no value, removes) one environment variable for the life of the object, then puts back
// what was there. Works the same with the C runtimes of Linux and Windows.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string _name;
    std::optional<std::string> _previous;
};

// The same, without the restoring: for tests that set and reset in SetUp and TearDown.
void setEnv(const std::string& name, const std::optional<std::string>& value);

// The separator of PATH entries on this platform.
inline constexpr char pathListSeparator =
#ifdef _WIN32
    ';';
#else
    ':';
#endif

}  // namespace quorvane::testing
