#include "support/scoped_env.h"

#include <cstdlib>
#include <stdexcept>

namespace quorvane::testing {

void setEnv(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // The C runtime reads "NAME=" as removal; an empty value cannot be set this way on Windows.
    const int failed = _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    const int failed = value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
#endif
    if (failed) throw std::runtime_error("cannot set the environment variable " + name);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : _name(std::move(name)) {
    if (const char* previous = std::getenv(_name.c_str())) _previous = previous;
    setEnv(_name, value);
}

ScopedEnv::~ScopedEnv() {
    try {
        setEnv(_name, _previous);
    } catch (...) {
    }
}

}  // namespace quorvane::testing
