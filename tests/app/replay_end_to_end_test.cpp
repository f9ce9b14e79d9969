// Recorded flights served by the RealTraffic stand-in, replayed by the whole
// program into the simulator stand-in, the three on one clock that runs
// faster than real time: a departure from its stand to the climb-out, an
// arrival from the approach to its stand, an arrival as a real feed gives it
// and a flight the feed renames on its way, each measured against its
// records.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "foundation/geodesy.h"
#include "tests/app/program_harness.h"
#include "tests/support/temp_folder.h"
#include "tests/traffic/replay_flights.h"
#include "tests/traffic/replay_ground_flights.h"
#include "tests/traffic/replay_lag.h"
#include "tests/traffic/replay_surface_checks.h"
#include "tests/traffic/replay_surface_flights.h"
#include "tests/traffic/replay_windy_arrival.h"
#include "traffic/flight_vocabulary.h"
#include "traffic/motion/live_motion.h"
#include "traffic/traffic_engine.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

// World seconds per real second: the simulator, the feed and the engine.
constexpr double kWorldSpeedUp = 5.0;
constexpr double kMetersPerNm = 1852.0;

// East of the user's aircraft: four stands in a row facing north, 80 m apart.
constexpr GeoPoint kApron{52.3120, 4.7750};
constexpr int kStands = 4;
constexpr double kStandSpacingMeters = 80.0;

GeoPoint standAt(int column) {
  constexpr double kMetersPerFoot = 0.3048;
  return gf_destination(kApron, 90.0 * kDegreesToRadians,
                        static_cast<double>(column) * kStandSpacingMeters / kMetersPerFoot);
}

std::string schipholApron(double standHeadingDegrees = 0.0) {
  std::string stands;
  for (int column = 0; column < kStands; ++column) {
    const GeoPoint stand = standAt(column);
    stands += fmt::format(R"(<parkpos id="A{}" latitude="{:.7f}" longitude="{:.7f}" heading="{:.1f}" radius="20.0")"
                          R"( cargo="false" ramp="false"/>)",
                          column + 1, stand.latitude, stand.longitude, standHeadingDegrees);
  }
  return R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
         R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)"
         R"(<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="publisher" value="Pub"/>)"
         R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)" +
         stands + "</parkpositions>";
}

void buildLiveries() {
  LiveryList liveries = {{"EIN", "A320", "Aer Lingus A320", "", 0, false},
                         {"KLM", "B738", "KLM Boeing 737-800", "", 0, false}};
  sortScannedLiveries(liveries);
  liveryDatabase().build(liveries);
}

// The session reads its stands into `stands` and builds the liveries of
// the flights.
std::function<void(SessionOptions&)> replayOptions(StandTable& stands) {
  return [&stands](SessionOptions& options) {
    options.engineConfig.stands = &stands;
    options.scanLiveries = buildLiveries;
  };
}

struct ReplayedFlight {
  std::uint32_t key = 0;
  standin::ScenarioFlight served;
  std::vector<TrackPoint> track;
  double startSeconds = 0.0;  // world second of the track's second 0
};

ReplayedFlight replayedFlight(std::uint32_t key, std::string callsign, std::string type, std::string registration,
                              std::string from, std::string to, std::vector<TrackPoint> track, double startSeconds) {
  ReplayedFlight flight;
  flight.key = key;
  flight.track = std::move(track);
  flight.startSeconds = startSeconds;
  flight.served = {.hexId = fmt::format("{:06x}", key), .callsign = std::move(callsign),
                   .icaoType = std::move(type), .registration = std::move(registration),
                   .departure = std::move(from), .destination = std::move(to), .points = {}};
  for (const TrackPoint& point : flight.track) {
    standin::FlightPoint served{startSeconds + point.seconds, point.latitude, point.longitude, point.altitudeFeet,
                                point.speedKnots, point.trackDegrees, point.verticalSpeedFpm,
                                point.altitudeFeet <= 0.0};
    served.reportsHeading = point.reportsHeading;
    served.reportsAltitude = point.reportsAltitude;
    flight.served.points.push_back(served);
  }
  return flight;
}

// What the test saw of one aircraft while the replay ran, in world seconds.
struct Watched {
  std::uint32_t objectId = 0;
  FlightPhase phase = FlightPhase::birth;
  std::vector<std::pair<double, double>> pushbacks;  // begin and end
  bool flew = false;
  std::optional<GeoPoint> touchdown;
  std::vector<FlightPhase> phases;  // in order, each once per change
  // The engine starts the simulator had been asked for when the aircraft
  // began to push back.
  std::optional<std::size_t> engineStartsPushing;
};

std::size_t engineStartsOf(ProgramHarness& harness, std::uint32_t objectId) {
  const std::optional<platform::SimObjectRecord> object = harness.sim().object(objectId);
  if (!object) {
    return 0;
  }
  return static_cast<std::size_t>(
      std::count_if(object->clientEvents.begin(), object->clientEvents.end(),
                    [](const platform::RecordedClientEvent& event) { return event.eventName == "ENGINE_AUTO_START"; }));
}

void watch(ProgramHarness& harness, std::map<std::uint32_t, Watched>& watched) {
  struct Seen {
    std::uint32_t objectId = 0;
    FlightPhase phase = FlightPhase::birth;
  };
  std::map<std::uint32_t, Seen> seen;
  std::atomic<bool> done{false};
  harness.session().postToWorker([&] {
    for (const auto& [key, ignored] : watched) {
      if (const LiveAc* aircraft = harness.session().engine().findLiveByKey(key)) {
        seen[key] = {aircraft->objectId, aircraft->phase};
      }
    }
    done.store(true);
  });
  if (!ProgramHarness::waitFor([&] { return done.load(); }, 10s)) {
    return;
  }
  const double now = harness.worldSeconds();
  for (auto& [key, flight] : watched) {
    const auto found = seen.find(key);
    if (found == seen.end() || found->second.objectId == 0) {
      continue;
    }
    flight.objectId = found->second.objectId;
    const FlightPhase before = flight.phases.empty() ? FlightPhase::birth : flight.phases.back();
    flight.phase = found->second.phase;
    if (flight.phase != before) {
      flight.phases.push_back(flight.phase);
      if (flight.phase == FlightPhase::pushing_back && !flight.engineStartsPushing) {
        flight.engineStartsPushing = engineStartsOf(harness, flight.objectId);
      }
    }
    const bool pushing = flight.phase == FlightPhase::pushing_back || flight.phase == FlightPhase::pushed_back;
    if (pushing && (flight.pushbacks.empty() || flight.pushbacks.back().second < now - 1.0)) {
      flight.pushbacks.push_back({now, now});
    } else if (pushing) {
      flight.pushbacks.back().second = now;
    }
    if (flight.touchdown) {
      continue;
    }
    harness.sim().updateObjectState(flight.objectId, [&flight](platform::SimObjectState& state) {
      if (!state.onGround) {
        flight.flew = true;
      } else if (flight.flew) {
        flight.touchdown = GeoPoint{state.latitudeDegrees, state.longitudeDegrees};
      }
    });
  }
}

// For every moving record the time at which the simulated aircraft came
// closest to it against its due time (a feed delay after it was served).
// While the engine pushes an aircraft back it follows a push of its own:
// records due then and positions of the push are left out, as are the
// records of the recorded push.
// Surface records of many receivers carry no true heading: with
// `recordsWithoutHeading` they count too.
std::vector<RecordLag> lagsOf(const ReplayedFlight& flight, const Watched& watched, const platform::SimTrace& trace,
                              bool recordsWithoutHeading = false) {
  const auto pushingBack = [&watched](double seconds) {
    for (const auto& [begin, end] : watched.pushbacks) {
      if (seconds >= begin - 0.5 && seconds <= end + 0.5) {
        return true;
      }
    }
    return false;
  };
  std::vector<TimedPlace> records;
  for (const TrackPoint& point : flight.track) {
    const double due = flight.startSeconds + point.seconds + kLiveDelaySeconds;
    if (point.speedKnots > 0.0 && (point.reportsHeading || recordsWithoutHeading) && !pushingBack(due)) {
      records.push_back({due, point.latitude, point.longitude});
    }
  }
  std::vector<TimedPlace> positions;
  for (const platform::TracePosition& p : trace.positionsOf(watched.objectId)) {
    if (!pushingBack(p.seconds)) {
      positions.push_back({p.seconds, p.latitudeDegrees, p.longitudeDegrees});
    }
  }
  return closestApproaches(records, positions, 60.0);
}

std::string phasesText(const std::vector<FlightPhase>& phases) {
  std::string text;
  for (const FlightPhase phase : phases) {
    text += fmt::format("{} ", phaseName(phase));
  }
  return text;
}

// An aircraft that pushed back on its own stands elsewhere than the
// recorded one and taxis on to its records: the lags of those due before 30 s
// after its push are left out.
void eraseUntilRejoined(std::vector<RecordLag>& lags, const Watched& watched) {
  const double rejoinedSeconds = watched.pushbacks.empty() ? 0.0 : watched.pushbacks.back().second + 30.0;
  std::erase_if(lags, [rejoinedSeconds](const RecordLag& lag) { return lag.dueSeconds < rejoinedSeconds; });
}

LagFigures expectOnTime(const ReplayedFlight& flight, const Watched& watched, const platform::SimTrace& trace,
                        const std::string& name) {
  const std::vector<RecordLag> lags = lagsOf(flight, watched, trace);
  const LagFigures figures = lagFigures(lags);
  std::printf("%s: %zu moving records, median |lag| %.2f s, 95th percentile %.2f s, largest %.2f s\n", name.c_str(),
              figures.records, figures.medianAbsSeconds, figures.p95AbsSeconds, figures.largestAbsSeconds);
  EXPECT_GT(figures.records, 40U) << name;
  EXPECT_LE(figures.medianAbsSeconds, 1.0) << name;
  EXPECT_LE(figures.p95AbsSeconds, 3.0) << name;
  return figures;
}

// The program against both stand-ins on one clock faster than real time,
// with the apron's stands in its third-party airport folder.
struct ReplayProgram {
  explicit ReplayProgram(const std::string& apron = schipholApron())
      : harness(replayOptions(stands), kWorldSpeedUp, WorldPace::sessionClock) {
    writeFile(harness.folder() / "airports" / "my_thirdparty" / "EHAM.xml", apron);
  }

  // Serves the flights, runs the program until their last records have
  // fallen due and returns what the test saw of each; none when the program
  // did not start.
  std::map<std::uint32_t, Watched> replay(const std::vector<ReplayedFlight>& flights) {
    standin::Scenario scenario;
    scenario.startEpochSeconds = harness.worldEpochSeconds();
    std::map<std::uint32_t, Watched> watched;
    double lastSeconds = 0.0;
    for (const ReplayedFlight& flight : flights) {
      scenario.flights.push_back(flight.served);
      watched[flight.key] = {};
      lastSeconds = std::max(lastSeconds, flight.served.points.back().secondsFromStart);
    }
    harness.rt().setScenario(scenario);
    harness.start();
    if (!harness.waitUntilRunning()) {
      ADD_FAILURE() << harness.log();
      return {};
    }
    while (harness.worldSeconds() < lastSeconds + kLiveDelaySeconds + 5.0) {
      watch(harness, watched);
      std::this_thread::sleep_for(10ms);
    }
    return watched;
  }

  StandTable stands;  // first: the harness's engine keeps a pointer to it
  ProgramHarness harness;
};

TEST(ReplayEndToEnd, ADepartureAndAnArrivalThroughTheFeedAndTheProgramKeepToTheirRecordedTimes) {
  ReplayProgram program;
  ProgramHarness& harness = program.harness;
  // The departure stands at A2 from the start; the arrival begins its
  // approach a minute later, once the program runs, and parks at A3.
  const ReplayedFlight departure =
      replayedFlight(0x4ca7b4, "EIN605", "A320", "EI-DVM", "EHAM", "EIDW", departureFrom(standAt(1), -3.0), 0.0);
  const ReplayedFlight arrival =
      replayedFlight(0x484f6d, "KLM1234", "B738", "PH-BXA", "EGLL", "EHAM", arrivalTo(standAt(2)), 60.0);
  // Passing east at 10000 ft, the flight that the feed renames to its own
  // callsign and "_" after 60 s, when it begins a turn to the south.
  constexpr double kRenameSeconds = 60.0;
  const GeoPoint north = gf_destination(kApron, 0.0, 6000.0 / 0.3048);
  const GeoPoint northWest = gf_destination(north, -90.0 * kDegreesToRadians, 8000.0 / 0.3048);
  const std::vector<TrackPoint> passing = TrackBuilder(northWest.latitude, northWest.longitude, 10000.0)
                                              .leg(kRenameSeconds, 250.0, 90.0)
                                              .leg(90.0, 250.0, 90.0, 0.0, 1.0)
                                              .leg(30.0, 250.0, 180.0)
                                              .points();
  const auto renamedFrom = std::find_if(passing.begin(), passing.end(),
                                        [](const TrackPoint& point) { return point.seconds > kRenameSeconds; });
  const ReplayedFlight named =
      replayedFlight(0x4ca8c1, "EIN7X", "A320", "EI-DVN", "EGLL", "EKCH", {passing.begin(), renamedFrom}, 20.0);
  const ReplayedFlight renamed =
      replayedFlight(0x4ca8c1, "EIN7X_", "A320", "EI-DVN", "EGLL", "EKCH", {renamedFrom, passing.end()}, 20.0);
  std::map<std::uint32_t, Watched> watched = program.replay({departure, arrival, named, renamed});
  const Watched& departed = watched[departure.key];
  const Watched& arrived = watched[arrival.key];
  ASSERT_NE(departed.objectId, 0U) << harness.log();
  ASSERT_NE(arrived.objectId, 0U) << harness.log();
  EXPECT_EQ(departed.phase, FlightPhase::flying);
  EXPECT_EQ(arrived.phase, FlightPhase::parked);

  const platform::SimTrace trace = harness.sim().trace();
  expectOnTime(departure, departed, trace, "departure");
  expectOnTime(arrival, arrived, trace, "arrival");

  // Once it is created again with its new callsign, the renamed flight keeps
  // to its records through the turn.
  const double respawnedSeconds = renamed.startSeconds + kRenameSeconds + kLiveDelaySeconds + 20.0;
  std::vector<RecordLag> afterRespawn;
  for (const RecordLag& lag : lagsOf(renamed, watched[renamed.key], trace)) {
    if (lag.dueSeconds >= respawnedSeconds) afterRespawn.push_back(lag);
  }
  double farthestMeters = 0.0;
  for (const RecordLag& lag : afterRespawn) farthestMeters = std::max(farthestMeters, lag.closestMeters);
  const LagFigures renamedFigures = lagFigures(afterRespawn);
  std::printf("renamed flight: %zu records after its new create, largest |lag| %.2f s, farthest %.0f m\n",
              renamedFigures.records, renamedFigures.largestAbsSeconds, farthestMeters);
  EXPECT_GE(renamedFigures.records, 20U);
  EXPECT_LE(renamedFigures.largestAbsSeconds, 3.0);
  EXPECT_LE(farthestMeters, 150.0);

  // The runway: 300 m before the recorded touchdown (two seconds after the
  // last airborne report), along the course 0 of the roll-out.
  const TrackPoint& lastAirborne = arrival.track[static_cast<std::size_t>(kTouchdownSeconds) / 4];
  const GeoPoint recordedTouchdown =
      gf_destination({lastAirborne.latitude, lastAirborne.longitude}, 0.0, 2.0 * 140.0 / 3600.0 * kFeetPerNm);
  ASSERT_TRUE(arrived.touchdown.has_value());
  const double distance = gf_distanceNm(recordedTouchdown, *arrived.touchdown) * kMetersPerNm;
  const double angle = gf_bearing(recordedTouchdown, *arrived.touchdown);
  const double along = distance * std::cos(angle);
  const double across = distance * std::sin(angle);
  std::printf("arrival: touchdown %.0f m past the recorded touchdown, %.1f m beside the centreline\n", along, across);
  EXPECT_GE(along, -300.0) << "no ground contact before the runway";
  EXPECT_LE(std::fabs(across), 15.0);
}

// The arrival as a real feed gives it (ground speeds far from the airspeeds
// in a gusty 40 kt wind, records 0.4 to 21 s apart with a minute of silence
// on the descent, a 330-degree turn, no altitudes on the surface), served as
// a real feed serves it: the last record heard, with its own time, until the
// next.
TEST(ReplayEndToEnd, AWindyArrivalHeardIrregularlyThroughTheFeedAndTheProgramKeepsToItsRecordedTimes) {
  ReplayProgram program;
  ProgramHarness& harness = program.harness;
  ReplayedFlight arrival =
      replayedFlight(0x484f70, "KLM1777", "B738", "PH-BXB", "LSZH", "EHAM", windyArrivalTo(standAt(2)), 30.0);
  arrival.served.heardOnlyAtPoints = true;
  std::map<std::uint32_t, Watched> watched = program.replay({arrival});
  const Watched& arrived = watched[arrival.key];
  ASSERT_NE(arrived.objectId, 0U) << harness.log();
  EXPECT_EQ(arrived.phase, FlightPhase::parked);
  EXPECT_TRUE(arrived.touchdown.has_value());

  const platform::SimTrace trace = harness.sim().trace();
  expectOnTime(arrival, arrived, trace, "windy arrival");
  const std::vector<RecordLag> lags = lagsOf(arrival, arrived, trace);
  ASSERT_FALSE(lags.empty());
  const double afterFirstMinute = largestAbsLagFrom(lags, lags.front().dueSeconds + 60.0);
  std::printf("windy arrival: largest |lag| after the first minute %.2f s\n", afterFirstMinute);
  EXPECT_LE(afterFirstMinute, 2.0);
}

GeoPoint apronOffset(double northMeters, double eastMeters) {
  constexpr double kMetersPerFoot = 0.3048;
  const GeoPoint north = gf_destination(kApron, 0.0, northMeters / kMetersPerFoot);
  return gf_destination(north, 90.0 * kDegreesToRadians, eastMeters / kMetersPerFoot);
}

// Surface movements as real feeds report them, served by the stand-in and
// replayed by the whole program: a taxi whose records report 0.55 of the
// speed their positions show, a push back from a stand and one first seen
// while pushed, both with the nose as their track, a take-off roll
// reported every 15 s from a standstill and a rapid exit taken at 45 kt.
// Each keeps to its records' times; the taxis never exceed the taxi
// maximum; the pushes move tail first, the one first seen pushed facing
// the recorded nose. Those that leave their stands backwards push back on
// their own, start their engines once pushed back and taxi on to their
// records. A push back whose records at rest report 1.5 kt sets off when
// the recorded one did, and so does one first heard at its stand 20 s
// before its push, its records at rest reporting 3 kt.
TEST(ReplayEndToEnd, SurfaceMovementsOfRealFeedsKeepToTheirRecordedTimesAndNoses) {
  StandSetOffRecords heardBeforePush;
  heardBeforePush.restKnots = 3.0;
  heardBeforePush.restEverySeconds = 3.0;
  heardBeforePush.firstPushAfterSeconds = 1.0;
  heardBeforePush.pushEverySeconds = 2.0;
  heardBeforePush.pushShare = kUnderstatedPushShare;
  heardBeforePush.heardBeforeSeconds = 20.0;
  ReplayProgram program(schipholApron(kNosePushFirstNoseDegrees));
  ProgramHarness& harness = program.harness;
  std::vector<ReplayedFlight> flights{
      replayedFlight(0x3c6752, "KLM1TX", "B738", "PH-BXB", "EHAM", "EGLL",
                     understatedTaxiFrom(apronOffset(-700.0, -300.0), 0.55), 60.0),
      replayedFlight(0x4ca8e1, "EIN711", "A320", "EI-DVN", "EHAM", "EIDW", nosePushbackFrom(standAt(1), true), 0.0),
      replayedFlight(0x4ca8e2, "EIN712", "A320", "EI-DVO", "EHAM", "EIDW",
                     nosePushbackFrom(apronOffset(-400.0, 250.0), false), 60.0),
      replayedFlight(0x4ca9f2, "EIN822", "A320", "EI-DVP", "EHAM", "EIDW",
                     sparseTakeOffFrom(apronOffset(-1500.0, 500.0)), 60.0),
      replayedFlight(0x484a45, "KLM1745", "B738", "PH-BXC", "EGLL", "EHAM",
                     rapidExitFrom(apronOffset(-5000.0, -1500.0), 45.0), 60.0),
      replayedFlight(0x4ca8e4, "EIN714", "A320", "EI-DVR", "EHAM", "EIDW",
                     understatedPushbackFrom(standAt(3), 1.5), 0.0),
      replayedFlight(0x4ca8e6, "EIN716", "A320", "EI-DVS", "EHAM", "EIDW",
                     standSetOffFrom(standAt(2), heardBeforePush), 100.0)};
  // The take-off roll is served as recorded, 15 s apart, and so are the
  // records of the push back first heard at its stand.
  flights[3].served.heardOnlyAtPoints = true;
  flights[6].served.heardOnlyAtPoints = true;
  double endSeconds = 0.0;
  for (const ReplayedFlight& flight : flights) {
    endSeconds = std::max(endSeconds, flight.served.points.back().secondsFromStart + kLiveDelaySeconds + 5.0);
  }
  std::map<std::uint32_t, Watched> watched = program.replay(flights);
  ASSERT_EQ(watched.size(), flights.size()) << harness.log();
  const platform::SimTrace trace = harness.sim().trace();
  const char* names[] = {"understated taxi", "push back from a stand", "push back first seen pushed",
                         "take-off roll every 15 s", "rapid exit at 45 kt"};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const ReplayedFlight& flight = flights[i];
    const Watched& seen = watched[flight.key];
    ASSERT_NE(seen.objectId, 0U) << names[i] << harness.log();
    std::vector<RecordLag> lags = lagsOf(flight, seen, trace, true);
    if (flight.key == 0x4ca8e1U && !seen.pushbacks.empty()) {
      eraseUntilRejoined(lags, seen);
    }
    const LagFigures figures = lagFigures(lags);
    const double later = lags.empty() ? 0.0 : largestAbsLagFrom(lags, lags.front().dueSeconds + 60.0);
    std::printf("%s: %zu moving records, median |lag| %.2f s, 95th percentile %.2f s, largest %.2f s, after the "
                "first minute %.2f s\n",
                names[i], figures.records, figures.medianAbsSeconds, figures.p95AbsSeconds, figures.largestAbsSeconds,
                later);
    EXPECT_GE(figures.records, 10U) << names[i];
    EXPECT_LE(figures.medianAbsSeconds, 1.0) << names[i];
    EXPECT_LE(figures.p95AbsSeconds, 3.0) << names[i];
    EXPECT_LE(later, 2.0) << names[i];
  }
  const auto positionsOf = [&trace](const Watched& seen) { return trace.positionsOf(seen.objectId); };
  EXPECT_LE(fastestKnots(positionsOf(watched[0x3c6752]), 0.0, endSeconds), kTaxiMaximumKnots);
  EXPECT_LE(fastestKnots(positionsOf(watched[0x4ca9f2]), 0.0, kSparseRollStartSeconds + kLiveDelaySeconds),
            kTaxiMaximumKnots);
  for (const std::uint32_t key : {0x4ca8e1U, 0x4ca8e2U}) {
    const ReplayedFlight& flight = key == 0x4ca8e1U ? flights[1] : flights[2];
    const PushSeen push = pushSeen(positionsOf(watched[key]), flight.track, kNosePushStartSeconds + 20.0,
                                   kNosePushStartSeconds + kNosePushSeconds, flight.startSeconds + kLiveDelaySeconds);
    ASSERT_GE(push.records, 5U) << key;
    if (key == 0x4ca8e2U) {
      EXPECT_GE(push.facingRecorded, push.records - 1) << key;
    }
    EXPECT_EQ(push.noseFirst, 0U) << key;
    EXPECT_GE(push.tailFirst, push.records / 2) << key;
  }
  // Those that leave their stands backwards push back on their own and
  // start their engines once pushed back; the two whose records go on
  // taxi after.
  for (const std::uint32_t key : {0x4ca8e1U, 0x4ca8e4U, 0x4ca8e6U}) {
    const Watched& seen = watched[key];
    std::vector<FlightPhase> ownPush{FlightPhase::parked, FlightPhase::pushing_back, FlightPhase::pushed_back};
    if (key != 0x4ca8e6U) {
      ownPush.push_back(FlightPhase::taxi);
    }
    EXPECT_TRUE(std::search(seen.phases.begin(), seen.phases.end(), ownPush.begin(), ownPush.end()) !=
                seen.phases.end())
        << key << ": " << phasesText(seen.phases);
    EXPECT_EQ(seen.engineStartsPushing, std::optional<std::size_t>(0)) << key;
    EXPECT_GE(engineStartsOf(harness, seen.objectId), 1U) << key;
  }
  EXPECT_EQ(watched[0x4ca9f2].phase, FlightPhase::flying);

  // Its records at rest are no movement to keep to: only those since the
  // recorded push began count, and as it pushes back on its own, those from
  // 30 s after its push. The stand-in serves positions between its
  // records, scattered at rest and moving off a second before the push: the
  // set-off is judged within 1.5 s.
  const ReplayedFlight& restKnots = flights[5];
  const double recordedStart = restKnots.startSeconds + kNosePushStartSeconds + kLiveDelaySeconds;
  const SetOffSeen setOff = setOffSeen(positionsOf(watched[restKnots.key]), recordedStart - 20.0, recordedStart);
  std::vector<RecordLag> moving = lagsOf(restKnots, watched[restKnots.key], trace, true);
  std::erase_if(moving, [recordedStart](const RecordLag& lag) { return lag.dueSeconds < recordedStart; });
  eraseUntilRejoined(moving, watched[restKnots.key]);
  const LagFigures figures = lagFigures(moving);
  std::printf("push back with rest records at 1.5 kt: set off %.2f s from the recorded start; from 30 s after its "
              "push %zu moving records, median |lag| %.2f s, 95th percentile %.2f s\n",
              setOff.startErrorSeconds, figures.records, figures.medianAbsSeconds, figures.p95AbsSeconds);
  EXPECT_LE(setOff.movedBeforeMeters, 2.0);
  EXPECT_LE(std::fabs(setOff.startErrorSeconds), 1.5);
  EXPECT_GE(figures.records, 10U);
  EXPECT_LE(figures.medianAbsSeconds, 1.0);
  EXPECT_LE(figures.p95AbsSeconds, 3.0);

  // Created on its stand, it judges the records heard before it was active
  // there: it sets off within 1.5 s of the recorded start, never before its
  // last record at rest.
  const ReplayedFlight& heardLate = flights[6];
  const double startDue = heardLate.startSeconds + heardBeforePush.startSeconds() + kLiveDelaySeconds;
  const double lastRestDue = heardLate.startSeconds + heardBeforePush.lastRestSeconds() + kLiveDelaySeconds;
  const std::optional<double> setOffSeconds = firstMovedSeconds(positionsOf(watched[heardLate.key]), 0.0, 0.05);
  ASSERT_TRUE(setOffSeconds.has_value()) << harness.log();
  std::printf("push back first heard at its stand 20 s before: set off %.2f s from the recorded start, %.2f s "
              "from its last record at rest\n",
              *setOffSeconds - startDue, *setOffSeconds - lastRestDue);
  EXPECT_GE(*setOffSeconds, lastRestDue);
  EXPECT_LE(std::fabs(*setOffSeconds - startDue), 1.5);
}

// An aircraft alone in the service's answers, asked every 2 s and served as
// a real feed serves it: each answer holds the latest record heard, with its
// own time. Its taxi, recorded 1.3 to 3.1 s apart, goes from record to
// record at the speed their own times show.
TEST(ReplayEndToEnd, ALoneAircraftServedOneRecordPerAnswerKeepsItsRecordsSpacing) {
  ReplayProgram program;
  ProgramHarness& harness = program.harness;
  // The readers keep the service's pace in real time: 2 s of the world's clock.
  constexpr int kPaceMilliseconds = static_cast<int>(2000.0 / kWorldSpeedUp);
  harness.rt().setPace(kPaceMilliseconds, kPaceMilliseconds);
  ReplayedFlight lone = replayedFlight(0x4ca9f3, "EIN823", "A320", "EI-DVQ", "EHAM", "EIDW",
                                       loneTaxiFrom(apronOffset(-700.0, -300.0)), 30.0);
  lone.served.heardOnlyAtPoints = true;
  std::map<std::uint32_t, Watched> watched = program.replay({lone});
  const Watched& seen = watched[lone.key];
  ASSERT_NE(seen.objectId, 0U) << harness.log();
  const platform::SimTrace trace = harness.sim().trace();
  const std::vector<LegSpeed> legs =
      legSpeeds(trace.positionsOf(seen.objectId), lone.track, lone.startSeconds + kLiveDelaySeconds);
  ASSERT_GE(legs.size(), 30U);
  for (const LegSpeed& leg : legs) {
    EXPECT_LE(std::fabs(leg.error()), 0.10) << "leg from second " << leg.fromSeconds << ": recorded "
                                           << leg.recordedKnots << " kt, replayed " << leg.replayedKnots << " kt";
  }
  legSpeedFigures(legs, "lone taxi");
}

}  // namespace
}  // namespace crv::testing
