#include "model/factory_defaults.h"

namespace quorvane {
namespace {

constexpr FactorySignal FACTORY_SIGNALS[] = {
    {"ID_double", "double", "p-double.mp3", 2},
    {"ID_robot", "robot", "p-robot.mp3", 2},
    {FACTORY_DEFAULT_SIGNAL_ID_PING, "ping", "p-ping.mp3", 3},
    {"ID_triplet", "triplet", "p-triplet.mp3", 2},
    {"ID_vibraphone", "vibraphone", "p-vibraphone.mp3", 3},
    {"ID_cartoon", "cartoon", "s-cartoon.mp3", 11},
    {"ID_guitar", "guitar", "s-guitar.mp3", 5},
    {FACTORY_DEFAULT_SIGNAL_ID_MELODY, "melody", "s-melody.mp3", 11},
    {"ID_ring", "ring", "s-ring.mp3", 3},
    {FACTORY_DEFAULT_SIGNAL_ID_ALARM, "alarm", "alarm.mp3", 5},
    {FACTORY_SIGNAL_ID_LOCKDOWN, "lockdown", "e-lockdown.mp3", 5},
    {FACTORY_SIGNAL_ID_EVACUATION, "evacuation", "e-evacuation.mp3", 4},
    {FACTORY_SIGNAL_ID_ALL_CLEAR, "all clear", "e-allclear.mp3", 4},
};

}  // namespace

AudioAsset FactorySignal::asset() const { return AudioAsset{name, filename, lengthSec, StorageCategory::ASSET, MyDateTime()}; }

std::span<const FactorySignal> factorySignals() { return FACTORY_SIGNALS; }

DB factoryDefaultDb() {
    DB database;
    database.settings.setupChecklist = SetupChecklist::nothingDone();
    restoreFactorySignals(database);

    TimeTable timetable;
    for (int channel = 0; channel <= 1; ++channel) {
        SignalTable& table = timetable.chAt(channel);
        table.startOfClass.id = FACTORY_DEFAULT_SIGNAL_ID_MELODY;
        table.endOfClass.id = FACTORY_DEFAULT_SIGNAL_ID_MELODY;
        table.preStart.id = FACTORY_DEFAULT_SIGNAL_ID_PING;
        table.preEnd.id = FACTORY_DEFAULT_SIGNAL_ID_PING;
    }
    database.timetables.add(std::move(timetable), FACTORY_DEFAULT_TIMETABLE_ID);
    return database;
}

std::vector<FactorySignal> missingFactorySignals(const DB& database) {
    std::vector<FactorySignal> missing;
    for (const FactorySignal& signal : FACTORY_SIGNALS)
        if (!database.signals.contains(signal.id)) missing.push_back(signal);
    return missing;
}

std::vector<std::string> restoreFactorySignals(DB& database) {
    std::vector<std::string> restored;
    for (const FactorySignal& signal : missingFactorySignals(database)) {
        database.signals.add(signal.asset(), signal.id);
        restored.emplace_back(signal.id);
    }
    return restored;
}

}  // namespace quorvane
