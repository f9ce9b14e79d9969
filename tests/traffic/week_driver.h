#pragma once

// One park airport ("EDDF", twelve stands 80 m apart in two rows, A1..A6
// and B1..B6) on the engine's injectable clock: the parking schedule with
// its calculation, adjustments and learning, the live motion and rules, the
// static parking, and a small simulator that binds every create and answers
// every removal one step later. Live aircraft taxi in from the scenario,
// park, stay and push back; the feed's parked traffic answers every request.
//
// Time is week seconds from Monday 00:00 UTC. While anything moves, is
// placed or removed, the engine steps 100 times a second as the main loop
// would; quiet stretches are crossed at once, stopping only where the
// schedule's second counter has work (multiples of 15 and 16). Tests of
// single steps set the half hour and step the engine themselves.

#include <bitset>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "airports/apf_record.h"
#include "tests/support/temp_folder.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/flight_driver.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/live_motion.h"
#include "traffic/live_rules.h"
#include "traffic/parking_adjustment.h"
#include "traffic/parking_schedule.h"
#include "traffic/static_parking.h"

namespace crv::testing {

// One stay of a live aircraft: it taxis onto the stand from 300 m south,
// and at the departure second pushes back and taxis away.
struct Visit {
  std::uint32_t key = 0;
  std::string callsign;
  std::string registration;
  std::string stand;
  std::int64_t arriveSecond = 0;
  std::int64_t departSecond = 0;
};

// A stand's use by one aircraft on one weekday: stand name, weekday, registration.
using UseKey = std::tuple<std::string, int, std::string>;
using HalfHours = std::bitset<kSlotsPerDay>;

class WeekDriver {
 public:
  WeekDriver();
  ~WeekDriver();

  void addVisit(const Visit& visit);
  // Runs the week clock up to the second.
  void runUntil(std::int64_t weekSecond);
  // Sets the clock ten minutes into the half hour; nothing runs.
  void setSlot(DaySlot slot);
  // Steps the engine (and the simulator) for the seconds; the clock stands.
  void stepEngine(double seconds);
  bool simulatorAnswersRemovals = true;
  ParkingPosition& stand(const std::string& name) { return *findStandByName(stands_, name); }
  // A live aircraft parked on the stand.
  LiveAc& parkedLive(std::uint32_t key, const std::string& callsign, const std::string& standName);
  // Active static aircraft as (stand, callsign), sorted.
  std::vector<std::pair<std::string, std::string>> staticsByStand() const;
  // The user aircraft leaves: the schedule clears the airport and saves.
  void leaveAirport();

  // What live aircraft really stood on the stands, by half hour.
  const std::map<UseKey, HalfHours>& observedParking() const { return observed_; }
  // The learned file as written, read back into a fresh stand table.
  StandTable readLearnedFile() const;
  std::vector<ParkedTrafficRecord> parkedTraffic;
  bool parkedTrafficArrives = true;
  // What the Traffic Reader collected while asked to.
  LiveIdentities collected;
  // A parked-traffic record on the stand, parked since age half hours.
  ParkedTrafficRecord parkedRecord(const std::string& standName, std::uint32_t address, const std::string& callsign,
                                   int age) const;
  int adjustments = 0;
  std::size_t mostStaticsAtOnce = 0;
  // Times a static and a parked live aircraft were seen on one stand.
  int sharedStands = 0;
  // Saves of the learned file, and usage entries whose id was 0 or repeated
  // one of its stand when it was saved.
  int saves = 0;
  int badIdsAtSave = 0;
  // Static aircraft created in the simulator, by callsign.
  std::map<std::string, int> staticCreates;

  static constexpr std::int64_t kWeekSeconds = 7 * 24 * 3600;
  static StandTable grid() { return standGrid(2, 6, 80.0, 20.0); }
  static constexpr const char* kIcao = "EDDF";

 private:
  struct Report {
    std::int64_t second = 0;
    LiveTrafficRecord record;
  };
  struct Departure {
    std::int64_t second = 0;
    std::uint32_t key = 0;
  };
  std::int64_t epochOf(std::int64_t weekSecond) const { return kMondayEpoch + weekSecond; }
  DaySlot slotNow() const;
  bool engineBusy();
  std::int64_t nextStop() const;
  void stepOneSecond();
  void simulator();
  void observe();
  void feedDueReports();
  void removeDeparted();
  void second();
  void addTrack(const Visit& visit, const std::vector<TrackPoint>& track);
  LiveRulesServices rulesServices();
  StaticParkingServices staticServices();
  ParkingScheduleServices scheduleServices();

  // Monday 7 December 2026, 00:00 UTC.
  static constexpr std::int64_t kMondayEpoch = 1796601600;

  TempFolder programFolder_;
  ScopedWorkingFolder inProgramFolder_{programFolder_.path()};
  std::int64_t now_ = 0;
  std::vector<Report> reports_;  // by second
  std::size_t nextReport_ = 0;
  std::vector<Departure> departures_;
  bool collecting_ = false;
  std::map<UseKey, HalfHours> observed_;
  ParkAirportHeader header_{"Test airport", "stock", 0, 0};
  std::uint32_t nextObjectId_ = 100;
  LiveRules* rulesSlot_ = nullptr;
  StaticParking* staticsSlot_ = nullptr;
  StandTable stands_;
  MotionContext motion_;

 public:
  EngineHarness harness;
  TrafficEngine& engine;
  LiveRules rules;
  StaticParking statics;
  ParkingAdjustment adjustment;
  ParkingSchedule schedule;

 private:
  UserAcData user_;
};

}  // namespace crv::testing
