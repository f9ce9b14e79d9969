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
#include <deque>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/clock.h"
#include "tests/support/temp_folder.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/flight_driver.h"
#include "tests/traffic/stand_grid.h"
#include "traffic/live/live_rules.h"
#include "traffic/motion/live_motion.h"
#include "traffic/statics/parking_adjustment.h"
#include "traffic/statics/parking_schedule.h"
#include "traffic/statics/static_parking.h"

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
  std::string type = "A320";
  // The feed first reports it standing on the stand.
  bool appearsOnStand = false;
  // It does not push back: the feed stops reporting it while it stands parked.
  bool vanishesParked = false;
  // It taxis towards the stand but stops 150 m short of it, away from every
  // stand, and is reported standing there for a minute; it has no departure.
  bool stopsShortOfStand = false;
};

// A stand use learned for an aircraft, at its half hour counted from the
// first Monday 00:00 of the run.
struct Learning {
  std::uint32_t key = 0;
  std::int64_t halfHour = 0;
  bool soft = false;
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
  void setSlot(DaySlot slot) { now_ = (slot.weekday - 1) * 24 * 3600 + slot.halfHour * 1800 + 600; }
  // Steps the engine (and the simulator) for the seconds; the clock stands.
  void stepEngine(double seconds);
  ParkingPosition& stand(const std::string& name) { return *findStandByName(stands_, name); }
  // A live aircraft parked on the stand.
  LiveAc& parkedLive(std::uint32_t key, const std::string& callsign, const std::string& standName);
  // Active static aircraft as (stand, callsign), sorted.
  std::vector<std::pair<std::string, std::string>> staticsByStand() const;
  // A parked-traffic record on the stand, parked since age half hours.
  static ParkedTrafficRecord parkedRecord(const std::string& standName, std::uint32_t address,
                                          const std::string& callsign, int age) {
    return parkedRecordOn(grid(), standName, address, callsign, age);
  }
  // The learned file as written, read back into a fresh stand table.
  StandTable readLearnedFile() const;
  // What a time shift does: every live and static aircraft is taken away.
  void timeShift();

  bool simulatorAnswersRemovals = true;
  std::vector<ParkedTrafficRecord> parkedTraffic;
  bool parkedTrafficArrives = true;
  // Whether each of the next requests is answered, in order; once they are
  // used up, parkedTrafficArrives decides.
  std::deque<bool> parkedTrafficAnswers;
  int parkedTrafficRequests = 0;
  LiveIdentities collected;  // what the Traffic Reader collected while asked to
  // What live aircraft really stood on the stands, by half hour.
  std::map<UseKey, HalfHours> observedParking;
  int adjustments = 0;
  std::size_t mostStaticsAtOnce = 0;
  int sharedStands = 0;  // times a static and a parked live aircraft were seen on one stand
  // Saves of the learned file, and usage entries whose id was 0 or repeated
  // one of its stand when it was saved.
  int saves = 0;
  int badIdsAtSave = 0;
  std::map<std::string, int> staticCreates;  // static aircraft created in the simulator, by callsign
  std::set<std::uint32_t> failingCreates;     // keys whose creates the simulator refuses
  int failedCreates = 0;
  // Seconds in which a stand was marked occupied that no live aircraft held.
  int secondsWithStandsOccupiedByNobody = 0;
  std::vector<Learning> learnings;  // in the order they were made

  static constexpr std::int64_t kWeekSeconds = 7 * 24 * 3600;
  static StandTable grid() { return standGrid(2, 6, 80.0, 20.0); }

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
  DaySlot slotNow() const { return weekdayAndSlotAt(epochOf(now_)); }
  bool engineBusy();
  std::int64_t nextStop() const;
  void simulator();
  void observe();
  void feedDueReports();
  void removeDeparted();
  void addTrack(const Visit& visit, const std::vector<TrackPoint>& track);
  LiveRulesServices rulesServices();
  StaticParkingServices staticServices();
  ParkingScheduleServices scheduleServices();

  static constexpr std::int64_t kMondayEpoch = 1796601600;  // Monday 7 December 2026, 00:00 UTC

  TempFolder programFolder_;
  ScopedWorkingFolder inProgramFolder_{programFolder_.path()};
  std::int64_t now_ = 0;
  std::vector<Report> reports_;  // by second
  std::size_t nextReport_ = 0;
  std::vector<Departure> departures_;
  bool collecting_ = false;
  ParkAirportHeader header_{"Test airport", "stock", 0, 0};
  std::uint32_t nextObjectId_ = 100;
  LiveRules* rulesSlot_ = nullptr;
  StaticParking* staticsSlot_ = nullptr;
  StandTable stands_;
  MotionContext motion_;
  UserAcData user_;

 public:
  EngineHarness harness;
  TrafficEngine& engine;
  LiveRules rules;
  StaticParking statics;
  ParkingAdjustment adjustment;
  ParkingSchedule schedule;
};

}  // namespace crv::testing
