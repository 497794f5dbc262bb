#pragma once
// A process-wide value that start-up or a test replaces (a sink, a factory, a clock's sleep). Each one
// has its own leaf lock; callers take a copy and use it outside the lock.
#include <mutex>
#include <utility>

namespace quorvane {

template <class Value>
class Installed {
public:
    // Returns the value it replaces.
    Value replace(Value value) {
        std::lock_guard lock(_mutex);
        return std::exchange(_value, std::move(value));
    }

    Value get() const {
        std::lock_guard lock(_mutex);
        return _value;
    }

private:
    mutable std::mutex _mutex;
    Value _value{};
};

}  // namespace quorvane
