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
#include "tests/traffic/replay_lag.h"
#include "tests/traffic/sim_scenario.h"

namespace crv::testing {

class ReplayScenario {
 public:
  explicit ReplayScenario(StandTable grid = standGrid(2, 6));

  // Scenario second 0 is now; each report reaches the engine at its own
  // second (or its handed-over second) and falls due the feed's delay later.
  std::size_t addFlight(std::uint32_t key, const std::string& callsign, const std::string& type,
                        const std::vector<TrackPoint>& track);
  void runUntilSecond(double seconds);
  // Adds the flight and replays it until its last record has fallen due,
  // and `afterSeconds` more.
  void replayWhole(std::uint32_t key, const std::string& callsign, const std::string& type,
                   const std::vector<TrackPoint>& track, double afterSeconds);

  // For every moving record of the aircraft, its closest approach searched
  // from `windowSeconds` before to after the record's due second. While the
  // engine pushes an aircraft back it follows no record but a push of its
  // own: records due then are not replayed, and positions of the push are
  // not searched.
  std::vector<RecordLag> lags(std::uint32_t key, double windowSeconds = 60.0) const;
  // For every moving record from `fromTrackSeconds` to `untilTrackSeconds`
  // of its track: its speed against the aircraft's ground speed over the
  // second around its due time.
  struct SpeedAtDue {
    double dueSeconds = 0.0;
    double recordedKnots = 0.0;
    double replayedKnots = 0.0;
  };
  std::vector<SpeedAtDue> speedsAtDue(std::uint32_t key, double fromTrackSeconds, double untilTrackSeconds) const;
  // When the aircraft's push back began and ended (scenario seconds).
  std::optional<std::pair<double, double>> pushback(std::uint32_t key) const;
  // Where the stand-in first told the aircraft on the ground after it had
  // flown; none while it never did.
  std::optional<GeoPoint> touchdown(std::uint32_t key) const;
  // The lowest altitude the stand-in received for the aircraft.
  double lowestAltitudeFeet(std::uint32_t key) const;
  double secondsNow() const;
  // What the stand-in received of the aircraft, timed in scenario seconds:
  // of every object it was created as, in their order.
  std::vector<platform::TracePosition> tracedPositions(std::uint32_t key) const;
  // For tools/trace-plot: the stand-in's trace of the aircraft with its
  // records beside it as object 1 (placed at their due seconds), and the
  // stands.
  // Only what lies from `fromSeconds` to `untilSeconds` is written.
  void writePicture(std::uint32_t key, const std::filesystem::path& traceCsv, const std::filesystem::path& standsCsv,
                    double fromSeconds = 0.0, double untilSeconds = 1.0e9) const;

  SimScenario scenario;

 private:
  struct Flight {
    std::vector<DecodedReport> reports;
    std::vector<double> dueSeconds;  // of each report, once handed over
    std::uint32_t objectId = 0;           // the latest
    std::vector<std::uint32_t> objectIds;  // every object it was created as
    bool flew = false;
    std::optional<GeoPoint> touchdown;
    std::vector<std::pair<double, double>> pushbacks;  // begin and end seconds
  };
  void feedDueReports();
  void watchGround();

  std::int64_t startTick_ = 0;
  std::map<std::uint32_t, Flight> flights_;
  struct Queued {
    std::int64_t handOverTick = 0;
    std::uint32_t key = 0;
    std::size_t report = 0;
  };
  std::vector<Queued> queue_;  // by the tick they are handed over
  std::size_t nextReport_ = 0;
};

}  // namespace crv::testing
