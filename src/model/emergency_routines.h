#pragma once
// The emergency routines a school can start from the dashboard: each plays its signal on every speaker,
// a number of times or until stopped, optionally followed by a spoken sentence.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/record.h"

namespace quorvane {

inline constexpr const char* FACTORY_SIGNAL_ID_LOCKDOWN = "ID_lockdown";
inline constexpr const char* FACTORY_SIGNAL_ID_EVACUATION = "ID_evacuation";
inline constexpr const char* FACTORY_SIGNAL_ID_ALL_CLEAR = "ID_allClear";

struct EmergencyRoutine {
    std::string signalId;
    int64_t repeat = 1;      // plays of the signal (with its sentence); 0: until stopped
    std::string spokenText;  // said after each play of the signal; "" for none

    static constexpr int64_t MAX_REPEAT = 100;
    static constexpr size_t MAX_SPOKEN_BYTES = 300;
    static constexpr auto fields() {
        return std::tuple{field("signalId", &EmergencyRoutine::signalId), field("repeat", &EmergencyRoutine::repeat, {0, MAX_REPEAT}),
                          field("spokenText", &EmergencyRoutine::spokenText)};
    }
};

struct EmergencyRoutines {
    EmergencyRoutine lockdown{FACTORY_SIGNAL_ID_LOCKDOWN, 3, ""};
    EmergencyRoutine evacuation{FACTORY_SIGNAL_ID_EVACUATION, 0, ""};
    EmergencyRoutine shelter{"ID_alarm", 3, ""};  // the factory alarm's siren
    EmergencyRoutine allClear{FACTORY_SIGNAL_ID_ALL_CLEAR, 1, ""};

    static constexpr auto fields() {
        return std::tuple{field("lockdown", &EmergencyRoutines::lockdown), field("evacuation", &EmergencyRoutines::evacuation),
                          field("shelter", &EmergencyRoutines::shelter), field("allClear", &EmergencyRoutines::allClear)};
    }
};

// The routines' names, as the settings and the web interface spell them.
inline constexpr std::array<std::string_view, 4> EMERGENCY_ROUTINE_NAMES{"lockdown", "evacuation", "shelter", "allClear"};
// The all clear ends an emergency; it is the one routine that lets the bells ring.
inline constexpr std::string_view ALL_CLEAR_ROUTINE = "allClear";

// The routine of that name; null for a name that is none.
const EmergencyRoutine* routineNamed(const EmergencyRoutines& routines, std::string_view name);
// The name of the first routine that plays the signal; absent when none does.
std::optional<std::string> routineUsing(const EmergencyRoutines& routines, const std::string& signalId);
// The factory's choice for the routine of that name (its signal when the chosen one is gone); null as above.
const EmergencyRoutine* factoryRoutineNamed(std::string_view name);

}  // namespace quorvane
