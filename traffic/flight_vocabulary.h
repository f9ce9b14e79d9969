#pragma once

#include <cstdint>
#include <string>

#include "aircraftdata/size_category.h"

namespace crv {

// How far an aircraft got towards the simulator.
enum class SimState : std::uint32_t {
  buffer = 0,           // waiting to be spawned
  adding2sim = 1,       // create asked or under way, not yet active
  active = 2,
  liveryrespawn = 3,    // removed to be created again with another livery
  removingfromsim = 4,
};

enum class FlightPhase : std::uint32_t {
  pushing_back = 0,
  pushed_back = 1,
  taxi = 2,
  take_off = 3,
  flying = 4,
  parking = 5,
  parked = 6,
  birth = 7,
};

// The texts the log prints. A value outside the table throws
// std::out_of_range ("invalid unordered_map<K, T> key").
const std::string& simStateName(SimState state);
const std::string& phaseName(FlightPhase phase);
const std::string& categoryName(SizeCategory category);

}  // namespace crv
