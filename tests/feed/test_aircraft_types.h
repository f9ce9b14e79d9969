#pragma once

// The small aircraft database the feed's tests and fuzz targets decode with.

#include <string>
#include <utility>

#include "aircraftdata/aircraft_database.h"

namespace crv::testing {

// Loads a small aircraft database: the types A320 and B738 (large), A388,
// B744 and B763 (heavy); PH-BFB is a KLM B744, G-XLEA a BAW A388 operated by XYZ.
inline void installTestAircraftDatabase() {
  AircraftDatabase database;
  database.typeSets.all = {"A320", "A388", "B738", "B744", "B763"};
  database.typeSets.large = {"A320", "B738"};
  database.typeSets.heavy = {"A388", "B744", "B763"};
  for (const std::string& type : database.typeSets.large) database.categoryByType[type] = SizeCategory::Large;
  for (const std::string& type : database.typeSets.heavy) database.categoryByType[type] = SizeCategory::Heavy;
  database.knownRegistrations["PH-BFB"] = RegistrationData{"KLM", "B744", "", false};
  database.knownRegistrations["G-XLEA"] = RegistrationData{"BAW", "A388", "XYZ", false};
  installAircraftDatabase(std::move(database));
}

}  // namespace crv::testing
