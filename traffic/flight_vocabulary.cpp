#include "traffic/flight_vocabulary.h"

#include <array>
#include <stdexcept>

namespace crv {

namespace {

template <std::size_t N>
const std::string& lookUp(const std::array<std::string, N>& names, std::uint32_t value) {
  if (value >= N) {
    throw std::out_of_range("invalid unordered_map<K, T> key");
  }
  return names[value];
}

}  // namespace

const std::string& simStateName(SimState state) {
  static const std::array<std::string, 5> kNames{"buffer", "adding2sim", "active", "liveryrespawn",
                                                 "removingfromsim"};
  return lookUp(kNames, static_cast<std::uint32_t>(state));
}

const std::string& phaseName(FlightPhase phase) {
  static const std::array<std::string, 8> kNames{"pushing_back", "pushed_back", "taxi",   "take_off",
                                                 "flying",       "parking",     "parked", "birth"};
  return lookUp(kNames, static_cast<std::uint32_t>(phase));
}

const std::string& categoryName(SizeCategory category) {
  static const std::array<std::string, 6> kNames{"Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"};
  return lookUp(kNames, static_cast<std::uint32_t>(category));
}

}  // namespace crv
