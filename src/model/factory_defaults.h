#pragma once
// The configuration a new installation starts with: the ten factory signals and one timetable.
#include "model/db.h"

namespace quorvane {

DB factoryDefaultDb();

}  // namespace quorvane
