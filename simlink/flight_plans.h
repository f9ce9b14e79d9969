#pragma once

// The flight plans of live AI aircraft: one small AceXML file per bound
// aircraft whose departure and destination are known, in the folder
// orig_dest of the data folder. With MSFS 2020 the file is also given to the
// simulator; MSFS 2024 only gets the file written.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "aircraftdata/size_category.h"
#include "simlink/sim_connection.h"

namespace crv {

// What a flight plan needs of a live aircraft.
struct FlightPlanAircraft {
  std::uint32_t objectId = 0;
  std::string departure;    // airport code as the feed gave it
  std::string destination;
  SizeCategory category = SizeCategory::Light;
  std::string recordLine;   // how the aircraft is named in a warning line
};

// "<data folder>/orig_dest".
std::filesystem::path flightPlanFolder();

// Creates the data folder and orig_dest when missing; true when orig_dest
// exists afterwards. Throws std::filesystem::filesystem_error when the file
// system cannot be asked.
bool createFlightPlanFolder();

// Removes orig_dest with everything in it; a failure is logged
// "gf_removeFlightPlanFolder: <error>". True when the folder is gone.
bool gf_removeFlightPlanFolder();

// "123.pln" for object id 123.
std::filesystem::path flightPlanFileName(std::uint32_t objectId);

// "IFR" for business jets, large and heavy aircraft, else "VFR".
std::string_view flightPlanType(SizeCategory category);

// Writes the plan (replacing an older file); the airport codes are
// XML-escaped. False when the file cannot be written.
bool writeFlightPlanFile(const std::filesystem::path& path, const FlightPlanAircraft& aircraft);

// Writes the aircraft's plan and, with MSFS 2020, gives it to its object
// (request 110, under simConnectMutex). None when the departure or the
// destination is unknown (nothing done); else whether the plan was written
// and, for MSFS 2020, accepted (a refused plan's file is removed again). A
// failure is logged "<record line> creating a flight plan failed".
std::optional<bool> createFlightPlan(const FlightPlanAircraft& aircraft, SimConnection& connection);

}  // namespace crv
