#include "model/factory_defaults.h"

namespace quorvane {
namespace {

struct FactorySignal {
    const char* id;
    const char* name;
    const char* filename;
    int64_t lengthSec;
};

// In the order in which the browser lists them.
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
};

}  // namespace

DB factoryDefaultDb() {
    DB database;
    for (const FactorySignal& signal : FACTORY_SIGNALS)
        database.signals.add(AudioAsset{signal.name, signal.filename, signal.lengthSec, StorageCategory::ASSET, MyDateTime()}, signal.id);

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

}  // namespace quorvane
