#include "model/emergency_routines.h"

namespace quorvane {

const EmergencyRoutine* routineNamed(const EmergencyRoutines& routines, std::string_view name) {
    const EmergencyRoutine* found = nullptr;
    forEachField<EmergencyRoutines>([&](const auto& f) {
        if (f.name == name) found = &(routines.*(f.member));
    });
    return found;
}

std::optional<std::string> routineUsing(const EmergencyRoutines& routines, const std::string& signalId) {
    std::optional<std::string> found;
    forEachField<EmergencyRoutines>([&](const auto& f) {
        if (!found && (routines.*(f.member)).signalId == signalId) found = std::string(f.name);
    });
    return found;
}

const EmergencyRoutine* factoryRoutineNamed(std::string_view name) {
    static const EmergencyRoutines factory;
    return routineNamed(factory, name);
}

}  // namespace quorvane
