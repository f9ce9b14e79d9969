#pragma once

// The engine with the live motion and the live rules, talking through the
// real simulator link to the simulator stand-in, on a generated stand grid.
// The test thread plays the session worker and the SimClient thread in turn:
// each engine step is followed by 10 ms of the stand-in's clock (one frame)
// and a dispatch. The feed's records go in as live batches.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "simlink/sim_link.h"
#include "simlink/sim_queues.h"
#include "tests/support/temp_folder.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/live/live_rules.h"
#include "traffic/motion/live_motion.h"
#include "traffic/traffic_engine.h"

namespace crv::testing {

class SimScenario {
 public:
  // The stand-in records every call and position unless the options say
  // otherwise (fuzzing runs without the records).
  explicit SimScenario(StandTable grid = standGrid(2, 6), platform::StandInOptions standInOptions = {});
  ~SimScenario();

  // Engine steps; once a second first the session's identity check and
  // collision pass.
  void step(int count = 1);
  void runSeconds(double seconds) { step(static_cast<int>(seconds * 100.0)); }
  // Like step, but whole seconds in which nothing can happen pass in one go:
  // no object in the simulator, nothing queued or waiting, and every live
  // aircraft in the buffer well before the first tick it could spawn. The
  // engine's clock and the stand-in's jump together, as if every periodic
  // request of the stretch had come back with nothing new. Fuzzing uses it,
  // where most of an input's time is the live delay.
  void stepSkippingQuiet(int count);
  // The stand-in's frames per second (100 unless set: a frame every step).
  void setFrameRate(double framesPerSecond);

  // Records of the feed, handed over now as one live batch (the engine drops
  // a batch that comes while the last one is still being applied).
  void feed(std::vector<LiveTrafficRecord> batch);
  // The records of one aircraft, each fed at its own time after the first.
  void feedTrack(const std::vector<LiveTrafficRecord>& track);
  static LiveTrafficRecord record(std::uint32_t key, const std::string& callsign, const std::string& type,
                                  GeoPoint where, double timestamp, double speedKnots = 0.0, double trackDegrees = 0.0,
                                  double altitudeFeet = 0.0);
  // A static aircraft placed on the stand as the static placement would:
  // its record in adding2sim and its create queued.
  StaticAc& placeStatic(std::uint32_t key, const std::string& callsign, const std::string& type,
                        const ParkingPosition& stand, const std::string& registration = "");

  // The AI objects the stand-in holds, and those the engine believes it holds.
  std::set<std::uint32_t> simulatorObjects() const;
  std::set<std::uint32_t> engineObjects() const;
  // Lets every request, bind and removal under way finish (3 s).
  void settle() { runSeconds(3.0); }

  ParkingPosition& stand(const std::string& name);
  std::uint32_t objectOf(std::uint32_t key);
  std::string logText() const;

  TempFolder folder;
  double framesPerSecond = 100.0;
  std::shared_ptr<platform::SimulatorStandIn> sim;
  platform::ScopedSimulator installed;
  SimQueues queues;
  SimLink link;
  StandTable stands;
  LiveRules* slot = nullptr;
  MotionContext motion;
  TrafficEngine engine;
  LiveRules rules;
};

}  // namespace crv::testing
