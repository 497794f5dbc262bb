#pragma once
// The configuration a new installation starts with: the thirteen factory signals and one timetable.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/db.h"

namespace quorvane {

// A signal installed with the player; its file lies in the asset folder.
struct FactorySignal {
    const char* id;
    const char* name;
    const char* filename;
    int64_t lengthSec;

    AudioAsset asset() const;
};

// In the order in which a new installation lists them.
std::span<const FactorySignal> factorySignals();

DB factoryDefaultDb();

// Adds back, in factory order, every factory signal whose id the table lacks; a signal under a factory
// id is kept as it is. The ids added.
std::vector<std::string> restoreFactorySignals(DB& database);
// The factory signals whose ids the table lacks, in factory order.
std::vector<FactorySignal> missingFactorySignals(const DB& database);

}  // namespace quorvane
