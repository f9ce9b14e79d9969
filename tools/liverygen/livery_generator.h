#pragma once

// Realistic lists of installed liveries for tests and benchmarks: airline
// fleets of the database's common airliner types with registrations, cargo
// variants of the freighter types, generic ("ZZZ") liveries of every common
// type and private ("PVT") light aircraft, business jets and helicopters.
// The same options give the same list on every machine.

#include <cstddef>
#include <cstdint>
#include <string>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/livery_data.h"

namespace crv::liverygen {

struct GeneratorOptions {
  std::size_t liveryCount = 20000;
  std::size_t airlineCount = 300;
  std::uint32_t seed = 1;
};

// The liveries, sorted as the livery scan hands them over. Every title is
// unique; registrations are unique but for a few deliberate clashes.
LiveryList generateLiveries(const AircraftDatabase& database, const GeneratorOptions& options);

// An AIG-regcodes.xml that binds some registrations of the list anew (to
// another title of the same airline and type), reserves a few titles as
// special liveries and names a few "don't use" titles.
std::string generateAigRegcodesXml(const LiveryList& liveries, std::uint32_t seed);

// The liveries in the form of LiveriesScanned.xml (without its meta block).
std::string liveriesScannedXml(const LiveryList& liveries);

}  // namespace crv::liverygen
