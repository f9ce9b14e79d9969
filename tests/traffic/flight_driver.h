#pragma once

// Synthetic flights through the whole engine and its live rules: a track of
// timed feed reports goes through the intake as live batches, the engine
// steps tick by tick, and a small simulated simulator binds every create and
// reports the centre of gravity and the ground (at 0 ft) below each aircraft
// as the link would. Every position block the link receives is kept per
// aircraft. Liveries are found for every type ("Livery <type>").

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/traffic/engine_harness.h"
#include "tests/traffic/track_builder.h"
#include "traffic/live/live_rules.h"
#include "traffic/motion/live_motion.h"

namespace crv::testing {

// One report as the feed's decoder lets it through, with the time at which
// it reaches the engine.
struct DecodedReport {
  double handedOverSeconds = 0.0;
  LiveTrafficRecord record;
};

// Each report of the track becomes the feed's 48-value array of the key and
// goes through the feed's decoder, which sees its own position at `own`
// (and the park airport there when one is given).
std::vector<DecodedReport> decodeTrack(std::uint32_t key, const std::string& callsign, const std::string& type,
                                       const std::vector<TrackPoint>& track, GeoPoint own,
                                       std::optional<GeoPoint> parkAirport = std::nullopt);

// One position block as the link received it.
struct SentPosition {
  std::int64_t tick = 0;
  AiPositionBlock block;
  bool onGround = false;
};

class FlightDriver {
  // First: the engine reserves room in it while it is built.
  StandTable stands_;
  LiveRules* rulesSlot_ = nullptr;

 public:
  FlightDriver();
  ~FlightDriver();

  // A flight of the feed: each report becomes the feed's 48-value array of
  // the key, goes through the feed's decoder and is handed to the engine at
  // its time (engine tick = seconds x 100). Returns how many reports the
  // decoder let through.
  std::size_t addFlight(std::uint32_t key, const std::string& callsign, const std::string& type,
                        const std::vector<TrackPoint>& track);
  // Sets the park airport at a position with the stands (numbered here).
  void setParkAirport(const GeoPoint& position, StandTable stands);
  void runUntilSecond(double seconds);

  LiveAc* aircraft(std::uint32_t key) { return harness.engine.findLiveByKey(key); }
  const std::vector<SentPosition>& positionsOf(std::uint32_t key) { return sent_[objectOfKey_[key]]; }
  // The ticks at which the client event was sent to the aircraft with the value.
  std::vector<std::int64_t> eventTicks(std::uint32_t key, std::uint32_t eventId, std::uint32_t value);
  // Ticks at which a new leg started, with the due tick of its target.
  const std::vector<std::pair<std::int64_t, std::int64_t>>& legsOf(std::uint32_t key) { return legs_[key]; }
  // The phases the aircraft went through, in order, each once per change.
  const std::vector<FlightPhase>& phasesOf(std::uint32_t key) { return phases_[key]; }

  // Writes the positions of every aircraft as a trace CSV.
  void writeTrace(const std::filesystem::path& file) const;

  EngineHarness harness;
  MotionContext motion;
  LiveRules rules;
  // How long after its create the simulator binds an object.
  double bindDelaySeconds = 0.0;

 private:
  void simulatorStep();
  void observe();
  void queueReport(const LiveTrafficRecord& record, double handedOverSeconds);
  LiveRulesServices rulesServices();

  std::vector<std::pair<std::int64_t, LiveTrafficRecord>> reports_;  // by the tick they are handed over
  std::size_t nextReport_ = 0;
  std::size_t createsSeen_ = 0;
  std::uint32_t nextObjectId_ = 100;
  std::map<std::uint32_t, std::uint32_t> objectOfKey_;
  std::map<std::uint32_t, std::vector<SentPosition>> sent_;
  std::size_t positionsSeen_ = 0;
  std::map<std::uint32_t, std::vector<std::pair<std::int64_t, std::int64_t>>> legs_;
  std::map<std::uint32_t, std::vector<FlightPhase>> phases_;
  std::map<std::uint32_t, std::int64_t> lastFrontDue_;
};

}  // namespace crv::testing
