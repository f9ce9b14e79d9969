#pragma once

// The engine with the live rules, the static parking and the parking
// adjustment wired as the session wires them, on a stand grid of the park
// airport, with a simulator stand-in that binds every create and answers
// every removal after a frame. The half hour of the week, the parked-traffic
// answer and the live identities the Traffic Reader collected are the
// test's to set.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/traffic/engine_harness.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/live_rules.h"
#include "traffic/parking_adjustment.h"
#include "traffic/static_parking.h"

namespace crv::testing {

class ParkingHarness {
 public:
  explicit ParkingHarness(StandTable grid);
  ~ParkingHarness();

  // Steps the engine for the seconds; the simulator binds each create and,
  // while it answers, reports each removal one step later.
  void simulate(double seconds);
  bool simulatorAnswersRemovals = true;

  ParkingPosition& stand(const std::string& name);
  // Active static aircraft by stand name, "A1" -> "DLH100*".
  std::vector<std::pair<std::string, std::string>> staticsByStand() const;
  // A parked-traffic record standing on the stand, arrived age half hours ago.
  ParkedTrafficRecord parkedAt(const std::string& standName, std::uint32_t address, const std::string& callsign,
                               int age);
  // A live aircraft parked on the stand.
  LiveAc& parkedLive(std::uint32_t key, const std::string& callsign, const std::string& standName);

  DaySlot now{3, 20};
  LiveIdentities collected;
  std::vector<ParkedTrafficRecord> parked;
  bool parkedArrives = true;
  int busyOnCalls = 0;

  StaticParking* staticsSlot = nullptr;
  LiveRules* rulesSlot = nullptr;
  StandTable stands;
  EngineHarness harness;
  TrafficEngine& engine;
  LiveRules rules;
  StaticParking statics;
  ParkingAdjustment adjustment;

 private:
  std::size_t createsSeen_ = 0;
  std::size_t removesSeen_ = 0;
  std::uint32_t nextObjectId_ = 1000;
};

// A learned usage entry of a DLH A320 on the weekday at the half hours.
UsageEntry dlhUsage(std::uint32_t id, int weekday, std::vector<int> halfHours, const std::string& callsign,
                    const std::string& registration, const std::string& secondCallsign = "");

}  // namespace crv::testing
