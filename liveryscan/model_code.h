#pragma once

// The model code of an aircraft.cfg: the ICAO type designator that every
// livery of the file gets. It comes from the file's first
// icao_type_designator line, else from its base_container line through the
// table of the simulator's stock aircraft; either way the aircraft database
// accepts it, mends it through its model-fix map (a Fixes line) or it is
// reported as invalid (and the file gives no livery).

#include <string>
#include <string_view>
#include <vector>

namespace crv {

// Empty when the file has no code that can be used.
std::string modelOfAircraftCfg(std::string_view path, const std::vector<std::string>& lines);

// The value of an icao_type_designator line, cut to 4 characters and upper
// case; empty for any other line.
std::string readTypeDesignatorLine(std::string_view line);

// The code of the first base_container line that names a stock aircraft.
std::string modelFromBaseContainer(std::string_view path, const std::vector<std::string>& lines);

// The stock type of a base_container line; empty for any other line or a
// folder the table does not have.
std::string readBaseContainerLine(std::string_view line);

// A known code unchanged; else the model fix (with its Fixes line); else
// reported and empty.
std::string checkModelCode(const std::string& code, std::string_view path);

// Adds "<code, 16 columns> in <path>" to the invalid-model list.
void reportInvalidModel(std::string_view code, std::string_view path);

}  // namespace crv
