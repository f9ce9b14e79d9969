#pragma once

// Recorded flights replayed through the feed's decoder, the engine with its
// live motion and rules, the simulator link and the simulator stand-in, and
// measured against their records: for each moving record, when the
// simulated aircraft came closest to it against when the record fell due,
// and where the stand-in first felt the aircraft on the ground.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/traffic/flight_driver.h"
#include "tests/traffic/sim_scenario.h"

namespace crv::testing {

// One moving record and how the replay kept to it.
struct RecordLag {
  double dueSeconds = 0.0;      // scenario seconds at which the record fell due
  double closestSeconds = 0.0;  // when the aircraft came closest to it
  double closestMeters = 0.0;   // how close that was
  double lagSeconds() const { return closestSeconds - dueSeconds; }
};

struct LagFigures {
  std::size_t records = 0;
  double medianAbsSeconds = 0.0;
  double p95AbsSeconds = 0.0;
  double largestAbsSeconds = 0.0;
};
LagFigures lagFigures(const std::vector<RecordLag>& lags);

class ReplayScenario {
 public:
  explicit ReplayScenario(StandTable grid = standGrid(2, 6));

  // Scenario second 0 is now; each report reaches the engine at its own
  // second (or its handed-over second) and falls due the feed's delay later.
  std::size_t addFlight(std::uint32_t key, const std::string& callsign, const std::string& type,
                        const std::vector<TrackPoint>& track);
  void runUntilSecond(double seconds);

  // For every moving record of the aircraft, its closest approach searched
  // from `windowSeconds` before to after the record's due second.
  std::vector<RecordLag> lags(std::uint32_t key, double windowSeconds = 60.0) const;
  // Where the stand-in first told the aircraft on the ground after it had
  // flown; none while it never did.
  std::optional<GeoPoint> touchdown(std::uint32_t key) const;
  // The lowest altitude the stand-in received for the aircraft.
  double lowestAltitudeFeet(std::uint32_t key) const;
  double secondsNow() const;
  // The stand-in's trace of every aircraft, as tools/trace-plot reads it.
  void writeTrace(const std::filesystem::path& file) const { scenario.sim->writeTraceCsv(file); }

  SimScenario scenario;

 private:
  struct Flight {
    std::vector<DecodedReport> reports;
    std::uint32_t objectId = 0;
    bool flew = false;
    std::optional<GeoPoint> touchdown;
  };
  void feedDueReports();
  void watchGround();
  double dueSecondsOf(const DecodedReport& report) const;

  std::int64_t startTick_ = 0;
  std::map<std::uint32_t, Flight> flights_;
  std::vector<std::pair<std::int64_t, LiveTrafficRecord>> queue_;  // by the tick they are handed over
  std::size_t nextReport_ = 0;
};

}  // namespace crv::testing
