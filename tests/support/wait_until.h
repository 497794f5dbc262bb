#pragma once
#include <chrono>
#include <functional>
#include <thread>

namespace quorvane::testing {

// Polls a condition until it holds or the limit passes.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace quorvane::testing
