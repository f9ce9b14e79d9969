#pragma once

// The part that every aircraft record of the traffic engine begins with: the
// identity, the size of the aircraft and the performance values of its size
// category.

#include <cstdint>
#include <string>

#include "aircraftdata/aircraft_identity.h"
#include "aircraftdata/size_category.h"

namespace crv {

// Keys up to this one belong to static aircraft; a live aircraft's key, its
// ICAO address, is always above it.
inline constexpr std::uint32_t kLastStaticKey = 10000;

struct AircraftBase {
  AircraftIdentity identity;
  double halfSpanNm = 0.0;                // wingspanOfType
  double staticCgHeightFeet = 0.0;        // reported by the simulator
  double restPitchRadians = 0.0;          // reported by the simulator
  double rotationPitchRadians = 0.0;      // lift-off pitch target (table A, varied)
  double climbPitchRadians = 0.0;         // climb-out pitch target (table B, varied)
  double baseTurnRateRadians = 0.0;       // per 10 ms step (table C)
  double turnRateRadians = 0.0;           // per step, scaled per ground leg
  double maxClimbPerTickFeet = 0.0;       // table E for live aircraft
  double taxiSpeedKnots = 0.0;            // table F for live aircraft
  std::uint32_t key = 0;                  // ICAO address (live) or a number up to 10000 (static)
  SizeCategory category = SizeCategory::Large;
  // The chosen livery title, empty until one is chosen. Held as a copy so that
  // a new livery scan can never leave a record pointing at released text.
  std::string liveryTitle;
  std::uint32_t flareSteps = 0;           // table G
  std::uint32_t noseLoweringSteps = 0;    // table H
  std::uint32_t rotationSteps = 0;        // table I
  std::uint32_t climbPitchSteps = 0;      // table J
  bool cargo = false;                     // the registration is a freighter's
  bool fsltlTitle = false;                // the title contains "FSLTL_"
};

// The per-category values, in the units the engine uses them in. Tables A to
// N by their letters: A rotation pitch, B climb pitch, C turn rate, E climb per
// tick, F taxi speed, G to J step counts, K maximum bank, L bank change per
// step, M pitch change per step, N take-off speed.
struct CategoryPerformance {
  double rotationPitchDegrees;        // A
  double climbPitchDegrees;           // B
  double turnRateRadians;             // C, per step
  double maxClimbPerTickFeet;         // E
  double taxiSpeedKnots;              // F
  std::uint32_t flareSteps;           // G
  std::uint32_t noseLoweringSteps;    // H
  std::uint32_t rotationSteps;        // I
  std::uint32_t climbPitchSteps;      // J
  double maxBankRadians;              // K
  double maxBankChangeRadians;        // L, per step
  double maxPitchChangeRadians;       // M, per step
  double takeOffSpeedKnots;           // N
};

// The row of a category; std::out_of_range ("invalid unordered_map<K, T> key")
// for a value that is no category.
const CategoryPerformance& categoryPerformance(SizeCategory category);

// A base for the identity: half span and category from the type database,
// the pitch targets varied at random (A by 2.5 %, B by 5 %), turn rate and
// step counts from the tables. Turn rate in use, climb per tick and taxi speed
// stay 0 (the live intake sets them), the key 0 and the title empty.
AircraftBase buildAircraftObject(const AircraftIdentity& identity);

// Every field, the identity by value.
void copyAcBase(AircraftBase& destination, const AircraftBase& source);

}  // namespace crv
