#pragma once
// Counts of what happened since the program started, for monitoring tools: each is bumped where it
// happens, from any thread, and read whole when a tool asks. Counts only grow; a restart starts them at 0.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace quorvane {

struct EventCountsReading {
    // (kind, outcome) of every journaled play or missed bell, as the journal names them.
    std::map<std::pair<std::string, std::string>, uint64_t> bells;
    uint64_t saveFailures = 0;
    // Answers by the first digit of their status: [1] 1xx ... [5] 5xx; [0] is unused.
    std::array<uint64_t, 6> httpAnswers{};
    uint64_t failedLogins = 0;
};

class EventCounts {
public:
    static void bell(std::string_view kind, std::string_view outcome);
    static void saveFailure();
    static void httpAnswer(int status);
    static void failedLogin();

    static EventCountsReading read();
};

}  // namespace quorvane
