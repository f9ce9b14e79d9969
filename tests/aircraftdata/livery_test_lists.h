#pragma once

#include <initializer_list>
#include <string>

#include "aircraftdata/livery_data.h"

namespace crv::testing {

LiveryData livery(std::string airline, std::string type, std::string title, std::string registration = {},
                  bool cargo = false);

// The liveries in the order the livery scan hands them over.
LiveryList sortedLiveries(std::initializer_list<LiveryData> liveries);

// Loads the database the program ships (data/dbase.xml).
void installShippedDbase();

}  // namespace crv::testing
