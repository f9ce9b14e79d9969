#pragma once

// The engine harness with the live rules wired into its hooks, on a stand
// grid of the park airport. Liveries are found for every type ("Livery
// <type>") unless a test says otherwise; every stand use is learned.

#include <string>

#include "tests/traffic/engine_harness.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/live/live_rules.h"

namespace crv::testing {

class RulesHarness {
 public:
  explicit RulesHarness(StandTable grid = standGrid(2, 6));

  // A buffered aircraft of two points, the first due at the tick; on the
  // ground when altitudeFeet is 0. Its second point lies 200 m on.
  LiveAc& buffered(std::uint32_t key, const std::string& callsign, GeoPoint where, double speedKnots,
                   std::int64_t dueTick, bool airborne = false);
  // A live aircraft parked and active on the stand.
  LiveAc& parkedLive(std::uint32_t key, const std::string& callsign, const ParkingPosition& stand,
                     std::uint32_t objectId);
  // A static aircraft active on the stand.
  StaticAc& parkedStatic(std::uint32_t key, const std::string& callsign, const ParkingPosition& stand,
                         std::uint32_t objectId);
  ParkingPosition& stand(const std::string& name);

  bool noLiveries = false;
  std::string userStand;    // the stand the user chose
  std::string standAtUser;  // the stand under the user aircraft
  DaySlot slotNow{3, 20};  // the engine's clock stands ten minutes into it
  int matchCount = 0;

  LiveRulesServices services();

  LiveRules* slot = nullptr;
  StandTable stands;
  EngineHarness harness;
  LiveRules rules;
  TrafficEngine& engine;
};

}  // namespace crv::testing
